#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan) and runs each one for
# FUZZ_SECONDS (default 600) from its seed corpus in fuzz/corpus/NAME/.
#
#   scripts/fuzz.sh                 every target, FUZZ_SECONDS each
#   scripts/fuzz.sh regex_search    only the named targets
#
# Environment: FUZZ_SECONDS, FUZZ_JOBS (targets run side by side, default 2),
# FUZZ_SEED (a fixed libFuzzer seed, so a short run explores the same inputs),
# FUZZ_BUILD (build folder, default build/fuzz).
# The growing corpus stays in the build folder; a crash, leak, sanitizer
# report or hang is written to FUZZ_BUILD/findings/NAME/ and makes the
# script fail. Each run appends its executions to FUZZ_BUILD/executions.tsv;
# a run stopped with Ctrl-C (SIGINT) records them too and is no finding.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-600}
jobs=${FUZZ_JOBS:-2}
build=${FUZZ_BUILD:-$root/build/fuzz}
# One input that runs longer than this is a hang: a search stops after its
# instruction budget, which takes seconds at most under the sanitizers.
per_input_timeout=30
# Inputs longer than this add little; patterns and headers stay small.
max_len=4096

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFROMSEL_FUZZ=ON -DFROMSEL_TESTS=OFF -DFROMSEL_TOOLS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
ninja -C "$build" -j "${JOBS:-2}" fuzz_all >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for f in "$root"/fuzz/*_fuzz.cpp; do
    n=$(basename "$f" .cpp)
    targets+=("${n%_fuzz}")
  done
fi

run_one() {
  local name=$1
  local work="$build/corpus/$name" findings="$build/findings/$name" log="$build/logs/$name.log"
  mkdir -p "$work" "$findings" "$build/logs"
  [ -d "$root/fuzz/corpus/$name" ] && cp -n "$root/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
  local rc=0
  # Kept reproducers of earlier findings run first: each must now pass.
  local kept=("$root"/fuzz/findings/"$name"-*)
  if [ -e "${kept[0]}" ]; then
    "$build/fuzz/${name}_fuzz" -timeout="$per_input_timeout" "${kept[@]}" >"$log.kept" 2>&1 ||
      { echo "fuzz $name: a kept reproducer fails again; see $log.kept"; return 1; }
  fi
  local seed=()
  [ -n "${FUZZ_SEED:-}" ] && seed=(-seed="$FUZZ_SEED")
  "$build/fuzz/${name}_fuzz" "$work" -max_total_time="$seconds" -timeout="$per_input_timeout" \
    -max_len="$max_len" -rss_limit_mb=2048 -print_final_stats=1 "${seed[@]}" \
    -artifact_prefix="$findings/" >"$log" 2>&1 || rc=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  runs=${runs:-0}
  printf '%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$name" "$seconds" "$runs" "$rc" \
    >>"$build/executions.tsv"
  # Stopped with Ctrl-C or SIGINT: libFuzzer prints its counts and exits 72.
  if [ "$rc" -eq 72 ] && grep -q 'libFuzzer: run interrupted' "$log"; then
    echo "fuzz $name: interrupted after $runs executions, no finding"
    return 0
  fi
  if [ "$rc" -ne 0 ]; then
    echo "fuzz $name: FINDING after $runs executions (exit $rc); see $log and $findings/"
    grep -m5 -E 'ERROR|fuzz check failed|runtime error|SUMMARY' "$log" || true
    return 1
  fi
  echo "fuzz $name: $runs executions in ${seconds}s, no finding"
}
export -f run_one
export build root seconds per_input_timeout max_len

status=0
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one {}' || status=1
exit $status
