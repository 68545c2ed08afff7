#!/usr/bin/env bash
# Find Ports' time for 4 and 16 cameras (see BENCHMARKS.md), as root: the wizard built as for
# bench/run.sh, on a virtual display with the accessibility bus, each size in a lab of its own.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
python=/usr/bin/python3  # the interpreter that has python3-xlib and python3-dogtail

[ "$(id -u)" -eq 0 ] || { echo "bench/find_ports.sh: run as root (the camera lab needs it)"; exit 2; }

bash "$root/tools/install-deps.sh"
mkdir -p "$build"
if ! { cmake -S "$root" -B "$build/product" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF &&
       cmake --build "$build/product" --target velnor-config-tool -j"$(nproc)"; } >"$build/build.log" 2>&1; then
    tail -n 30 "$build/build.log"
    exit 1
fi

# shellcheck source=../tools/display-session.sh
source "$root/tools/display-session.sh"
start_display_session 600

export VELNOR_LAB_LOCK_WAIT="${VELNOR_LAB_LOCK_WAIT:-1800}"
mkdir -p "$build/runs"
workdir="$(mktemp -d "$build/runs/find-ports-$(date +%Y%m%d-%H%M%S).XXXX")"
"$python" "$root/bench/find_ports.py" --wizard "$build/product/velnor-config-tool" --workdir "$workdir" \
    --sizes "${BENCH_FIND_PORTS_SIZES:-4,16}"
