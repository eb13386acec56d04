#!/usr/bin/env bash
# Runs each fuzz target for the given number of seconds (default 600) on its seeds in
# fuzz/corpus/ (the import target on tests/cli/fixtures/). New inputs go to build/fuzz/corpus/, findings to build/fuzz/findings/; any
# finding fails the run. FUZZ_SEED fixes libFuzzer's seed and starts from the committed
# seeds alone (new inputs are kept only for the run), so that a short run that finds
# something finds it again. The files the targets write live in a temporary folder that is
# removed at the end.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-600}
bin="$root/build/fuzz/fuzz"
seed=()
if [ -n "${FUZZ_SEED:-}" ]; then
  seed=(-seed="$FUZZ_SEED")
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kestal-fuzz-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$root/build/fuzz/findings"
for target in settings database operations import; do
  seeds="$root/fuzz/corpus/$target"
  [ "$target" != import ] || seeds="$root/tests/cli/fixtures" # the tool's import fixtures
  corpus="$root/build/fuzz/corpus/$target"
  [ -z "${FUZZ_SEED:-}" ] || corpus="$scratch/corpus-$target"
  mkdir -p "$corpus"
  log="$root/build/fuzz/$target.log"
  if ! TMPDIR="$scratch" "$bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 "${seed[@]}" \
      -artifact_prefix="$root/build/fuzz/findings/$target-" \
      "$corpus" "$seeds" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz $target: FINDING (see build/fuzz/findings/)" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz $target: $runs executions in ${seconds} s${FUZZ_SEED:+ (seed $FUZZ_SEED)}, no finding"
done
