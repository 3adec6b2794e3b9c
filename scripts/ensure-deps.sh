#!/usr/bin/env bash
# Installs the Debian packages a make target needs, only those that are missing; with all there it
# does nothing and needs no root.
#   ensure-deps.sh [--list] GROUP...
# GROUP: host (tvx-sim, the host library and its tests: what `make demo` needs), windows (the
# MinGW-w64 cross build), sanitize (clang with its sanitizer and libFuzzer runtimes), test (what
# running every test needs besides the builds: Wine, and Chromium for the report page), bench
# (callgrind and Python), coverage (gcovr, which reads gcc's coverage counts into the table and
# page of `make coverage`). --list prints the packages of the groups and installs nothing.
set -euo pipefail

group_packages() {
    case "$1" in
        host) echo cmake make g++ googletest libgtest-dev libbenchmark-dev libtomlplusplus-dev nlohmann-json3-dev \
                   libcli11-dev ;;
        # The Wine harness links the scenario library, which reads scenarios with toml++ and writes
        # the JSON report with nlohmann/json.
        windows) echo cmake make g++-mingw-w64-x86-64-win32 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
                      libtomlplusplus-dev nlohmann-json3-dev ;;
        sanitize) echo cmake make clang libclang-rt-dev llvm googletest libgtest-dev libbenchmark-dev \
                       libtomlplusplus-dev nlohmann-json3-dev libcli11-dev ;;
        test) echo wine wine64 chromium fonts-dejavu-core ;;
        bench) echo valgrind python3 ;;
        coverage) echo gcovr ;;
        *) echo "ensure-deps: unknown group '$1': the groups are host, windows, sanitize, test, bench and coverage" >&2
           return 1 ;;
    esac
}

list=false
if [ "${1:-}" = "--list" ]; then
    list=true
    shift
fi
[ $# -gt 0 ] || { echo "usage: ensure-deps.sh [--list] host|windows|sanitize|test|bench|coverage..." >&2; exit 2; }

packages=()
for group in "$@"; do
    names=$(group_packages "$group") || exit 2
    read -r -a more <<<"$names"
    packages+=("${more[@]}")
done
if $list; then
    printf '%s\n' "${packages[@]}" | awk '!seen[$0]++'
    exit 0
fi

# Targets that make runs side by side (make -j test) install one after the other.
if command -v flock >/dev/null; then
    exec 9>"${TMPDIR:-/tmp}/tvx-ensure-deps.lock"
    flock 9
fi

missing=()
for p in "${packages[@]}"; do
    case " ${missing[*]:-} " in *" $p "*) continue ;; esac
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "error: packages missing and not running as root: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
