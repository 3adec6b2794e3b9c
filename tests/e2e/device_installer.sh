#!/usr/bin/env bash
# Installs the driver package for a new scanner device with Wine's own device installer, in a
# fresh prefix cloned from the shared one, and checks what the installation did
# (tvx_device_installer_check.exe: the DLL copied, the registry, the co-installer's log).
#
#   device_installer.sh WINE_RUN TEMPLATE_PREFIX WINDOWS_BUILD_DIR PACKAGE_DIR WORK_DIR ROUTE
#
# ROUTE: newdev or setupdi (see the program). The package is installed from a copy whose INF lacks
# the CatalogFile line: the catalog is made when the package is signed, and while the INF names one
# that does not exist Wine's SetupAPI refuses to copy the INF into the INF folder and writes an
# unreadable InfPath to the driver key (tests/e2e/wine-differences.md). Everything else of the INF
# stays as packaged. TVX_KEEP_WINE_PREFIX=1 keeps the prefix.
set -euo pipefail
[ $# -eq 6 ] || { echo "usage: device_installer.sh WINE_RUN TEMPLATE WINDOWS_BUILD PACKAGE_DIR WORK_DIR ROUTE" >&2; exit 2; }
wine_run="$1" template="$2" windows_build="$3" package="$4" work="$5" route="$6"
wine_tools="$(cd "$(dirname "$wine_run")" && pwd)"

program="$windows_build/tests/e2e/tvx_device_installer_check.exe"
inf_name="TarvixWia_LXR415_U.INF"
for f in "$program" "$package/$inf_name" "$package/TarvixQ920kCO.dll"; do
    [ -f "$f" ] || { echo "missing $f: build the windows preset and lay out the package (make package)" >&2; exit 1; }
done

"$wine_run" --prefix "$template" --init

rm -rf "$work"
mkdir -p "$work"
work="$(cd "$work" && pwd)"
prefix="$work/prefix"
windows_path() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

# The package copy, its INF without the catalog line (CR LF line ends kept).
mkdir "$work/package"
cp "$package"/* "$work/package/"
grep -q '^CatalogFile=' "$package/$inf_name" || { echo "the package's INF names no catalog any more: drop the adaptation" >&2; exit 1; }
grep -v '^CatalogFile=' "$package/$inf_name" > "$work/package/$inf_name"

"$wine_tools/clone-prefix.sh" "$template" "$prefix"
# The system folder is linked to the template's: a DLL the template may hold is unlinked, so that
# the installation's copy is a new file of this prefix.
rm -f "$prefix/drive_c/windows/system32/TarvixQ920kCO.dll"

finish() {
    WINEPREFIX="$prefix" timeout 60 wineserver -w 2>/dev/null || WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    [ "${TVX_KEEP_WINE_PREFIX:-0}" = 1 ] || rm -rf "$prefix"
}
trap finish EXIT

status=0
"$wine_run" --prefix "$prefix" --cwd "$work" "$program" "$route" "$(windows_path "$work/package/$inf_name")" \
    "$(windows_path "$work/package/TarvixQ920kCO.dll")" || status=$?
if [ $status -ne 0 ]; then
    for log in "$prefix"/drive_c/users/*/Temp/_coInst.log; do
        [ -f "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
    done
fi
exit $status
