#!/usr/bin/env bash
# The benchmark (see BENCHMARKS.md), as root: builds the wizard (Release) and the bare reference
# window into build-bench/, starts a virtual display with a session bus and the accessibility
# bus, and measures in camera labs. What to measure, any of (default: all three, in this order):
#   startup-scan   start-up against a bare window, and the scan of 16 against its floor
#   hung-cameras   the main loop's stalls with cameras that never answer, and the scan of 16
#                  with 0, 4 and 16 of them against its floor
#   scan-scale     the scan of 16, 64 and 256 cameras against its floor
# BENCH_WIZARD_SOURCE: the source tree the wizard is built from (default: this repository), so
# that one benchmark measures two versions. Runs: BENCH_STARTUP_RUNS (5) start-ups of each
# program, BENCH_SCAN_RUNS (3) scans, BENCH_HUNG_REPEATS (3) scans with no hung camera,
# BENCH_SCALE_RUNS (3) scans of each size; BENCH_CAP_S (240) caps a phase with hung cameras.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
source_tree="$(cd "${BENCH_WIZARD_SOURCE:-$root}" && pwd)"
build="$root/build-bench"
[ "$source_tree" = "$root" ] || build="$root/build-bench/$(basename "$source_tree")"
lab="$root/tests/lab/lab"
python=/usr/bin/python3  # the interpreter that has python3-xlib and python3-dogtail
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(startup-scan hung-cameras scan-scale)
for part in "${parts[@]}"; do
    case "$part" in startup-scan|hung-cameras|scan-scale) ;;
        *) echo "bench/run.sh: unknown part $part (startup-scan, hung-cameras, scan-scale)"; exit 2 ;;
    esac
done

[ "$(id -u)" -eq 0 ] || { echo "bench/run.sh: run as root (the camera lab needs it)"; exit 2; }

bash "$root/tools/install-deps.sh"
mkdir -p "$build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if ! { cmake -S "$source_tree" -B "$build/product" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "${launcher[@]}" &&
       cmake --build "$build/product" --target velnor-config-tool -j"$(nproc)" &&
       cmake -S "$root/bench" -B "$build/bare" -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$build/bare" -j"$(nproc)"; } >"$build/build.log" 2>&1; then
    tail -n 30 "$build/build.log"
    exit 1
fi
wizard="$build/product/velnor-config-tool"
echo "wizard built from $source_tree at $(git -C "$source_tree" rev-parse --short HEAD 2>/dev/null || echo '?')"

# shellcheck source=../tools/display-session.sh
source "$root/tools/display-session.sh"
start_display_session 150

# Run by hand, it may well wait for a whole test suite's lab.
export VELNOR_LAB_LOCK_WAIT="${VELNOR_LAB_LOCK_WAIT:-1800}"
mkdir -p "$build/runs"
workdir="$(mktemp -d "$build/runs/$(date +%Y%m%d-%H%M%S).XXXX")"
status=0
for part in "${parts[@]}"; do
    mkdir -p "$workdir/$part"
    case "$part" in
    startup-scan)
        "$lab" session --config "$root/bench/cameras16.json" -- \
            "$python" "$root/bench/measure.py" --lab "$lab" --workdir "$workdir/$part" \
            --wizard "$wizard" --bare "$build/bare/bare_window" \
            --cameras "$root/bench/cameras16.json" \
            --startup-runs "${BENCH_STARTUP_RUNS:-5}" --scan-runs "${BENCH_SCAN_RUNS:-3}" || status=1 ;;
    hung-cameras)
        "$lab" session --config "$root/bench/cameras16-accounts.json" -- \
            "$python" "$root/bench/measure_hung.py" --lab "$lab" --workdir "$workdir/$part" \
            --wizard "$wizard" --cameras "$root/bench/cameras16-accounts.json" \
            --hung cam3,cam7,cam11,cam15 --cap "${BENCH_CAP_S:-240}" \
            --repeats "${BENCH_HUNG_REPEATS:-3}" || status=1 ;;
    scan-scale)
        "$python" "$root/bench/measure_scale.py" --lab "$lab" --workdir "$workdir/$part" \
            --wizard "$wizard" --sizes 16,64,256 --runs "${BENCH_SCALE_RUNS:-3}" || status=1 ;;
    esac
done
exit "$status"
