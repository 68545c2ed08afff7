#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every suite (unit, in-process window tests,
# the executable, the camera lab) with ctest under a virtual display, a private session bus
# and the accessibility bus; then builds everything again with clang's address and
# undefined-behaviour sanitizers and runs the whole suite there too. Fails when either run fails.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"

# shellcheck source=display-session.sh
source "$root/tools/display-session.sh"
start_display_session 90

status=0
(cd "$build" && ctest --output-on-failure -j"$(nproc)") || status=$?

sanitize="$root/build-sanitize"
CC=clang CXX=clang++ cmake -S "$root" -B "$sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELNOR_SANITIZERS=ON -DVELNOR_FUZZERS=ON
cmake --build "$sanitize" -j"$(nproc)"
# Every sanitizer report also lands in a file of its own, so one from a process whose exit
# status no test looks at (a wizard that a driver ends) still fails the run.
reports="$sanitize/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
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
    ctest --output-on-failure -j"$(nproc)"
) || status=$?
if [ -n "$(ls -A "$reports")" ]; then
    for report in "$reports"/*; do
        echo "== $report"
        cat "$report"
    done
    status=1
fi
exit "$status"
