#!/usr/bin/env bash
# Makes TARGET a Wine prefix of its own, cloned from the shared prefix TEMPLATE (which must be
# ready: wine-run.sh --init). The Windows system's own folders are shared with the template through
# hard links (Wine never rewrites them); everything else (registry, configuration, user folders)
# is copied, and the temporary folders start empty. Only those folders are ever linked: another
# test may be running Wine in the template at the same time, and a second name given to one of its
# files, however briefly, is what a program that refuses multi-name files (the co-installer's
# logger) must see as a planted link. That test's server also saves the registry through a
# temporary file; a copy that meets a file changing or vanishing is tried again.
#
#   clone-prefix.sh TEMPLATE TARGET
#
# A program that writes into the clone's system folder must create new files there, never
# rewrite one of the linked files in place.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: clone-prefix.sh TEMPLATE TARGET" >&2; exit 2; }
template="$1" prefix="$2"
shared_folders=(drive_c/windows/system32 drive_c/windows/winsxs)

clone_prefix() {
    rm -rf "$prefix"
    mkdir -p "$prefix" || return 1
    local excluded=(--exclude='./drive_c/users/*/Temp/*')
    for folder in "${shared_folders[@]}"; do excluded+=(--exclude="./$folder"); done
    tar -C "$template" "${excluded[@]}" -cf - . 2>/dev/null | tar -C "$prefix" -xf - || return 1
    for folder in "${shared_folders[@]}"; do
        [ -d "$template/$folder" ] || continue
        cp -al "$template/$folder" "$prefix/$folder" || return 1
    done
}
for attempt in 1 2 3; do
    if clone_prefix; then exit 0; fi
    sleep 2
done
echo "clone-prefix: cannot copy the Wine prefix $template to $prefix" >&2
exit 1
