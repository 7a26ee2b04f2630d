#!/usr/bin/env bash
# Usage: bench/sandboxed.sh BENCHMARK [ARGUMENTS...]
# Builds korvix and the benchmark in build/ (or $KORVIX_BUILD_DIR) and runs it in the usbsim
# sandbox, where the only serial ports are simulated adapters.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KORVIX_BUILD_DIR:-$top/build}
benchmark=$1; shift
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target "$benchmark" korvix usbsim xwmclose >/dev/null
export KORVIX_BINARY=$build/korvix XWMCLOSE_BINARY=$build/tools/xwmclose/xwmclose
exec "$build/tools/usbsim/usbsim" sandbox -- "$build/bench/$benchmark/$benchmark" "$@"
