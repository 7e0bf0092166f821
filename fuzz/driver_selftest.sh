#!/bin/sh
# The regression driver over folders: every file (sub-folders too) runs once and the run passes;
# an input that aborts or hangs fails the run, and the output names it.
set -u
prog=$1
dir=$2
rm -rf "$dir"
mkdir -p "$dir/good/sub" "$dir/crash" "$dir/hang"
printf 'a' >"$dir/good/one"
printf '' >"$dir/good/sub/empty"
printf 'b' >"$dir/crash/a_fine"
printf 'crash' >"$dir/crash/b_bad"
printf 'hang' >"$dir/hang/stuck"
fail() { echo "$out"; echo "FAILED: $1"; exit 1; }

out=$("$prog" -runs=5 -timeout=10 "$dir/good" 2>&1) || fail "good inputs reported a fault"
[ "$(echo "$out" | grep -c '^Running: ')" -eq 2 ] || fail "not every file ran once"
echo "$out" | grep -q '2 inputs, no fault' || fail "no summary"

out=$("$prog" -timeout=10 "$dir/crash" 2>&1) && fail "an aborting input passed"
echo "$out" | grep '^Running: ' | tail -1 | grep -q 'b_bad$' || fail "the aborting input is not named last"

out=$("$prog" -timeout=1 "$dir/hang" 2>&1)
[ $? -eq 70 ] || fail "a hanging input did not time out"
echo "$out" | grep -q 'time-out on .*stuck' || fail "the hanging input is not named"
echo "driver self-test passed"
