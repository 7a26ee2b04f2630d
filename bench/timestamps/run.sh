#!/usr/bin/env bash
# Usage: bench/timestamps/run.sh [SECONDS]
# The error of korvix's stamps against the moment the device wrote each line (p50, p99, max), for
# a device printing lines at 115200 baud and for one sending 1 MB/s, SECONDS each (default 10).
exec "$(dirname "$0")/../sandboxed.sh" timestamps "$@"
