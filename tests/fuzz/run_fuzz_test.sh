#!/usr/bin/env bash
# One fuzz target, briefly, for ctest: every input of its corpus and crash regressions first, then
# a bounded number of mutations. New inputs go to a scratch folder, so the committed corpus stays
# as it is; a crash input is kept in the artifacts folder.
# Usage: run_fuzz_test.sh FUZZER CORPUS REGRESSIONS ARTIFACTS
set -euo pipefail

readonly runs=2000 seconds=15 input_timeout=10
fuzzer=$1 corpus=$2 regressions=$3 artifacts=$4

scratch="$(mktemp -d /tmp/velnor-fuzz.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
folders=("$scratch" "$corpus")
[ -d "$regressions" ] && folders+=("$regressions")
mkdir -p "$artifacts"

"$fuzzer" -runs="$runs" -max_total_time="$seconds" -timeout="$input_timeout" \
    -artifact_prefix="$artifacts/" "${folders[@]}"
