#!/usr/bin/env python3
"""Prints gcovr's coverage of the co-installer's logic as a table: one row per file with its lines,
functions and branches run, a row per folder and one for the whole, then every line that no test
ran and every line with a branch that no test took.

    coverage_table.py SUMMARY_JSON FULL_JSON [EXCLUDED_LINES]

SUMMARY_JSON is gcovr's --json-summary, FULL_JSON its --json (made with the same exclusions),
EXCLUDED_LINES the expression whose source lines gcovr left out: gcovr 5 still counts a function
defined on such a line, so the table leaves it out here. The source files are read from the
current folder."""
import json
import re
import sys
from collections import OrderedDict


def percent(covered, total):
    return "-" if total == 0 else f"{100.0 * covered / total:.1f}%"


def cells(covered, total):
    return f"{covered:>5}/{total:<5} {percent(covered, total):>6}"


def row(name, counts):
    return (f"{name:<40} {cells(counts['line_covered'], counts['line_total'])}   "
            f"{cells(counts['function_covered'], counts['function_total'])}   "
            f"{cells(counts['branch_covered'], counts['branch_total'])}")


KEYS = ("line_covered", "line_total", "function_covered", "function_total", "branch_covered", "branch_total")


def ranges(numbers):
    """1,2,3,5 as "1-3, 5"."""
    out = []
    for n in sorted(numbers):
        if out and out[-1][1] == n - 1:
            out[-1][1] = n
        else:
            out.append([n, n])
    return ", ".join(str(a) if a == b else f"{a}-{b}" for a, b in out)


def file_counts(entry, excluded):
    """The lines, functions and branches of one file of gcovr's full report."""
    lines = [line for line in entry["lines"] if not line.get("gcovr/noncode") and not line.get("gcovr/excluded")]
    branches = [b for line in lines for b in line.get("branches", [])]
    functions = entry.get("functions", [])
    if excluded:
        with open(entry["file"], encoding="utf-8", errors="replace") as f:
            source = f.read().split("\n")
        functions = [fn for fn in functions
                     if not (0 < fn["lineno"] <= len(source) and excluded.match(source[fn["lineno"] - 1]))]
    return {
        "line_covered": sum(1 for line in lines if line["count"] > 0),
        "line_total": len(lines),
        "function_covered": sum(1 for fn in functions if fn["execution_count"] > 0),
        "function_total": len(functions),
        "branch_covered": sum(1 for b in branches if b["count"] > 0),
        "branch_total": len(branches),
    }


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    with open(sys.argv[1]) as f:
        summary = json.load(f)
    with open(sys.argv[2]) as f:
        full = json.load(f)
    excluded = re.compile(sys.argv[3]) if len(sys.argv) == 4 and sys.argv[3] else None

    files = {entry["file"]: file_counts(entry, excluded) for entry in full["files"]}
    # The lines and branches are gcovr's own; only the functions may differ from its summary.
    for entry in summary["files"]:
        mine = files.get(entry["filename"])
        for key in ("line_covered", "line_total", "branch_covered", "branch_total"):
            if mine is None or mine[key] != entry[key]:
                sys.exit(f"coverage_table: {entry['filename']}: {key} differs from gcovr's summary")

    folders = OrderedDict()
    for name in sorted(files):
        totals = folders.setdefault(name.split("/")[0], dict.fromkeys(KEYS, 0))
        for key in KEYS:
            totals[key] += files[name][key]
    whole = dict.fromkeys(KEYS, 0)
    for totals in folders.values():
        for key in KEYS:
            whole[key] += totals[key]

    width = 40 + 3 * 22 + 6
    print(f"{'file':<40} {'lines':^18}   {'functions':^18}   {'branches':^18}")
    print("-" * width)
    for folder, totals in folders.items():
        for name in sorted(files):
            if name.split("/")[0] == folder:
                print(row(name, files[name]))
        print(row(f"  {folder}/ (all)", totals))
        print()
    print("-" * width)
    print(row("the logic", whole))

    gaps = []
    for entry in sorted(full["files"], key=lambda e: e["file"]):
        not_run = []
        not_taken = []
        for line in entry["lines"]:
            if line.get("gcovr/noncode") or line.get("gcovr/excluded"):
                continue
            if line["count"] == 0:
                not_run.append(line["line_number"])
            missed = sum(1 for b in line.get("branches", []) if b["count"] == 0)
            if missed:
                not_taken.append(f"{line['line_number']} ({missed} of {len(line['branches'])})")
        if not_run or not_taken:
            gaps.append((entry["file"], not_run, not_taken))
    print()
    if not gaps:
        print("Every line run and every branch taken.")
        return
    print("Not run or not taken (line numbers; for branches, how many of the line's branches no test took):")
    for name, not_run, not_taken in gaps:
        print(f"  {name}")
        if not_run:
            print(f"    lines not run: {ranges(not_run)}")
        if not_taken:
            print(f"    branches not taken: {', '.join(not_taken)}")


if __name__ == "__main__":
    main()
