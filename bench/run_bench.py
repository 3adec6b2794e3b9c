#!/usr/bin/env python3
"""`make bench`: measures the co-installer and the simulated machine, prints one table with every
figure, its goal and whether it is met, writes the figures to OUT/results.json and draws the scaling
curves as OUT/scaling.svg.

  1. Scaling (part scaling): every flow on machines of size 1x, 10x and 100x: callgrind's instruction count of the
     flow alone (deterministic) and its wall time (Google Benchmark: the fastest of several batches,
     the median beside it), and the ratios 10x/1x and 100x/10x. Goal: every ratio <= 11.
  2. Simulation against Wine (part scenarios): every scenario run on the simulated machine (in-process, as tvx-sim
     runs it) and on Wine through the harness (tools/wine/run-scenario.sh, the whole script), the
     median of five runs each. Goal: the simulated machine at least 1,000 times faster.
  3. Log rotation (part log): a logger opening a 50 MB log against one of 51,201 bytes. Goal: at most 1.2 times
     the time, and the same bytes read.
"""

import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from scaling_svg import write_svg  # noqa: E402

SCALES = [1, 10, 100]
SCALING_GOAL = 11.0
WINE_GOAL = 1000.0
LOG_TIME_GOAL = 1.2
LOG_SMALL = 51201
LOG_LARGE = 50 * 1024 * 1024


def log(text):
    print(text, file=sys.stderr, flush=True)


def run_json(command):
    done = subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True)
    return json.loads(done.stdout)


def google_benchmark(bench, pattern, extra=()):
    """Runs the benchmarks matching pattern; answers their entries by name."""
    data = run_json([str(bench), f"--benchmark_filter={pattern}", "--benchmark_format=json", *extra])
    entries = {}
    for b in data["benchmarks"]:
        if b.get("error_occurred"):
            raise SystemExit(f"benchmark {b['name']} failed: {b.get('error_message')}")
        # "scaling/removal/10/iterations:1/repeats:9/manual_time" is "scaling/removal/10"; an
        # aggregate of repetitions is named after it ("scaling/removal/10@median").
        base = "/".join(p for p in b.get("run_name", b["name"]).split("/") if ":" not in p and p != "manual_time")
        entries[base + ("@" + b["aggregate_name"] if b.get("aggregate_name") else "")] = b
    return entries


def to_ms(entry):
    factor = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[entry.get("time_unit", "ns")]
    return entry["real_time"] * factor


def callgrind_instructions(bench, flow, scale, out_dir):
    out_file = out_dir / f"{flow}-{scale}.callgrind"
    command = ["valgrind", "--tool=callgrind", "--collect-atstart=no", "--toggle-collect=*MeasuredFlow*",
               f"--callgrind-out-file={out_file}", str(bench), "probe", flow, str(scale)]
    done = subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    probe = json.loads(done.stdout.strip().splitlines()[-1])
    text = out_file.read_text()
    match = re.search(r"^totals:\s+(\d+)", text, re.M) or re.search(r"^summary:\s+(\d+)", text, re.M)
    if not match:
        raise SystemExit(f"no instruction total in {out_file}")
    return int(match.group(1)), probe["platform_calls"]


def ratio(a, b):
    return a / b if a and b else None


def measure_scaling(args, out_dir):
    bench = args.host / "bench" / "tvx-bench"
    flows = run_json([str(bench), "flows"])
    log("scaling: wall time (Google Benchmark)")
    wall = google_benchmark(bench, "^scaling/")
    callgrind_dir = out_dir / "callgrind"
    callgrind_dir.mkdir(parents=True, exist_ok=True)
    results = []
    for flow, title in ((f["name"], f["title"]) for f in flows):
        sizes = []
        for scale in SCALES:
            log(f"scaling: callgrind {flow} at {scale}x")
            instructions, calls = callgrind_instructions(bench, flow, scale, callgrind_dir)
            sizes.append({"scale": scale, "instructions": instructions, "platform_calls": calls,
                          "wall_ms": to_ms(wall[f"scaling/{flow}/{scale}@min"]),
                          "wall_median_ms": to_ms(wall[f"scaling/{flow}/{scale}@median"])})
        ratios = []
        for lo, hi in zip(sizes, sizes[1:]):
            ratios.append({"of": f"{hi['scale']}x/{lo['scale']}x",
                           "instructions": ratio(hi["instructions"], lo["instructions"]),
                           "wall": ratio(hi["wall_ms"], lo["wall_ms"])})
        results.append({"flow": flow, "title": title, "sizes": sizes, "ratios": ratios})
    return results


def scratch_root():
    """Where tvx-sim and tvx-bench make the simulated machines' drive folders (as
    ScratchFolder::DefaultBelow chooses): TMPDIR when set, else /dev/shm when writable."""
    if os.environ.get("TMPDIR"):
        return os.environ["TMPDIR"]
    if os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK | os.X_OK):
        return "/dev/shm"
    return "/tmp"


def scenario_folders(folder, pattern):
    found = sorted(p.parent for p in folder.glob("*/scenario.toml"))
    return [p for p in found if re.search(pattern, p.name)]


