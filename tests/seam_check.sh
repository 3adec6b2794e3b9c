#!/usr/bin/env bash
# The co-installer's logic reaches Windows only through plat::. Finds, in the logic's folders, any
# call of a seam function that is not written plat::Name, and any Windows SDK include.
set -u
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
logic=$(grep -E '^[a-z]' cmake/logic_folders.txt | paste -sd' ')

names=$(grep -hoE 'X\([A-Za-z]+, [^,]+, [A-Za-z_0-9]+,' platform/*.h | sed -E 's/.*, ([A-Za-z_0-9]+),$/\1/' | sort -u)
[ -n "$names" ] || { echo "no seam calls found in platform/*.h"; exit 2; }
pattern=$(echo "$names" | paste -sd'|')

status=0
# A call by a seam name not preceded by "plat::" (member definitions like Class::Name are not calls of Windows).
hits=$(grep -rnE "(^|[^:A-Za-z_0-9\"])($pattern)\s*\(" $logic --include=*.cpp --include=*.h 2>/dev/null)
if [ -n "$hits" ]; then
    echo "Windows calls outside the seam (write plat::Name):"
    echo "$hits"
    status=1
fi
includes=$(grep -rnE '#include\s*[<"](windows|winreg|setupapi|winsvc|shlobj|objbase|ole2|oleauto|wia)\.h[>"]' $logic 2>/dev/null)
if [ -n "$includes" ]; then
    echo "Windows SDK headers outside platform/win32:"
    echo "$includes"
    status=1
fi
[ $status -eq 0 ] && echo "$(echo "$names" | wc -l) seam calls, none used outside plat::"
exit $status
