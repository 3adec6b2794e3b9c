#!/usr/bin/env bash
# Runs a scenario on Wine: a fresh prefix of its own (cloned from the shared one), set up as the
# scenario's machine by the harness, its drives linked in, then the scenario's calls on the real
# DLL. Prints the harness's report (or writes it where --output says).
#
#   run-scenario.sh --template PREFIX --windows-build DIR --work DIR SCENARIO [HARNESS OPTIONS...]
#
# HARNESS OPTIONS are those of `tvx-wine-harness run` (--json, --normalised, --output FILE,
# --full-output FILE; files as host paths). Exit status: the harness's (0 done, 1 an expectation
# unmet, 2 bad scenario or bad command line, 3 the run failed). TVX_KEEP_WINE_PREFIX=1 keeps the
# run's prefix.
#
# The work folder holds the run's prefix, drives and records. It may be new, empty, or the work folder
# of an earlier run (marked by the file .tvx-wine-work), which is emptied first; any other folder is
# refused, so a mistyped --work never deletes someone's files. It must be on the template's file
# system: the prefix shares Windows' system folders with the template through hard links.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
template="" windows_build="" work=""
die() { echo "run-scenario: $*" >&2; exit 3; }
refuse() { echo "run-scenario: $*" >&2; exit 2; }
work_mark=.tvx-wine-work

usage() {
    echo "usage: run-scenario.sh --template PREFIX --windows-build DIR --work DIR SCENARIO [OPTIONS...]" >&2
    exit 2
}
# An option's argument: present and not another option.
argument_of() {
    [ $# -ge 2 ] && [ -n "$2" ] && [[ "$2" != --* ]] || refuse "$1 needs its argument"
}
while [ $# -gt 0 ]; do
    case "$1" in
        --template) argument_of "$@"; template="$2"; shift 2 ;;
        --windows-build) argument_of "$@"; windows_build="$2"; shift 2 ;;
        --work) argument_of "$@"; work="$2"; shift 2 ;;
        --*) refuse "unknown option $1 before the scenario (the harness's options come after it)" ;;
        *) break ;;
    esac
done
[ -n "$template" ] && [ -n "$windows_build" ] && [ -n "$work" ] && [ $# -ge 1 ] || usage
[ -f "$1" ] || refuse "no scenario file $1"
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

options=()
while [ $# -gt 0 ]; do
    case "$1" in
        --output|--full-output)
            argument_of "$@"
            [ -d "$(dirname "$2")" ] || refuse "$1 $2: no folder $(dirname "$2")"
            options+=("$1" "$(windows_path "$(cd "$(dirname "$2")" && pwd)/$(basename "$2")")"); shift 2 ;;
        *) options+=("$1"); shift ;;
    esac
done

# The nearest folder of PATH that exists (PATH itself when it does).
existing_part() { local p="$1"; while [ ! -e "$p" ]; do p="$(dirname "$p")"; done; printf '%s' "$p"; }

reuse=false
if [ -e "$work" ] || [ -L "$work" ]; then
    [ -d "$work" ] && [ ! -L "$work" ] || refuse "the work folder $work is not a folder"
    work="$(cd "$work" && pwd)"
    case "$scenario" in
        "$work"/*) refuse "the work folder $work holds the scenario $scenario: give the run a folder of its own" ;;
    esac
    if [ -n "$(ls -A "$work")" ]; then
        [ -f "$work/$work_mark" ] ||
            refuse "the work folder $work holds files that are not an earlier run's output: give a new or empty folder"
        reuse=true
    fi
fi
if [ "$(stat -c %d "$(existing_part "$template")")" != "$(stat -c %d "$(existing_part "$work")")" ]; then
    refuse "the work folder $work is on another file system than the Wine prefix template $template:" \
           "the run's prefix shares Windows' system folders with the template through hard links, which" \
           "cannot cross file systems; put the work folder on the template's file system (for example below build/)"
fi

"$here/wine-run.sh" --prefix "$template" --init

if $reuse; then
    # An earlier run's output; its prefix may still have a Wine server.
    [ -d "$work/prefix" ] && { WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true; }
    find "$work" -mindepth 1 -delete || die "cannot empty the earlier run's work folder $work"
else
    mkdir -p "$work" || die "cannot make the work folder $work"
    work="$(cd "$work" && pwd)"
fi
: > "$work/$work_mark"
prefix="$work/prefix"

"$here/clone-prefix.sh" "$template" "$prefix" || die "cannot copy the Wine prefix $template to $prefix"
# The co-installer lives where Windows' device installer finds co-installers: the system folder.
cp "$dll" "$prefix/drive_c/windows/system32/TarvixQ920kCO.dll"


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
