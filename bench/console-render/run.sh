#!/usr/bin/env bash
# Usage: bench/console-render/run.sh
# The console's rendering of one chunk, offscreen and without the traces: how long the longest of
# three putData calls took, for text with and without markup, binary data, nested tags and floods.
exec "$(dirname "$0")/../sandboxed.sh" console-render "$@"
