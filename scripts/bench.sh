#!/usr/bin/env bash
# Builds the Google Benchmark programs (bench/*_bench.cpp, one program each)
# and runs them all, then writes one table of every result with the ratio of
# fromsel's CPU time to each peer's doing the same work (PCRE2 interpreter
# and JIT, std::regex, fnmatch, memcmp) to BENCH_BUILD/RESULTS.md and stdout.
#
#   scripts/bench.sh              every program
#   scripts/bench.sh rules        only bench/rules_bench.cpp
#
# Environment: BENCH_BUILD (default build/bench), BENCH_MIN_TIME (seconds
# per benchmark, default 0.5), BENCH_REPETITIONS (default 1; above 1 the
# medians are reported).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build/bench}
min_time=${BENCH_MIN_TIME:-0.5}
repetitions=${BENCH_REPETITIONS:-1}

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DFROMSEL_BENCH=ON -DFROMSEL_TESTS=OFF -DFROMSEL_TOOLS=OFF >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }

if [ $# -gt 0 ]; then
  programs=()
  for n in "$@"; do programs+=("${n%_bench}_bench"); done
else
  programs=()
  for f in "$root"/bench/*_bench.cpp; do programs+=("$(basename "$f" .cpp)"); done
fi
ninja -C "$build" -j "${JOBS:-2}" "${programs[@]}" >/dev/null

jsons=()
for p in "${programs[@]}"; do
  echo "bench: running $p" >&2
  "$build/bench/$p" --benchmark_min_time="$min_time" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only="$([ "$repetitions" -gt 1 ] && echo true || echo false)" \
    --benchmark_out="$build/$p.json" --benchmark_out_format=json >"$build/$p.log" 2>&1 ||
    { echo "bench: $p failed, see $build/$p.log" >&2; tail -5 "$build/$p.log" >&2; exit 1; }
  jsons+=("$build/$p.json")
done

# One table per program. Names are BM_<work>_<engine>[/args]; within a work
# (and its arguments) the engine whose name is none of the peers' is
# fromsel's, and each peer row gets the ratio fromsel CPU / peer CPU.
python3 - "${jsons[@]}" <<'PY' | tee "$build/RESULTS.md"
import json, re, sys

PEERS = ("pcre2", "stdregex", "fnmatch", "memcmp")
UNIT = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}

def is_peer(engine):
    return any(p in engine.lower() for p in PEERS)

def fmt(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= scale:
            return "%.3g %s" % (seconds / scale, unit)
    return "%.3g ns" % (seconds / 1e-9)

context_printed = False
for path in sys.argv[1:]:
    data = json.load(open(path))
    ctx = data["context"]
    if not context_printed:
        print("Machine: %d x %.0f MHz, load average %s; date %s; benchmark library built as %s" % (
            ctx.get("num_cpus", 0), ctx.get("mhz_per_cpu", 0),
            " ".join("%.2f" % x for x in ctx.get("load_avg", [])), ctx.get("date", "?"),
            ctx.get("library_build_type", "?")))
        print()
        context_printed = True
    rows = []
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b.get("run_name", b["name"])
        scale = UNIT[b.get("time_unit", "ns")]
        rows.append((name, b["cpu_time"] * scale, b["real_time"] * scale, b.get("label", "")))
    ours = {}
    parsed = []
    for name, cpu, real, label in rows:
        base, _, args = name.partition("/")
        parts = base.split("_", 2)
        work = parts[1] if len(parts) > 1 else base
        engine = parts[2] if len(parts) > 2 else ""
        key = (work, args)
        if engine and not is_peer(engine):
            ours.setdefault(key, cpu)
        parsed.append((name, key, engine, cpu, real, label))
    print("## %s" % re.sub(r"\.json$", "", path.split("/")[-1]))
    print()
    print("| benchmark | CPU time | real time | fromsel / this |")
    print("|---|---:|---:|---:|")
    for name, key, engine, cpu, real, label in parsed:
        ratio = ""
        if engine and is_peer(engine) and key in ours and cpu > 0:
            ratio = "%.2f" % (ours[key] / cpu)
        shown = name + (" (%s)" % label if label else "")
        print("| %s | %s | %s | %s |" % (shown, fmt(cpu), fmt(real), ratio))
    print()
PY
