#!/usr/bin/env bash
# Usage: skips-without.sh PROGRAM TEST
# Runs the real-kernel test TEST on a machine that lacks PROGRAM, as far as it can tell: with a
# PATH of links to every program of this one's PATH but PROGRAM (which must not live in /usr/sbin
# or /sbin, where the guest looks too). Passes when the test skips, naming PROGRAM: a fresh
# machine must get the reason, never a failure. The run's own lines are shown indented, so that
# scripts/test-all, which reports the lines that begin with "SKIP   : ", does not take this
# deliberate skip for the real test's.
set -euo pipefail
program=$1
test=$2
links=$(mktemp -d)
trap 'rm -rf "$links"' EXIT
IFS=: read -ra dirs <<<"$PATH"
for dir in "${dirs[@]}"; do
    # The first of a name wins, as in a lookup; the others fail to link, quietly.
    [ -d "$dir" ] && find "$dir" -maxdepth 1 ! -type d ! -name "$program" \
        -exec ln -s -t "$links" {} + 2>/dev/null || true
done

status=0
output=$(PATH=$links "$test" 2>&1) || status=$?
skip=$(grep -m1 "^SKIP   : tst_RealKernel::initTestCase() .*\b$program\b" <<<"$output" || true)
if [ -n "$skip" ] && [ $status -eq 0 ]; then
    echo "without $program, tst_realkernel skips: ${skip#SKIP   : tst_RealKernel::initTestCase() }"
    exit 0
fi
echo "without $program, tst_realkernel did not skip naming it (exit status $status):"
sed 's/^/    /' <<<"$output"
exit 1
