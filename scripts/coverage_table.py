#!/usr/bin/env python3
"""Prints gcovr's coverage of the co-installer's logic as a table: one row per file with its lines,
functions and branches run, a row per folder and one for the whole, then every line that no test
ran and every line with a branch that no test took.

    coverage_table.py SUMMARY_JSON FULL_JSON

SUMMARY_JSON is gcovr's --json-summary, FULL_JSON its --json (made with the same exclusions)."""
import json
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


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1]) as f:
        summary = json.load(f)
    with open(sys.argv[2]) as f:
        full = json.load(f)

    files = sorted(summary["files"], key=lambda entry: entry["filename"])
    folders = OrderedDict()
    for entry in files:
        folder = entry["filename"].split("/")[0]
        totals = folders.setdefault(folder, dict.fromkeys(KEYS, 0))
        for key in KEYS:
            totals[key] += entry[key]

    width = 40 + 3 * 22 + 6
    print(f"{'file':<40} {'lines':^18}   {'functions':^18}   {'branches':^18}")
    print("-" * width)
    for folder, totals in folders.items():
        for entry in files:
            if entry["filename"].split("/")[0] == folder:
                print(row(entry["filename"], entry))
        print(row(f"  {folder}/ (all)", totals))
        print()
    print("-" * width)
    print(row("the logic", summary))

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
