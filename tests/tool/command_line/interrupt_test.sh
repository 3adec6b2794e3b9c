#!/usr/bin/env bash
# Ctrl-C (SIGINT) and SIGTERM during a long fault sweep: tvx-sim stops, says so, ends by that signal
# (so that a shell loop around it stops too), and leaves none of its runs' folders behind.
# usage: interrupt_test.sh TVX_SIM SCENARIOS_FOLDER WORK_FOLDER
set -u
sim=$1
scenarios=$2
work=$3
# Job control: a background job of a shell without it would ignore SIGINT from the start.
set -m
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for signal in INT TERM; do
    rm -rf "$work"
    mkdir -p "$work/tmp"
    TMPDIR="$work/tmp" "$sim" sweep "$scenarios"/*/scenario.toml >"$work/out" 2>"$work/err" &
    pid=$!
    # Once the first scenario is swept, the sweep is well under way, with many scenarios to go.
    for _ in $(seq 1200); do
        grep -q '^  ' "$work/out" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    grep -q '^  ' "$work/out" || fail "the sweep did not get under way: $(cat "$work/err")"
    kill -"$signal" "$pid"
    wait "$pid"
    status=$?
    expected=$((128 + $(kill -l "$signal")))
    [ "$status" -eq "$expected" ] || fail "SIG$signal: exit status $status, expected $expected; $(cat "$work/err")"
    grep -q "tvx-sim: interrupted by SIG$signal: stopped" "$work/err" || fail "SIG$signal: not told: $(cat "$work/err")"
    left=$(ls -A "$work/tmp")
    [ -z "$left" ] || fail "SIG$signal left behind in $work/tmp: $left"
    echo "SIG$signal: stopped with exit status $status, nothing left behind"
done
