#!/usr/bin/env bash
# The logic's folders stand in the order cmake/logic_folders.txt lists them, from the top down: a
# file may include from its own folder, a folder listed after its own, or the seam (platform/),
# never from a folder listed before its own.
set -u
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
mapfile -t folders < <(grep -E '^[a-z]' cmake/logic_folders.txt)
[ ${#folders[@]} -gt 0 ] || { echo "no folders in cmake/logic_folders.txt"; exit 2; }

declare -A rank
for i in "${!folders[@]}"; do rank[${folders[$i]}]=$i; done

status=0
count=0
for folder in "${folders[@]}"; do
    while IFS=: read -r file line text; do
        target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$text")
        count=$((count + 1))
        [ "$target" = platform ] && continue
        if [ -z "${rank[$target]+set}" ]; then
            echo "$file:$line: includes from $target/, which is not a folder of the logic or the seam"
            status=1
        elif [ "${rank[$target]}" -lt "${rank[$folder]}" ]; then
            echo "$file:$line: $folder/ includes from $target/, which stands above it"
            status=1
        fi
    done < <(grep -rnE '#include "[a-z_]+/' "$folder" --include=*.cpp --include=*.h)
done
[ $status -eq 0 ] && echo "$count includes in ${#folders[@]} folders, none runs back up (${folders[*]})"
exit $status
