#!/usr/bin/env bash
# clone-prefix.sh on a small made-up prefix: the system folders are shared through hard links, the
# rest is copied, the temporary folder starts empty, and no file of the template outside the system
# folders is ever given a second name, not even for a moment (a test running Wine in the template
# at the same time would find its files linked). A new name changes a file's status-change time, so
# that is what is compared before and after.
#
#   clone_prefix_test.sh CLONE_PREFIX_SCRIPT WORK_FOLDER
set -euo pipefail
clone="$1" work="$2"
rm -rf "$work"
template="$work/template" prefix="$work/clone"
mkdir -p "$template/drive_c/windows/system32" "$template/drive_c/windows/winsxs/x" \
    "$template/drive_c/users/me/Temp/TvxContract.Case" "$template/drive_c/users/me/Documents" "$template/dosdevices"
echo system > "$template/system.reg"
echo kernel > "$template/drive_c/windows/system32/kernel32.dll"
echo manifest > "$template/drive_c/windows/winsxs/x/a.manifest"
echo ini > "$template/drive_c/windows/win.ini"
echo doc > "$template/drive_c/users/me/Documents/doc.txt"
echo log > "$template/drive_c/users/me/Temp/_coInst.log"
echo victim > "$template/drive_c/users/me/Temp/TvxContract.Case/victim.ini"
ln -s ../drive_c "$template/dosdevices/c:"

status_times() { find "$template" -path "$template/drive_c/windows/system32" -prune -o \
    -path "$template/drive_c/windows/winsxs" -prune -o -type f -printf '%p %C@\n' | sort; }
before="$(status_times)"
sleep 0.05
"$clone" "$template" "$prefix"
after="$(status_times)"

failures=0
fail() { echo "clone_prefix_test: $*" >&2; failures=$((failures + 1)); }
[ "$before" = "$after" ] || fail "a template file outside the system folders was given another name:"$'\n'"$before"$'\n'"$after"
same_file() { [ "$(stat -c %i "$1")" = "$(stat -c %i "$2")" ]; }
for shared in drive_c/windows/system32/kernel32.dll drive_c/windows/winsxs/x/a.manifest; do
    same_file "$template/$shared" "$prefix/$shared" || fail "$shared is not shared with the template"
done
for own in system.reg drive_c/windows/win.ini drive_c/users/me/Documents/doc.txt; do
    [ -f "$prefix/$own" ] || { fail "$own was not copied"; continue; }
    ! same_file "$template/$own" "$prefix/$own" || fail "$own is shared with the template"
    cmp -s "$template/$own" "$prefix/$own" || fail "$own differs from the template's"
done
[ -d "$prefix/drive_c/users/me/Temp" ] || fail "the temporary folder is missing"
[ -z "$(ls -A "$prefix/drive_c/users/me/Temp")" ] || fail "the temporary folder is not empty"
[ "$(readlink "$prefix/dosdevices/c:")" = ../drive_c ] || fail "the drive link was not kept"
[ "$failures" -eq 0 ] && echo "clone_prefix_test: passed"
exit $((failures > 0))
