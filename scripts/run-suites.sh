#!/usr/bin/env bash
# Runs ctest suites (test presets) side by side, each with JOBS tests at a time, their output in
# build/test-<preset>.log. Prints each suite's summary (tests passed, time per label, its own
# length) once it ends, the whole log of a suite that failed, and fails when any suite failed.
# usage: run-suites.sh JOBS PRESET...
set -u
cd "$(dirname "$0")/.."
jobs=$1
shift
declare -A pids
for preset in "$@"; do
    scripts/timed.sh "$preset tests" ctest --preset "$preset" -j "$jobs" > "build/test-$preset.log" 2>&1 &
    pids[$preset]=$!
done
status=0
for preset in "$@"; do
    log="build/test-$preset.log"
    if wait "${pids[$preset]}"; then
        echo "== $preset tests passed (whole log: $log)"
        sed -n '/tests passed/,$p' "$log"
    else
        status=1
        echo "== $preset tests FAILED; the whole log ($log) follows"
        cat "$log"
    fi
done
exit $status
