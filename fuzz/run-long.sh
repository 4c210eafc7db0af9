#!/usr/bin/env bash
# Runs every libFuzzer target long enough to mean something (not part of CI):
#
#   fuzz/run-long.sh [RUNS] [TARGET...]      default: 10,000,000 executions each, every target
#
# Targets run side by side, $FUZZ_JOBS at a time (default: the number of cores).
#
# Builds the fuzz preset (clang, ASan+UBSan, libFuzzer), then for each target:
#   1. fuzzes for RUNS executions, starting from the replayed corpus
#      (tests/fuzz/corpus/<name>/), into a working corpus under build/fuzz-long/<name>/;
#   2. merges what it grew into the replayed corpus, keeping only inputs that add
#      coverage (-merge=1), so ctest replays them from then on;
#   3. stops at the first crash: the input is kept as build/fuzz-long/<name>/crash-*, to be
#      added to the corpus once the fault is mended.
# Prints per target: executions, corpus files before and after, and whether it crashed.
# Uses every core it is given; run it with nice on a shared machine.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:-10000000}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null
mapfile -t all < <(ls build/fuzz/fuzz/*_fuzzer | xargs -n1 basename | sed 's/_fuzzer$//')
targets=("${@:-${all[@]}}")
# One target: fuzz, then merge what it grew into the replayed corpus.
fuzz_one() {
  local name="$1" bin corpus work before start rc runs after
  bin="build/fuzz/fuzz/${name}_fuzzer"
  corpus="tests/fuzz/corpus/$name"
  work="build/fuzz-long/$name"
  mkdir -p "$corpus" "$work/grown"
  before=$(find "$corpus" -type f | wc -l)
  start=$(date +%s)
  set +e
  "$bin" -runs="$RUNS" -print_final_stats=1 -artifact_prefix="$work/" \
    "$work/grown" "$corpus" >"$work/run.log" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/run.log" | tail -n1)
  if [ $rc -ne 0 ]; then
    echo "$name: CRASH after ${runs:-?} executions (exit $rc); see $work/run.log and $work/crash-*"
    return 1
  fi
  "$bin" -merge=1 "$corpus" "$work/grown" >"$work/merge.log" 2>&1
  after=$(find "$corpus" -type f | wc -l)
  echo "$name: ${runs:-?} executions in $(($(date +%s) - start)) s, no crash; corpus $before -> $after files"
}
export -f fuzz_one
export RUNS
status=0
printf '%s\n' "${targets[@]}" | xargs -P "${FUZZ_JOBS:-$(nproc)}" -I{} bash -c 'fuzz_one "$1"' _ {} \
  || status=1
exit $status
