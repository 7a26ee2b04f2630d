#!/usr/bin/env bash
# Usage: bench/korvix-throughput/run.sh [RATE:SIZE:text|hex ...]
# (default: 4 MB at 409,600 and 10 MB at 1,000,000 bytes/s through a 64 KiB UART buffer, and
# 200 MB of text, 50 MB in hex and 1 GB of text as fast as the port takes them; see main.cpp)
exec "$(dirname "$0")/../sandboxed.sh" korvix-throughput "$@"
