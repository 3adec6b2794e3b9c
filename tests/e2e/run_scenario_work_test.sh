#!/usr/bin/env bash
# run-scenario.sh must never delete what its --work folder holds unless it is that script's own
# earlier output, and must say plainly why it refuses; a bad command line is refused the same way. Each case is refused before Wine starts, so
# the test needs neither Wine nor the Windows build (stand-in files take the build's place).
#   run_scenario_work_test.sh RUN_SCENARIO SCRATCH
set -uo pipefail
run_scenario="$1" scratch="$2"
rm -rf "$scratch"
mkdir -p "$scratch/build/tools/wine" "$scratch/template" "$scratch/scenario"
for f in TarvixQ920kCO.dll tools/wine/tvx-wine-harness.exe tools/wine/tvx-standin-program.exe \
         tools/wine/tvx-standin-service.exe tools/wine/tvx-standin-window.exe; do
    : > "$scratch/build/$f"
done
echo 'name = "x"' > "$scratch/scenario/scenario.toml"

failures=0
# expect_refusal NAME WORK SCENARIO MESSAGE_PART KEPT_FILE
expect_refusal() {
    local name="$1" work="$2" scenario="$3" message="$4" kept="$5"
    local out status
    out=$("$run_scenario" --template "$scratch/template" --windows-build "$scratch/build" --work "$work" \
        "$scenario" 2>&1)
    status=$?
    if [ $status -ne 2 ]; then
        echo "FAIL $name: exit status $status, expected 2; output: $out"; failures=$((failures + 1)); return
    fi
    if [[ "$out" != *"$message"* ]]; then
        echo "FAIL $name: the message does not say \"$message\": $out"; failures=$((failures + 1)); return
    fi
    if [ ! -e "$kept" ]; then
        echo "FAIL $name: $kept is gone"; failures=$((failures + 1)); return
    fi
    echo "ok   $name: $out"
}

mkdir -p "$scratch/users-work"
echo "notes" > "$scratch/users-work/notes.txt"
expect_refusal "a folder with someone's files" "$scratch/users-work" "$scratch/scenario/scenario.toml" \
    "holds files that are not an earlier run's output" "$scratch/users-work/notes.txt"

echo "text" > "$scratch/a-file"
expect_refusal "a file as the work folder" "$scratch/a-file" "$scratch/scenario/scenario.toml" \
    "is not a folder" "$scratch/a-file"

: > "$scratch/scenario/.tvx-wine-work"
expect_refusal "the scenario's own folder, even with the mark" "$scratch/scenario" \
    "$scratch/scenario/scenario.toml" "holds the scenario" "$scratch/scenario/scenario.toml"
rm "$scratch/scenario/.tvx-wine-work"

# Another file system: the memory-backed folder, where the host has one apart from the build's.
if [ -d /dev/shm ] && [ -w /dev/shm ] && [ "$(stat -c %d /dev/shm)" != "$(stat -c %d "$scratch")" ]; then
    other=$(mktemp -d /dev/shm/tvx-work-test.XXXXXX)
    echo "notes" > "$scratch/template/kept"
    expect_refusal "a work folder on another file system" "$other/work" "$scratch/scenario/scenario.toml" \
        "on another file system" "$scratch/template/kept"
    [ ! -e "$other/work" ] || { echo "FAIL the refused run made $other/work"; failures=$((failures + 1)); }
    rm -rf "$other"
else
    echo "skip a work folder on another file system: no memory-backed folder on another file system here"
fi

# expect_bad_command NAME MESSAGE_PART ARGS...
expect_bad_command() {
    local name="$1" message="$2" out status
    shift 2
    out=$("$run_scenario" "$@" 2>&1)
    status=$?
    if [ $status -ne 2 ] || [[ "$out" != *"$message"* ]]; then
        echo "FAIL $name: exit status $status (expected 2), output: $out"; failures=$((failures + 1)); return
    fi
    echo "ok   $name: $out"
}
common=(--template "$scratch/template" --windows-build "$scratch/build")
expect_bad_command "an option without its argument" "--work needs its argument" "${common[@]}" --work
expect_bad_command "an option followed by another" "--template needs its argument" \
    --template --work "$scratch/new" --windows-build "$scratch/build" "$scratch/scenario/scenario.toml"
expect_bad_command "an unknown option" "unknown option --wrok" "${common[@]}" --wrok "$scratch/new" \
    "$scratch/scenario/scenario.toml"
expect_bad_command "no scenario file" "no scenario file" "${common[@]}" --work "$scratch/new" "$scratch/missing.toml"
expect_bad_command "an output into no folder" "no folder" "${common[@]}" --work "$scratch/new" \
    "$scratch/scenario/scenario.toml" --output "$scratch/nowhere/report.txt"
[ ! -e "$scratch/new" ] || { echo "FAIL a refused command line made its work folder"; failures=$((failures + 1)); }

[ $failures -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
rm -rf "$scratch"
