#!/usr/bin/env bash
# Usage: bench/dtr-pulse/run.sh [CYCLES]   (default 8; about 15 s each, after a boot of 30-60 s)
# Builds korvix and the benchmark in build/ (or $KORVIX_BUILD_DIR) and runs it; no root needed.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${KORVIX_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target dtr-pulse korvix >/dev/null
KORVIX_BINARY=$build/korvix exec "$build/bench/dtr-pulse/dtr-pulse" "$@"
