#!/usr/bin/env bash
# Usage: bench/sandboxed.sh BENCHMARK [ARGUMENTS...]
# How every benchmark runs (bench/*/run.sh call it): configures and builds bench/BENCHMARK and
# what it needs in $KORVIX_BUILD_DIR (default: build/ of the checkout), then runs it inside the
# usbsim sandbox, where the only serial ports are simulated adapters. The figures go to standard
# output, progress and failures to standard error; whatever else a run writes lives in temporary
# directories that go with it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KORVIX_BUILD_DIR:-$top/build}
benchmark=$1; shift
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target "$benchmark" usbsim >/dev/null
export KORVIX_BINARY=$build/korvix XWMCLOSE_BINARY=$build/tools/xwmclose/xwmclose \
       USBSIM_BINARY=$build/tools/usbsim/usbsim
exec "$USBSIM_BINARY" sandbox -- "$build/bench/$benchmark/$benchmark" "$@"
