#!/usr/bin/env bash
# Usage: bench/korvix-soak/run.sh [CYCLES]   (default 1000; about a second each)
exec "$(dirname "$0")/../sandboxed.sh" korvix-soak "$@"
