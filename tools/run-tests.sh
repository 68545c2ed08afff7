#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every suite (unit, in-process window tests,
# the executable, the camera lab) with ctest under a virtual display, a private session bus
# and the accessibility bus; then runs the whole suite again in a build with clang's address
# and undefined-behaviour sanitizers, which is built while the first run goes on. Fails when
# either run fails. At the end it prints how long each phase took and the slowest tests.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
sanitize="$root/build-sanitize"
# Most of a run is spent waiting (the lab's cameras boot, the wizard's countdown runs, cameras
# time out), and the lab tests each take a lab instance of their own: three tests a core run at
# once. (Four a core made the sanitizer run no shorter: its tests then waited for the cores.)
jobs=$(($(nproc) * 3))
SLOWEST_SHOWN=10

phases=()
phase_start=0
as_minutes() { printf '%-36s %3d:%02d' "$1" $(($2 / 60)) $(($2 % 60)); }
record_phase() { phases+=("$(as_minutes "$1" "$2")"); }
begin_phase() { phase_start=$SECONDS; }
end_phase() { record_phase "$1" $((SECONDS - phase_start)); }

# The slowest tests of a pass, from ctest's JUnit report.
slowest_tests() {
    python3 - "$1" "$SLOWEST_SHOWN" <<'PY'
import sys
import xml.etree.ElementTree as ET
try:
    cases = ET.parse(sys.argv[1]).getroot().iter("testcase")
except (OSError, ET.ParseError):
    sys.exit(0)
timed = sorted(((float(c.get("time", 0)), c.get("name")) for c in cases), reverse=True)
for seconds, name in timed[:int(sys.argv[2])]:
    print(f"  {seconds:7.1f} s  {name}")
PY
}

summary() {
    echo "== Time of each phase"
    printf '%s\n' "${phases[@]}"
    as_minutes "whole run" "$SECONDS"
    echo
    local pass
    for pass in "$build" "$sanitize"; do
        [ -f "$pass/ctest-junit.xml" ] || continue
        echo "== The $SLOWEST_SHOWN slowest tests in $(basename "$pass")"
        slowest_tests "$pass/ctest-junit.xml"
    done
}
trap summary EXIT

begin_phase
bash "$root/tools/install-deps.sh"
end_phase "install"

begin_phase
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
end_phase "build"

# The sanitizer build goes on beside the first run, at the lowest priority: the tests, which
# mostly wait, get the cores whenever they want them.
rm -f "$build/ctest-junit.xml" "$sanitize/ctest-junit.xml"
mkdir -p "$sanitize"
sanitize_log="$sanitize/build.log"
(
    started=$SECONDS
    CC=clang CXX=clang++ cmake -S "$root" -B "$sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVELNOR_SANITIZERS=ON -DVELNOR_FUZZERS=ON
    nice -n 19 cmake --build "$sanitize" -j"$(nproc)"
    echo $((SECONDS - started)) >"$sanitize/build.seconds"
) >"$sanitize_log" 2>&1 &
sanitize_build=$!

# shellcheck source=display-session.sh
source "$root/tools/display-session.sh"
start_display_session 90
finish() {
    kill "$sanitize_build" 2>/dev/null || true
    end_display_session
    summary
}
trap finish EXIT

status=0
begin_phase
(cd "$build" && ctest --output-on-failure -j"$jobs" --output-junit ctest-junit.xml) || status=$?
end_phase "ctest in build/"

if ! wait "$sanitize_build"; then
    tail -n 60 "$sanitize_log"
    echo "run-tests: the sanitizer build failed (all of it in $sanitize_log)"
    exit 1
fi
record_phase "build-sanitize/ (beside the first)" "$(cat "$sanitize/build.seconds")"

# The first pass's times order the second: ctest starts the tests that took longest first.
mkdir -p "$sanitize/Testing/Temporary"
cp -f "$build/Testing/Temporary/CTestCostData.txt" "$sanitize/Testing/Temporary/" 2>/dev/null || true

# Every sanitizer report also lands in a file of its own, so one from a process whose exit
# status no test looks at (a wizard that a driver ends) still fails the run.
reports="$sanitize/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
begin_phase
(
    # An exit status that no test expects from the program, for every kind of report.
    failure=86
    common="exitcode=$failure:log_path=$reports/report:print_suppressions=0"
    # The lab preloads its PoE stand-in before the runtime (only a shared runtime minds).
    # Whole stacks for every allocation: the toolkit's libraries have no frame pointers, and
    # a leak's suppression must see whether the program's code is on its stack.
    export ASAN_OPTIONS="$common:halt_on_error=1:detect_leaks=1:fast_unwind_on_malloc=0:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:verify_asan_link_order=0"
    export UBSAN_OPTIONS="$common:halt_on_error=1:print_stacktrace=1:report_error_type=1"
    export LSAN_OPTIONS="$common:suppressions=$root/tests/sanitizers/lsan.supp"
    # GLib's slice allocator would hide its blocks from the leak check; plain malloc shows them.
    export G_SLICE=always-malloc
    cd "$sanitize"
    ctest --output-on-failure -j"$jobs" --output-junit ctest-junit.xml
) || status=$?
end_phase "ctest in build-sanitize/"
if [ -n "$(ls -A "$reports")" ]; then
    for report in "$reports"/*; do
        echo "== $report"
        cat "$report"
    done
    status=1
fi
exit "$status"
