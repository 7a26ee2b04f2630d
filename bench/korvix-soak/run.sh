#!/usr/bin/env bash
# Usage: bench/korvix-soak/run.sh [CYCLES]   (default 1000; about a second each)
# Builds korvix and the benchmark in build/ and runs it in the usbsim sandbox.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${KORVIX_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvix-soak usbsim >/dev/null
export KORVIX_BINARY=$build/korvix XWMCLOSE_BINARY=$build/tools/xwmclose/xwmclose
exec "$build/tools/usbsim/usbsim" sandbox -- "$build/bench/korvix-soak/korvix-soak" "$@"
