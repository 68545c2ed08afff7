#!/usr/bin/env bash
# The benchmark of the wizard's start-up and scan (see BENCHMARKS.md), as root: builds the wizard
# (Release) and the bare reference window into build-bench/, starts a virtual display with a
# session bus and the accessibility bus, and measures inside a lab of sixteen cameras.
# Runs: BENCH_STARTUP_RUNS (5) start-ups of each program, BENCH_SCAN_RUNS (3) scans.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
lab="$root/tests/lab/lab"
python=/usr/bin/python3  # the interpreter that has python3-xlib and python3-dogtail

[ "$(id -u)" -eq 0 ] || { echo "bench/run.sh: run as root (the camera lab needs it)"; exit 2; }

bash "$root/tools/install-deps.sh"
mkdir -p "$build"
if ! { cmake -S "$root" -B "$build/product" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
       cmake --build "$build/product" --target velnor-config-tool -j"$(nproc)" &&
       cmake -S "$root/bench" -B "$build/bare" -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$build/bare" -j"$(nproc)"; } >"$build/build.log" 2>&1; then
    tail -n 30 "$build/build.log"
    exit 1
fi

# shellcheck source=../tools/display-session.sh
source "$root/tools/display-session.sh"
start_display_session 150

# Run by hand, it may well wait for a whole test suite's lab.
export VELNOR_LAB_LOCK_WAIT="${VELNOR_LAB_LOCK_WAIT:-1800}"
mkdir -p "$build/runs"
workdir="$(mktemp -d "$build/runs/$(date +%Y%m%d-%H%M%S).XXXX")"
"$lab" session --config "$root/bench/cameras16.json" -- \
    "$python" "$root/bench/measure.py" --lab "$lab" --workdir "$workdir" \
    --wizard "$build/product/velnor-config-tool" --bare "$build/bare/bare_window" \
    --cameras "$root/bench/cameras16.json" \
    --startup-runs "${BENCH_STARTUP_RUNS:-5}" --scan-runs "${BENCH_SCAN_RUNS:-3}"
