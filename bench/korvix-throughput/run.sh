#!/usr/bin/env bash
# Usage: bench/korvix-throughput/run.sh [RATE:SIZE:text|markup|binary|hex[:stamps] ...] [hostile]
# (default: 4 MB at 409,600 and 10 MB at 1,000,000 bytes/s through a 64 KiB UART buffer, of text
# without and with markup and in hex, and, as fast as the port takes them, 200 MB of text without
# and with markup, 50 MB of binary data as text and in hex, and 1 GB of text; "hostile": bursts
# that are costly to render; see main.cpp)
exec "$(dirname "$0")/../sandboxed.sh" korvix-throughput "$@"
