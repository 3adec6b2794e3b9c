#!/usr/bin/env bash
# Runs the two stand-in disc programs of the Windows build under Wine and checks what they record:
# a start line each with the program, its command line as started and its current directory, an
# end line with the exit status the behaviour table gives the program's own path, and a run of at
# least the real time that table asks for.
#   standin_programs.sh WINE_RUN PREFIX WINDOWS_BUILD_DIR WORK_DIR
set -euo pipefail
wine_run="$1" prefix="$2" windows_build="$3" work="$4"

disc="$windows_build/tools/wine/disc"
for program in "$disc/setup.exe" "$disc/fwUpdate/tarvixFirmwareUpdateTool.exe"; do
    [ -f "$program" ] || { echo "missing $program: build the windows preset first" >&2; exit 1; }
done

rm -rf "$work"
mkdir -p "$work/start here"
record="$work/record.txt"
windows_path() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

export TVX_PROGRAM_RECORD
TVX_PROGRAM_RECORD="$(windows_path "$record")"
setup="$(windows_path "$disc/setup.exe")"
firmware="$(windows_path "$disc/fwUpdate/tarvixFirmwareUpdateTool.exe")"
"$wine_run" --prefix "$prefix" --cwd "$work/start here" "$disc/setup.exe" /quiet "two words"
status=0
TVX_PROGRAM_EXIT_CODE=9 TVX_PROGRAM_BEHAVIOUR="C:\\other.exe=7;$(printf '%s' "$firmware" | tr a-z A-Z)=5/400" \
    "$wine_run" --prefix "$prefix" --cwd "$work" "$disc/fwUpdate/tarvixFirmwareUpdateTool.exe" || status=$?

fail() { echo "FAILED: $*" >&2; echo "record file:" >&2; cat -A "$record" >&2 || true; exit 1; }
[ "$status" -eq 5 ] || fail "the firmware stand-in exited with $status, expected the 5 its entry asks for"
[ -f "$record" ] || fail "no record file at $record"

# Fields: start, pid, created, self, command line, directory, start-up flags, show state, console;
# end, pid, time, exit status.
field() { awk -F'\t' -v kind="$1" -v n="$2" -v at="$3" '$1 == kind { if (++seen == n) { sub(/\r$/, ""); print $at } }' "$record"; }
[ "$(field start 1 4)" = "$setup" ] || fail "setup's own path is not $setup"
[ "$(field start 1 5)" = "\"$setup\" /quiet \"two words\"" ] || fail "setup's command line differs"
[ "$(field start 1 6)" = "$(windows_path "$work/start here")" ] || fail "setup's current directory differs"
[ "$(field end 1 4)" = "0" ] || fail "setup without an entry should exit with 0"
[ "$(field start 2 4)" = "$firmware" ] || fail "the firmware tool's own path is not $firmware"
[ "$(field start 2 6)" = "$(windows_path "$work")" ] || fail "the firmware tool's current directory differs"
[ "$(field end 2 4)" = "5" ] || fail "the firmware tool's end line does not say 5"
ran=$(( ($(field end 2 3) - $(field start 2 3)) / 10000 ))
[ "$ran" -ge 400 ] || fail "the firmware tool ran $ran ms, not the 400 ms its entry asks for"
echo "both stand-ins recorded how they were started and how they ended"
