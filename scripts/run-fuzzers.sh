#!/usr/bin/env bash
# Fuzzes every libFuzzer target of a VORLITH_FUZZ build for SECONDS each, starting
# from the committed seed corpus (new inputs go to a scratch corpus in the build tree).
# Usage: scripts/run-fuzzers.sh BUILD_DIR [SECONDS] [TARGET...]
set -euo pipefail
build=${1:?usage: run-fuzzers.sh BUILD_DIR [SECONDS] [TARGET...]}
seconds=${2:-30}
shift $(( $# >= 2 ? 2 : 1 ))
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  targets=(text_conversions tokenize dump_file range_rules survey_aseg_gdf2 survey_delimited)
fi

for target in "${targets[@]}"; do
  corpus=$build/fuzz-corpus/$target
  mkdir -p "$corpus"
  echo "run-fuzzers: $target for ${seconds}s"
  # Two workers would leave the other engineers' builds no core; one job, one worker.
  "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -timeout=20 -rss_limit_mb=4096 -artifact_prefix="$build/fuzz-artifacts-$target-" \
    "$corpus" "$root/fuzz/corpus/$target"
done
