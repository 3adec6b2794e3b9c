#!/usr/bin/env bash
# Runs one scenario on the simulated machine (tvx-sim) and on Wine (the real DLL), and compares the
# two normalised reports: they must be the same, and Wine must meet the scenario's expectations.
# The reports stay in WORK_DIR (sim.txt, wine.txt, and wine-full.txt for reading).
#   compare_scenario.sh TVX_SIM RUN_SCENARIO WINE_TEMPLATE WINDOWS_BUILD WORK_DIR SCENARIO
set -uo pipefail
tvx_sim="$1" run_scenario="$2" template="$3" windows_build="$4" work="$5" scenario="$6"

mkdir -p "$work"
# The Wine run's work folder is this script's own output below the build folder; it starts empty
# (a folder made before the runner marked its output would be refused as someone else's).
rm -rf "$work/wine"
"$tvx_sim" run --normalised "$scenario" > "$work/sim.txt"
status=$?
if [ $status -ne 0 ]; then
    echo "FAILED: tvx-sim run $scenario exited with $status" >&2
    exit 1
fi

"$run_scenario" --template "$template" --windows-build "$windows_build" --work "$work/wine" "$scenario" \
    --normalised --output "$work/wine.txt" --full-output "$work/wine-full.txt"
status=$?
case $status in
    0) ;;
    1) echo "FAILED: on Wine the scenario's expectations are not met (unmet ones above; report in $work/wine-full.txt)" >&2
       exit 1 ;;
    *) echo "FAILED: the Wine run of $scenario failed with exit status $status" >&2
       exit 1 ;;
esac

if ! diff -u --label "simulated machine" --label "Wine" "$work/sim.txt" "$work/wine.txt"; then
    echo "FAILED: the simulated machine and Wine disagree on $scenario (see the differences above;" \
         "known Wine departures from Windows are listed in tests/e2e/wine-differences.md)" >&2
    exit 1
fi
echo "the simulated machine and Wine agree on $scenario"
