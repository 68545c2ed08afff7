#!/usr/bin/python3
"""The hung cameras' part of the benchmark inside a lab session (see hung_cameras.py): prints one
line per phase and then the table. Times never fail it."""
import argparse
import datetime
import json
import os
import sys

import hung_cameras

STALL_GOAL_S = 0.1


def seconds(value, capped=False):
    if value is None:
        return "capped"
    return f"{'≥ ' if capped else ''}{value:.3f} s"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lab", required=True)
    parser.add_argument("--wizard", required=True)
    parser.add_argument("--cameras", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--hung", required=True, help="comma-separated names of the cameras that never answer")
    parser.add_argument("--cap", type=float, default=240.0)
    parser.add_argument("--repeats", type=int, default=3)
    args = parser.parse_args()
    with open(args.cameras, encoding="utf-8") as f:
        cameras = [c["name"] for c in json.load(f)]
    started = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    results = hung_cameras.run(args.lab, args.wizard, args.workdir, cameras, args.hung.split(","),
                               args.cap, args.repeats)
    with open(os.path.join(args.workdir, "hung-cameras.json"), "w", encoding="utf-8") as f:
        json.dump(results, f, indent=1)
    for r in results:
        print(f"{r['phase']}: longest stall {seconds(r['stall'], r['capped'])} "
              f"({r['calls']} probe calls, {r['failed']} failed, phase {r['took']:.3f} s)"
              + (f"; scan {seconds(r['scan'])}, floor {r['floor']:.3f} s side by side, "
                 f"{r['floor_in_turn']:.3f} s in turn, {r['replies']} replies" if "floor" in r else ""),
              flush=True)
    print()
    print(f"{started}, {os.cpu_count()} cores, {len(cameras)} cameras, cap {args.cap:.0f} s")
    print()
    print(f"| Phase | Longest stall (goal < {STALL_GOAL_S * 1000:.0f} ms) | Scan | Floor | Ratio |")
    print("|---|---|---|---|---|")
    for r in results:
        scan = r.get("scan")
        ratio = f"{scan / r['floor']:.2f}" if scan is not None and "floor" in r else "-"
        floor = f"{r['floor']:.3f} s" if "floor" in r else "-"
        shown = seconds(scan, False) if "floor" in r else "-"
        print(f"| {r['phase']} | {seconds(r['stall'], r['capped'])} | {shown} | {floor} | {ratio} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
