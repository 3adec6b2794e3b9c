#!/usr/bin/env bash
# Runs the host tests in the coverage tree and reports how much of the co-installer's logic they
# run: lines, functions and branches per file of the logic's folders (cmake/logic_folders.txt), as
# a text table (printed and in BUILD/coverage.txt) and as a web page with every source line
# (BUILD/html/index.html). What cannot be run by design is left out as cmake/coverage-exclusions.txt
# lists it, each entry with its reason.
#   coverage.sh [BUILD]        BUILD: the coverage tree, build/coverage unless given
# JOBS: how many tests run side by side (the machine's processor count unless given).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$source_dir/build/coverage}" && pwd)
jobs=${JOBS:-$(nproc)}
cd "$source_dir"

# Counts from an earlier run would add to this one's.
find "$build" -name '*.gcda' -delete
rm -rf "$build/html" "$build/coverage.txt" "$build/coverage.json" "$build/coverage-summary.json" "$build/tests.log" \
    "$build/gcovr.log"

# The host tests: unit tests, the scenario checks, the quick fault sweep, the contract suite on the
# simulated machine and tvx-sim's command line. Not the Wine tests, not the browser's, not the
# benchmarks' checks, nor those that need the Windows build or the driver package.
# Their output goes to BUILD/tests.log; only its summary is shown, or its end when a test failed.
echo "Running the host tests (output in $build/tests.log)"
if ! ctest --test-dir "$build" -j "$jobs" --output-on-failure -LE 'wine|browser' \
    -E '^(windows\.|package\.|e2e\.|wine_runner\.|Bench)' >"$build/tests.log" 2>&1; then
    tail -n 60 "$build/tests.log"
    echo "coverage: tests failed; see $build/tests.log" >&2
    exit 1
fi
grep -E 'tests passed|Total Test time' "$build/tests.log"

# Only the logic's own folders are counted, not the simulated machine, the tools or the tests.
filters=()
while read -r folder; do
    filters+=(--filter "$source_dir/$folder/")
done < <(grep -E '^[a-z]' cmake/logic_folders.txt)

# The exclusions: "lines REGEX" or "branches REGEX", each after the comment lines giving its reason.
# gcovr takes one expression of each kind, so the entries are joined into alternatives.
line_patterns=()
branch_patterns=()
while read -r kind pattern; do
    case "$kind" in
        lines) line_patterns+=("$pattern") ;;
        branches) branch_patterns+=("$pattern") ;;
        *) echo "coverage: cmake/coverage-exclusions.txt: unknown kind '$kind' (lines or branches)" >&2
           exit 2 ;;
    esac
done < <(grep -vE '^[[:space:]]*(#|$)' cmake/coverage-exclusions.txt)
joined() { local IFS='|'; echo "$*"; }
exclusions=()
excluded_lines=""
if [ ${#line_patterns[@]} -gt 0 ]; then
    excluded_lines="(?:$(joined "${line_patterns[@]}"))"
    exclusions+=(--exclude-lines-by-pattern "$excluded_lines")
fi
[ ${#branch_patterns[@]} -eq 0 ] || exclusions+=(--exclude-branches-by-pattern "(?:$(joined "${branch_patterns[@]}"))")

# gcov's counts are read once into one file; the page and the table are made from it. gcov's
# complaints about the test programs' own sources, which are not counted, go to BUILD/gcovr.log.
if ! gcovr --root "$source_dir" --object-directory "$build" "${filters[@]}" "${exclusions[@]}" \
    --exclude-throw-branches --exclude-unreachable-branches -j "$jobs" \
    --json "$build/coverage.json" "$build" 2>"$build/gcovr.log"; then
    cat "$build/gcovr.log" >&2
    exit 1
fi
mkdir -p "$build/html"
gcovr --root "$source_dir" --add-tracefile "$build/coverage.json" \
    --html-details "$build/html/index.html" --html-title "TarvixQ920kCO: the co-installer's logic" \
    --json-summary-pretty --json-summary "$build/coverage-summary.json"
python3 scripts/coverage_table.py "$build/coverage-summary.json" "$build/coverage.json" "$excluded_lines" |
    tee "$build/coverage.txt"
echo "Page: $build/html/index.html"
