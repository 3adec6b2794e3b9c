#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
#   ensure-deps.sh           what `make test` needs
#   ensure-deps.sh --bench   and what `make bench` needs besides (callgrind, Python)
set -euo pipefail

packages=(
    cmake make g++ googletest libgtest-dev libbenchmark-dev
    libtomlplusplus-dev libcli11-dev
    g++-mingw-w64-x86-64-win32 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
    wine wine64
    chromium fonts-dejavu-core
    clang libclang-rt-dev llvm
)
if [ "${1:-}" = "--bench" ]; then
    packages+=(valgrind python3)
fi

missing=()
for p in "${packages[@]}"; do
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