def posix_escape(text):
    """The text as a literal in the POSIX regular expressions Google Benchmark's filter uses."""
    return re.sub(r"([.^$*+?()\[\]{}|\\])", r"\\\1", text)


def timed(command, env=None):
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, env=env)
    return time.perf_counter() - start, done.returncode, done.stderr


def measure_scenarios(args, out_dir):
    bench = args.host / "bench" / "tvx-bench"
    tvx_sim = args.host / "tools" / "tvx-sim" / "tvx-sim"
    run_scenario = args.source / "tools" / "wine" / "run-scenario.sh"
    template = args.host / "wine" / "prefix"
    folders = scenario_folders(args.scenarios, args.scenario_filter)
    log(f"scenarios: {len(folders)} on the simulated machine, in-process (Google Benchmark, median of five)")
    sim = google_benchmark(bench, "^scenario/(" + "|".join(posix_escape(p.name) for p in folders) + ")/",
                           [f"--scenarios={args.scenarios}", f"--module={args.host / 'TarvixQ920kCO.so'}"])
    results = []
    for folder in folders:
        name = folder.name
        scenario = folder / "scenario.toml"
        sim_ms = to_ms(sim[f"scenario/{name}@median"])
        process = []
        for _ in range(args.runs):
            seconds, status, err = timed([str(tvx_sim), "run", str(scenario)])
            if status != 0:
                raise SystemExit(f"tvx-sim run {scenario} failed with {status}: {err}")
            process.append(seconds * 1e3)
        wine = []
        statuses = set()
        for run in range(args.runs if args.wine else 0):
            log(f"scenarios: Wine {name} run {run + 1} of {args.runs}")
            work = out_dir / "wine" / name
            seconds, status, err = timed([str(run_scenario), "--template", str(template), "--windows-build",
                                          str(args.windows), "--work", str(work), str(scenario),
                                          "--output", str(out_dir / "wine" / f"{name}.txt")])
            if status not in (0, 1):
                raise SystemExit(f"the Wine run of {scenario} failed with {status}: {err}")
            statuses.add(status)
            wine.append(seconds * 1e3)
        entry = {"scenario": name, "sim_ms": sim_ms, "tvx_sim_process_ms": statistics.median(process)}
        if wine:
            wine_ms = statistics.median(wine)
            entry.update({"wine_ms": wine_ms, "wine_runs_ms": wine, "ratio": wine_ms / sim_ms,
                          "wine_expectations_met": statuses == {0}})
        results.append(entry)
    return results


def log_open_instructions(bench, size, out_dir):
    out_file = out_dir / f"log-open-{size}.callgrind"
    command = ["valgrind", "--tool=callgrind", "--collect-atstart=no", "--toggle-collect=*MeasuredLogOpen*",
               f"--callgrind-out-file={out_file}", str(bench), "probe", "log-open", str(size)]
    subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    match = re.search(r"^totals:\s+(\d+)", out_file.read_text(), re.M)
    if not match:
        raise SystemExit(f"no instruction total in {out_file}")
    return int(match.group(1))


def measure_log(args, out_dir):
    bench = args.host / "bench" / "tvx-bench"
    log("log rotation: Google Benchmark and callgrind")
    entries = google_benchmark(bench, "^log-rotation/")
    small, large = entries[f"log-rotation/{LOG_SMALL}"], entries[f"log-rotation/{LOG_LARGE}"]
    callgrind_dir = out_dir / "callgrind"
    callgrind_dir.mkdir(parents=True, exist_ok=True)
    small_instr = log_open_instructions(bench, LOG_SMALL, callgrind_dir)
    large_instr = log_open_instructions(bench, LOG_LARGE, callgrind_dir)
    return {"small_bytes": LOG_SMALL, "large_bytes": LOG_LARGE,
            "small_ms": to_ms(small), "large_ms": to_ms(large),
            "small_read": int(small["bytes_read"]), "large_read": int(large["bytes_read"]),
            "time_ratio": to_ms(large) / to_ms(small),
            "small_instructions": small_instr, "large_instructions": large_instr,
            "instructions_ratio": large_instr / small_instr}


