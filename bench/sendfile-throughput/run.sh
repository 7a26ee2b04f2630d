#!/usr/bin/env bash
# Usage: bench/sendfile-throughput/run.sh [FILE_MB [DEVICE_BYTES_PER_SECOND]]
# (default: 200 MB of random bytes raw at full speed, then 1 MB of text lines with a 1 ms pause
# after each line, while the device sends text at 409,600 bytes/s; see main.cpp)
exec "$(dirname "$0")/../sandboxed.sh" sendfile-throughput "$@"
