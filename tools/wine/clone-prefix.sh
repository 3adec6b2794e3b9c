#!/usr/bin/env bash
# Makes TARGET a Wine prefix of its own, cloned from the shared prefix TEMPLATE (which must be
# ready: wine-run.sh --init). The Windows system's own files are shared with the template through
# hard links (Wine never rewrites them); everything else (registry, configuration, user folders)
# is the clone's own copy. Another test may be running Wine in the template, whose server saves the
# registry through a temporary file: a clone that meets one vanishing is tried again.
#
#   clone-prefix.sh TEMPLATE TARGET
#
# A program that writes into the clone's system folder must create new files there, never
# rewrite one of the linked files in place.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: clone-prefix.sh TEMPLATE TARGET" >&2; exit 2; }
template="$1" prefix="$2"

clone_prefix() {
    rm -rf "$prefix"
    cp -al "$template" "$prefix" 2>/dev/null || return 1
    find "$prefix" -type f ! -path "$prefix/drive_c/windows/system32/*" ! -path "$prefix/drive_c/windows/winsxs/*" \
        -print0 | while IFS= read -r -d '' file; do
        cp -p "$file" "$file.tvx-copy" && mv -f "$file.tvx-copy" "$file" || exit 1
    done
}
for attempt in 1 2 3; do
    if clone_prefix; then exit 0; fi
    sleep 2
done
echo "clone-prefix: cannot copy the Wine prefix $template to $prefix" >&2
exit 1
