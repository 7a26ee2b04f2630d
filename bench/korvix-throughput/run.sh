#!/usr/bin/env bash
# Usage: bench/korvix-throughput/run.sh [BYTES_PER_SECOND [SECONDS [text|hex|both]]]
# (default: 409600 bytes/s, the top standard rate of 4 Mbit/s, for 30 s, both display modes)
# Builds korvix and the benchmark in build/ and runs it in the usbsim sandbox.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${KORVIX_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvix-throughput usbsim >/dev/null
export KORVIX_BINARY=$build/korvix XWMCLOSE_BINARY=$build/tools/xwmclose/xwmclose
exec "$build/tools/usbsim/usbsim" sandbox -- "$build/bench/korvix-throughput/korvix-throughput" "$@"
