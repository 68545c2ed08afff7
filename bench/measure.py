#!/usr/bin/python3
"""The benchmark inside a lab session: start-up of the wizard against a bare gtkmm window, then
the wizard's scan against its floor; prints the medians and their ratios. Times never fail it."""
import argparse
import datetime
import json
import os
import statistics
import sys
import traceback

import scan
import startup


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def ratio(a, b):
    return a / b if a is not None and b else None


def text(value, unit, digits):
    return "not seen" if value is None else f"{value:.{digits}f} {unit}"


def row(name, ours, reference, unit, digits):
    factor = ratio(ours, reference)
    shown = "-" if factor is None else f"{factor:.2f}"
    return f"| {name} | {text(ours, unit, digits)} | {text(reference, unit, digits)} | {shown} |"


def measure_startup(args):
    """Alternating runs, so that a busy moment of the machine falls on both programs alike. One
    start of each first is not counted: it finds the libraries, fonts and pictures off the disk."""
    runs = {"wizard": [], "bare": []}
    for tag, program in (("wizard", args.wizard), ("bare", args.bare)):
        startup.measure(args.lab, program, args.workdir, f"startup-{tag}-warm-up")
    for number in range(1, args.startup_runs + 1):
        for tag, program in (("wizard", args.wizard), ("bare", args.bare)):
            result = startup.measure(args.lab, program, args.workdir, f"startup-{tag}-{number}")
            runs[tag].append(result)
            print(f"start-up {number}/{args.startup_runs} {tag}: first frame "
                  f"{text(result['first_frame'], 'ms', 1)}, mapped {text(result['map'], 'ms', 1)}, "
                  f"VmHWM {text(result['peak_kib'], 'KiB', 0)}", flush=True)
    return {tag: {key: median(r[key] for r in results) for key in ("first_frame", "map", "peak_kib")}
            for tag, results in runs.items()}


def measure_scan(args, cameras):
    results = scan.run(args.lab, args.wizard, args.workdir, cameras, args.scan_runs)
    for number, r in enumerate(results, 1):
        codes = " ".join(sorted(set(r["codes"])))
        print(f"scan {number}/{args.scan_runs}: {r['scan']:.3f} s, {r['replies']} replies, "
              f"{r['program_exchanges']} exchanges; floor {r['floor']:.3f} s (curl {r['http']:.3f} s "
              f"for {r['answered']} requests, {r['curl_exchanges']} exchanges, codes {codes})", flush=True)
    keys = ("scan", "floor", "http", "replies", "program_exchanges", "curl_exchanges")
    return {key: median(r[key] for r in results) for key in keys}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lab", required=True)
    parser.add_argument("--wizard", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--cameras", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--startup-runs", type=int, default=5)
    parser.add_argument("--scan-runs", type=int, default=3)
    args = parser.parse_args()
    with open(args.cameras, encoding="utf-8") as f:
        cameras = [c["name"] for c in json.load(f)]

    startup_figures = scan_figures = None
    status = 0
    started = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    try:
        startup_figures = measure_startup(args)
    except Exception:  # the other half still runs; the failure is reported below
        traceback.print_exc(file=sys.stdout)
        status = 1
    try:
        scan_figures = measure_scan(args, cameras)
    except Exception:
        traceback.print_exc(file=sys.stdout)
        status = 1

    print()
    print(f"Medians, {started}, {os.cpu_count()} cores, {args.startup_runs} start-ups of each program, "
          f"{args.scan_runs} scans of {len(cameras)} cameras")
    print()
    print("| Figure | Wizard | Reference | Ratio |")
    print("|---|---|---|---|")
    if startup_figures:
        wizard, bare = startup_figures["wizard"], startup_figures["bare"]
        print(row("exec to the first frame (bare window)", wizard["first_frame"], bare["first_frame"], "ms", 1))
        print(row("exec to the window mapped (bare window)", wizard["map"], bare["map"], "ms", 1))
        peak = {k: None if v["peak_kib"] is None else v["peak_kib"] / 1024 for k, v in startup_figures.items()}
        print(row("peak memory, VmHWM at 5 s (bare window)", peak["wizard"], peak["bare"], "MiB", 1))
    if scan_figures:
        print(row("scan, netinfo: to cameras= (floor)", scan_figures["scan"], scan_figures["floor"], "s", 3))
        print(f"| of the floor: curl's HTTP time (besides 5 s of fixed waits) | | {scan_figures['http']:.3f} s | |")
        print(f"| exchanges per scan: the program's (curl's) | {scan_figures['program_exchanges']:.0f} | "
              f"{scan_figures['curl_exchanges']:.0f} | |")
    return status


if __name__ == "__main__":
    sys.exit(main())
