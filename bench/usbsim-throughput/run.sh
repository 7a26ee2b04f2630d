#!/bin/sh
# Prints the simulated adapters' throughput, each direction, in MB/s.
# Usage: bench/usbsim-throughput/run.sh [BUILD_DIR] [MEBIBYTES]   (BUILD_DIR default: build)
set -eu
build=${1:-build}
usbsim=$build/tools/usbsim/usbsim
bench=$build/bench/usbsim-throughput/usbsim_throughput
for program in "$usbsim" "$bench"; do
    [ -x "$program" ] || { echo "run.sh: $program is not built (cmake --build $build --target usbsim usbsim_throughput)" >&2; exit 1; }
done
USBSIM_BINARY=$(realpath "$usbsim") exec "$usbsim" sandbox -- "$bench" "${2:-256}"