def goals(results):
    """Every figure with its goal: (section, figure, value text, goal text, met)."""
    rows = []
    for f in results.get("scaling", []):
        for s in f["sizes"]:
            rows.append(("scaling", f"{f['title']} at {s['scale']}x",
                         f"{s['instructions']:,} instr, {s['wall_ms']:.3f} ms (median {s['wall_median_ms']:.3f}), "
                         f"{s['platform_calls']:,} calls", "", None))
        for r in f["ratios"]:
            for kind in ("instructions", "wall"):
                value = r[kind]
                rows.append(("scaling", f"{f['title']}: {kind} {r['of']}",
                             "-" if value is None else f"{value:.2f}", f"<= {SCALING_GOAL:g}",
                             value is not None and value <= SCALING_GOAL))
    for s in results.get("scenarios", []):
        if "wine_ms" not in s:
            rows.append(("sim vs Wine", s["scenario"], f"sim {s['sim_ms']:.2f} ms "
                         f"(tvx-sim {s['tvx_sim_process_ms']:.0f} ms), Wine not run", "", None))
            continue
        rows.append(("sim vs Wine", s["scenario"],
                     f"sim {s['sim_ms']:.2f} ms (tvx-sim {s['tvx_sim_process_ms']:.0f} ms), "
                     f"Wine {s['wine_ms']:.0f} ms: {s['ratio']:,.0f}x",
                     f">= {WINE_GOAL:,.0f}x", s["ratio"] >= WINE_GOAL))
    if "log_rotation" in results:
        lr = results["log_rotation"]
        rows.append(("log rotation", "time, 50 MB against 51,201 bytes",
                     f"{lr['large_ms']:.3f} ms / {lr['small_ms']:.3f} ms = {lr['time_ratio']:.2f}",
                     f"<= {LOG_TIME_GOAL:g}", lr["time_ratio"] <= LOG_TIME_GOAL))
        rows.append(("log rotation", "instructions, 50 MB against 51,201 bytes",
                     f"{lr['large_instructions']:,} / {lr['small_instructions']:,} = {lr['instructions_ratio']:.2f}",
                     f"<= {LOG_TIME_GOAL:g}", lr["instructions_ratio"] <= LOG_TIME_GOAL))
        rows.append(("log rotation", "bytes read, 50 MB against 51,201 bytes",
                     f"{lr['large_read']:,} / {lr['small_read']:,}", "the same", lr["large_read"] == lr["small_read"]))
    return rows


def print_table(rows):
    widths = [max(len(str(r[i])) for r in rows) for i in range(4)] if rows else [0] * 4
    header = ("section", "figure", "value", "goal")
    widths = [max(w, len(h)) for w, h in zip(widths, header)]
    line = "  ".join(h.ljust(w) for h, w in zip(header, widths)) + "  met"
    print(line)
    print("-" * len(line))
    for r in rows:
        met = "" if r[4] is None else ("yes" if r[4] else "NO")
        print("  ".join(str(v).ljust(w) for v, w in zip(r[:4], widths)) + "  " + met)
    judged = [r for r in rows if r[4] is not None]
    missed = [r for r in judged if not r[4]]
    print(f"\n{len(judged) - len(missed)} of {len(judged)} goals met" + (": " + "; ".join(
        f"{r[0]}: {r[1]}" for r in missed) if missed else ""))


# The parts of the benchmark, as --parts names them.
PARTS = {
    "scaling": "the co-installer's walks and scans on machines of growing size",
    "scenarios": "each scenario on the simulated machine and under Wine",
    "log": "log appends and rotation",
}


def main():
    here = Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--source", type=Path, default=here.parent, help="the source tree")
    parser.add_argument("--host", type=Path, default=here.parent / "build" / "host", help="the host build")
    parser.add_argument("--windows", type=Path, default=here.parent / "build" / "windows", help="the Windows build")
    parser.add_argument("--out", type=Path, default=here.parent / "build" / "bench", help="where the figures go")
    parser.add_argument("--scenarios", type=Path, default=here.parent / "scenarios")
    parser.add_argument("--scenario-filter", default="", help="only scenarios whose folder name matches")
    parser.add_argument("--runs", type=int, default=5, help="runs per scenario and machine (median)")
    parser.add_argument("--parts", default=",".join(PARTS), metavar="PART,...",
                        help="which parts to measure, separated by commas: " + "; ".join(
                            f"{name} ({what})" for name, what in PARTS.items()) + " (default: all)")
    parser.add_argument("--no-wine", dest="wine", action="store_false", help="scenarios on the simulated machine only")
    args = parser.parse_args()
    for name in ("source", "host", "windows", "out", "scenarios"):
        setattr(args, name, getattr(args, name).resolve())
    args.out.mkdir(parents=True, exist_ok=True)
    parts = set(p.strip() for p in args.parts.split(",") if p.strip())
    unknown = sorted(parts - set(PARTS))
    if unknown or not parts:
        parser.error(f"unknown part {', '.join(unknown) or '(none given)'}: the parts are {', '.join(PARTS)}")

    results = {"build": "host build (build/host, as `make host` builds it)",
               "sim_measured": "in-process: tvx-sim's scenario run (set-up, calls, report) inside tvx-bench",
               "sim_drives_below": scratch_root()}
    if "scaling" in parts:
        results["scaling"] = measure_scaling(args, args.out)
    if "log" in parts:
        results["log_rotation"] = measure_log(args, args.out)
    if "scenarios" in parts:
        results["scenarios"] = measure_scenarios(args, args.out)
    rows = goals(results)
    results["goals"] = [{"section": r[0], "figure": r[1], "value": r[2], "goal": r[3], "met": r[4]}
                        for r in rows if r[4] is not None]
    (args.out / "results.json").write_text(json.dumps(results, indent=2) + "\n")
    if "scaling" in results:
        write_svg(results["scaling"], args.out / "scaling.svg")
    print_table(rows)
    print(f"\nfigures: {args.out / 'results.json'}" + (
        f"\nscaling curves: {args.out / 'scaling.svg'}" if "scaling" in results else ""))


if __name__ == "__main__":
    main()
