#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the fuzz targets one after another, each for FUZZ_SECONDS on one core, on a scratch copy
# of its seed corpus that grows from run to run (build-fuzz/fuzz-work/<target>/corpus).
# Crash, timeout and out-of-memory inputs land in build-fuzz/fuzz-work/<target>/artifacts.
# Usage: run.sh [target ...]   (default: all; FUZZ_SECONDS, default 60; FUZZ_ARGS, more
# libFuzzer options such as -len_control=0)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build-fuzz/fuzz
work=$root/build-fuzz/fuzz-work
seconds=${FUZZ_SECONDS:-60}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fields parameters symbols journal chart)

# Per target: the slowest an input may be (seconds) and the largest input tried (bytes).
declare -A timeout=([fields]=2 [parameters]=2 [symbols]=2 [journal]=2 [chart]=20)
declare -A maxlen=([fields]=1024 [parameters]=4096 [symbols]=16384 [journal]=16384 [chart]=4096)

failed=()
for t in "${targets[@]}"; do
  [ -x "$bin/fuzz_$t" ] || { echo "no target fuzz_$t (build the preset fuzz first)"; exit 2; }
  mkdir -p "$work/$t/corpus" "$work/$t/artifacts"
  cp -n "$root/fuzz/corpus/$t/"* "$work/$t/corpus/" 2>/dev/null
  echo "=== fuzz_$t for ${seconds}s"
  "$bin/fuzz_$t" -max_total_time="$seconds" -timeout="${timeout[$t]}" -max_len="${maxlen[$t]}" \
    -rss_limit_mb=2048 -print_final_stats=1 ${FUZZ_ARGS:-} -artifact_prefix="$work/$t/artifacts/" \
    "$work/$t/corpus" 2>&1 | tee "$work/$t/last-run.log" | grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|==|stat::number_of_executed_units|SUMMARY|fuzz check failed|ERROR|Done )' 
  status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || failed+=("$t")
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]} (inputs in $work/<target>/artifacts)"
  exit 1
fi
echo "fuzzing found nothing in: ${targets[*]}"
