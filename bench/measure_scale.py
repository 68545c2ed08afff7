#!/usr/bin/python3
"""The scan at scale (see scan_scale.py): for each size a lab of its own, the scans against their
floor; prints one line per scan and then the table of medians. Times never fail it.

Run on the host, it takes a lab session per size and runs itself inside it with --inside."""
import argparse
import datetime
import json
import os
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
GOAL = 1.10


def inside(args):
    import scan_scale  # takes the session's lab instance on import
    with open(args.cameras, encoding="utf-8") as f:
        cameras = [c["name"] for c in json.load(f)["cameras"]]
    results = scan_scale.run(args.lab, args.wizard, args.workdir, cameras, args.runs)
    with open(os.path.join(args.workdir, "results.json"), "w", encoding="utf-8") as f:
        json.dump(results, f, indent=1)
    return 0


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def outside(args):
    import scan_scale_config
    started = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    table, status = [], 0
    for size in [int(s) for s in args.sizes.split(",")]:
        workdir = os.path.join(args.workdir, f"scale-{size}")
        os.makedirs(workdir, exist_ok=True)
        config = os.path.join(workdir, "cameras.json")
        with open(config, "w", encoding="utf-8") as f:
            json.dump(scan_scale_config.lab_config(size), f, indent=1)
        code = subprocess.run([args.lab, "session", "--config", config, "--", PYTHON, os.path.abspath(__file__),
                               "--inside", "--lab", args.lab, "--wizard", args.wizard, "--cameras", config,
                               "--workdir", workdir, "--runs", str(args.runs)]).returncode
        try:
            with open(os.path.join(workdir, "results.json"), encoding="utf-8") as f:
                results = json.load(f)
        except (OSError, ValueError):
            print(f"scale {size}: no results (exit {code})", flush=True)
            status = 1
            continue
        for number, r in enumerate(results, 1):
            print(f"scale {size}, scan {number}/{len(results)}: {r['scan']:.3f} s, {r['replies']} replies, "
                  f"{r['program_exchanges']} exchanges; floor {r['floor']:.3f} s side by side, "
                  f"{r['floor_in_turn']:.3f} s in turn (codes {' '.join(r['codes'])})", flush=True)
        table.append((size, {k: median(r[k] for r in results) for k in
                             ("scan", "floor", "floor_in_turn", "replies", "program_exchanges")}))
    print()
    print(f"Medians, {started}, {os.cpu_count()} cores, {args.runs} scans of each size")
    print()
    print(f"| Cameras | Scan | Floor side by side | Ratio (goal ≤ {GOAL:.2f}) | Floor in turn | Replies | Exchanges |")
    print("|---|---|---|---|---|---|---|")
    for size, m in table:
        print(f"| {size} | {m['scan']:.3f} s | {m['floor']:.3f} s | {m['scan'] / m['floor']:.2f} | "
              f"{m['floor_in_turn']:.3f} s | {m['replies']:.0f} | {m['program_exchanges']:.0f} |")
    return status


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--inside", action="store_true")
    parser.add_argument("--lab", required=True)
    parser.add_argument("--wizard", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--sizes", default="16,64,256")
    parser.add_argument("--cameras")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    return inside(args) if args.inside else outside(args)


if __name__ == "__main__":
    sys.exit(main())
