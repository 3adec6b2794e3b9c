#!/usr/bin/env bash
# Runs a command and then prints how long it took: "== LABEL: N s" (its exit status is the command's).
# usage: timed.sh LABEL COMMAND [ARGS...]
label=$1
shift
start=$(date +%s)
"$@"
status=$?
echo "== $label: $(( $(date +%s) - start )) s$([ $status -eq 0 ] || echo " (failed, exit $status)")"
exit $status
