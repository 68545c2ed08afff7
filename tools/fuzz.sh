#!/usr/bin/env bash
# Fuzzes the program's parsers with libFuzzer. Builds the fuzz targets with clang in a folder of
# their own (or reuses it), runs each target for SECONDS from its corpus, then merges into
# tests/fuzz/corpus/TARGET only the inputs that reach code the corpus did not, so it stays small.
# A crash input is left in the build folder's fuzz-artifacts/TARGET/: once the fault is mended,
# keep it in tests/fuzz/regressions/TARGET/, which the target's ctest entry runs too.
# Usage: tools/fuzz.sh [TARGET|all] [SECONDS]   (all targets, 60 seconds each, by default)
# The build folder is build-fuzz, or VELNOR_FUZZ_BUILD.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELNOR_FUZZ_BUILD:-$root/build-fuzz}"
targets=(discovery_reply dhcp_config_line camera_answers address_texts subnet_calculator)
readonly input_timeout=10

which="${1:-all}"
seconds="${2:-60}"
which="${which#fuzz_}"
if [ "$which" != all ] && ! printf '%s\n' "${targets[@]}" | grep -qx -- "$which"; then
    echo "Unknown target $which; one of: all ${targets[*]}" >&2
    exit 2
fi
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "SECONDS must be a positive whole number, not $seconds" >&2
    exit 2
fi
[ "$which" = all ] || targets=("$which")

bash "$root/tools/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELNOR_FUZZERS=ON >/dev/null
cmake --build "$build" --target velnor_fuzzers -j"$(nproc)"

scratch="$(mktemp -d /tmp/velnor-fuzz.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

failed=()
for target in "${targets[@]}"; do
    fuzzer="$build/tests/fuzz/fuzz_$target"
    corpus="$root/tests/fuzz/corpus/$target"
    regressions="$root/tests/fuzz/regressions/$target"
    artifacts="$build/fuzz-artifacts/$target"
    found="$scratch/$target"
    mkdir -p "$found" "$artifacts"
    folders=("$found" "$corpus")
    [ -d "$regressions" ] && folders+=("$regressions")

    echo "== $target: $seconds seconds"
    status=0
    "$fuzzer" -max_total_time="$seconds" -timeout="$input_timeout" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "${folders[@]}" || status=$?
    [ "$status" -eq 0 ] || failed+=("$target (inputs in $artifacts)")
    # Only what reaches a branch the corpus does not joins it (hit counts aside, so it stays small).
    "$fuzzer" -merge=1 -use_counters=0 "$corpus" "$found" 2>/dev/null
    echo "== $target: corpus now $(find "$corpus" -type f | wc -l) files"
done

if [ "${#failed[@]}" -gt 0 ]; then
    printf 'Failed: %s\n' "${failed[@]}" >&2
    exit 1
fi
