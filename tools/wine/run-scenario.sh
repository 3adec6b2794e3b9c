#!/usr/bin/env bash
# Runs a scenario on Wine: a fresh prefix of its own (cloned from the shared one), set up as the
# scenario's machine by the harness, its drives linked in, then the scenario's calls on the real
# DLL. Prints the harness's report (or writes it where --output says).
#
#   run-scenario.sh --template PREFIX --windows-build DIR --work DIR SCENARIO [HARNESS OPTIONS...]
#
# HARNESS OPTIONS are those of `tvx-wine-harness run` (--json, --normalised, --output FILE,
# --full-output FILE; files as host paths). Exit status: the harness's (0 done, 1 an expectation
# unmet, 2 bad scenario, 3 the run failed). TVX_KEEP_WINE_PREFIX=1 keeps the run's prefix.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
template="" windows_build="" work=""
die() { echo "run-scenario: $*" >&2; exit 3; }

while [ $# -gt 0 ]; do
    case "$1" in
        --template) template="$2"; shift 2 ;;
        --windows-build) windows_build="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        *) break ;;
    esac
done
[ -n "$template" ] && [ -n "$windows_build" ] && [ -n "$work" ] && [ $# -ge 1 ] ||
    { echo "usage: run-scenario.sh --template PREFIX --windows-build DIR --work DIR SCENARIO [OPTIONS...]" >&2; exit 2; }
scenario="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
shift
[ -d "$windows_build" ] || die "missing Windows build folder $windows_build"
windows_build="$(cd "$windows_build" && pwd)"

harness="$windows_build/tools/wine/tvx-wine-harness.exe"
standins="$windows_build/tools/wine"
dll="$windows_build/TarvixQ920kCO.dll"
for f in "$harness" "$standins/tvx-standin-program.exe" "$standins/tvx-standin-service.exe" \
         "$standins/tvx-standin-window.exe" "$dll"; do
    [ -f "$f" ] || die "missing $f: build the windows preset first (cmake --preset windows && cmake --build --preset windows)"
done

# Host paths as Windows programs see them under Wine (drive Z: is the host's root).
windows_path() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

"$here/wine-run.sh" --prefix "$template" --init

rm -rf "$work"
mkdir -p "$work"
work="$(cd "$work" && pwd)"
prefix="$work/prefix"

"$here/clone-prefix.sh" "$template" "$prefix" || die "cannot copy the Wine prefix $template to $prefix"
# The co-installer lives where Windows' device installer finds co-installers: the system folder.
cp "$dll" "$prefix/drive_c/windows/system32/TarvixQ920kCO.dll"

options=()
while [ $# -gt 0 ]; do
    case "$1" in
        --output|--full-output) options+=("$1" "$(windows_path "$(cd "$(dirname "$2")" && pwd)/$(basename "$2")")"); shift 2 ;;
        *) options+=("$1"); shift ;;
    esac
done

finish() {
    # Every stand-in has ended by now; a server still busy after a minute is made to stop.
    WINEPREFIX="$prefix" timeout 60 wineserver -w 2>/dev/null || WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    [ "${TVX_KEEP_WINE_PREFIX:-0}" = 1 ] || rm -rf "$prefix"
}
trap finish EXIT

status=0
"$here/wine-run.sh" --prefix "$prefix" --cwd "$work" "$harness" setup "$(windows_path "$scenario")" \
    "$(windows_path "$work")" "$(windows_path "$standins")" || status=$?
[ $status -eq 0 ] || exit $status

# The drives: Wine's drive letters are links in the prefix; its mount manager reads them (with
# the drive types the harness wrote) when Wine starts again.
while read -r letter; do
    [ -n "$letter" ] || continue
    ln -sfn "$work/drives/${letter^^}" "$prefix/dosdevices/$letter:"
done < "$work/drives.txt"
WINEPREFIX="$prefix" timeout 60 wineserver -w 2>/dev/null || true

"$here/wine-run.sh" --prefix "$prefix" --cwd "$work" "$harness" run "$(windows_path "$scenario")" \
    "$(windows_path "$work")" "$(windows_path "$standins")" 'C:\windows\system32\TarvixQ920kCO.dll' \
    "${options[@]}" || status=$?
exit $status
