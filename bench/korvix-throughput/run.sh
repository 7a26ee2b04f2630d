#!/usr/bin/env bash
# Usage: bench/korvix-throughput/run.sh [RATE:SIZE:text|hex ...]
# (default: 4 MB at 409,600 and 10 MB at 1,000,000 bytes/s through a 64 KiB UART buffer, and
# 200 MB of text, 50 MB in hex and 1 GB of text as fast as the port takes them; see main.cpp)
# Builds korvix and the benchmark in build/ and runs it in the usbsim sandbox.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${KORVIX_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvix-throughput usbsim >/dev/null
export KORVIX_BINARY=$build/korvix XWMCLOSE_BINARY=$build/tools/xwmclose/xwmclose
exec "$build/tools/usbsim/usbsim" sandbox -- "$build/bench/korvix-throughput/korvix-throughput" "$@"
