#!/usr/bin/env bash
# Runs each fuzz target for the given number of seconds (default 600) on its seeds in
# fuzz/corpus/. New inputs go to build/fuzz/corpus/, findings to build/fuzz/findings/; any
# finding fails the run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-600}
bin="$root/build/fuzz/fuzz"
mkdir -p "$root/build/fuzz/findings"
for target in settings database operations; do
  corpus="$root/build/fuzz/corpus/$target"
  mkdir -p "$corpus"
  log="$root/build/fuzz/$target.log"
  if ! "$bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$root/build/fuzz/findings/$target-" \
      "$corpus" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz $target: FINDING (see build/fuzz/findings/)" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz $target: $runs executions in ${seconds} s, no finding"
done
