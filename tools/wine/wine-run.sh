#!/usr/bin/env bash
# Runs a Windows program under Debian's 64-bit Wine in a private prefix, creating the prefix on
# first use (wineboot, once, under a lock) and reusing it afterwards. No display is needed: the
# prefix uses Wine's null graphics driver, and Wine's own diagnostics are silenced.
#
#   wine-run.sh --prefix DIR [--cwd DIR] [--timeout SECONDS] [--] PROGRAM [ARGS...]
#   wine-run.sh --prefix DIR --init
#
# PROGRAM is a host path (or a Windows path such as C:\windows\system32\rundll32.exe). The exit
# status is the program's; 124 means it ran past the timeout and was killed.
set -euo pipefail

prefix="${TVX_WINE_PREFIX:-}"
cwd=""
timeout_s="${TVX_WINE_TIMEOUT:-300}"
init_only=0

die() { echo "wine-run: $*" >&2; exit 2; }

while [ $# -gt 0 ]; do
    case "$1" in
        --prefix) [ $# -ge 2 ] || die "--prefix needs a folder"; prefix="$2"; shift 2 ;;
        --cwd) [ $# -ge 2 ] || die "--cwd needs a folder"; cwd="$2"; shift 2 ;;
        --timeout) [ $# -ge 2 ] || die "--timeout needs seconds"; timeout_s="$2"; shift 2 ;;
        --init) init_only=1; shift ;;
        --) shift; break ;;
        -*) die "unknown option $1" ;;
        *) break ;;
    esac
done

[ -n "$prefix" ] || die "no prefix given (--prefix DIR or TVX_WINE_PREFIX)"
[ $init_only -eq 1 ] || [ $# -ge 1 ] || die "no program given"
command -v wine >/dev/null || die "cannot run Wine: 'wine' is not installed (scripts/ensure-deps.sh installs it)"

mkdir -p "$(dirname "$prefix")"
prefix="$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")"

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer prompts (nothing here needs .NET or HTML rendering), no menu entries,
# and no debugger: a crashing program ends at once with its exception code.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d"
unset DISPLAY WAYLAND_DISPLAY

ready="$prefix/.tvx-prefix-ready"

ensure_prefix() {
    [ -f "$ready" ] && return 0
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$ready" ]; then
        rm -rf "$prefix"
        echo "wine-run: creating Wine prefix $prefix" >&2
        # Away from any folder that might hold a reg.exe: Wine would run that one for `wine reg`.
        local here="$PWD"
        cd "$(dirname "$prefix")"
        if ! timeout --kill-after=10 600 wineboot --init >/dev/null 2>&1; then
            die "cannot create Wine prefix $prefix: wineboot failed"
        fi
        timeout --kill-after=10 120 wineserver -w || true
        # Programs run without a display: Wine's null graphics driver instead of X11.
        timeout --kill-after=10 120 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f \
            >/dev/null 2>&1 || die "cannot configure Wine prefix $prefix: reg add failed"
        timeout --kill-after=10 120 wineserver -w || true
        touch "$ready"
        cd "$here"
    fi
    flock -u 9
    exec 9>&-
}

ensure_prefix
[ $init_only -eq 0 ] || exit 0

program="$1"
shift
if [ -f "$program" ]; then
    program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
fi
if [ -n "$cwd" ]; then
    cd "$cwd" || die "cannot enter working folder $cwd"
fi
set -- "$program" "$@"

status=0
timeout --kill-after=10 "$timeout_s" wine "$@" || status=$?
if [ $status -eq 124 ] || [ $status -eq 137 ]; then
    echo "wine-run: $1 did not finish within ${timeout_s}s" >&2
    status=124
fi
exit $status
