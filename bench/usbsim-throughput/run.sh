#!/usr/bin/env bash
# Usage: bench/usbsim-throughput/run.sh [MEBIBYTES]   (default 256 each way)
exec "$(dirname "$0")/../sandboxed.sh" usbsim-throughput "$@"
