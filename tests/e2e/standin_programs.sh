#!/usr/bin/env bash
# Runs the two stand-in disc programs of the Windows build under Wine and checks what they record:
# one line each with the program, its command line as started and its current directory, and the
# exit status the table of exit codes gives the program's own path.
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
"$wine_run" --prefix "$prefix" --cwd "$work/start here" "$disc/setup.exe" /quiet "two words"
status=0
firmware="$(windows_path "$disc/fwUpdate/tarvixFirmwareUpdateTool.exe")"
TVX_PROGRAM_EXIT_CODE=9 TVX_PROGRAM_EXIT_CODES="C:\\other.exe=7;$(printf '%s' "$firmware" | tr a-z A-Z)=5" \
    "$wine_run" --prefix "$prefix" --cwd "$work" "$disc/fwUpdate/tarvixFirmwareUpdateTool.exe" || status=$?

fail() { echo "FAILED: $*" >&2; echo "record file:" >&2; cat -A "$record" >&2 || true; exit 1; }
[ "$status" -eq 5 ] || fail "the firmware stand-in exited with $status, expected the 5 its entry asks for"
[ -f "$record" ] || fail "no record file at $record"

setup="$(windows_path "$disc/setup.exe")"
expected="$(printf '%s\t"%s" /quiet "two words"\t%s\r\n%s\t"%s"\t%s\r\n' \
    "$setup" "$setup" "$(windows_path "$work/start here")" \
    "$firmware" "$firmware" "$(windows_path "$work")")"
actual="$(cat "$record")"
[ "$actual" = "$expected" ] || fail "record differs; expected:
$(printf '%s' "$expected" | cat -A)"
echo "both stand-ins recorded how they were started"
