#!/usr/bin/env bash
# Runs each libFuzzer target for SECONDS (default 60) from the committed seed corpus and prints its
# executions and coverage. Builds the fuzzers first (clang, ASan + UBSan) in BUILD_DIR.
# Usage: fuzz/run_fuzzers.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SECONDS_EACH="${1:-60}"
BUILD="${2:-$ROOT/build-asan}"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DOSTREL_SANITIZE=address,undefined -DOSTREL_BUILD_FUZZERS=ON -DOSTREL_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$BUILD" -j "$(nproc)" --target ostrel_StateFuzzer ostrel_WaveFileFuzzer

export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$ROOT/tools/sanitizers/ubsan.supp"
status=0
for name in State:state WaveFile:wav; do
  fuzzer="${name%%:*}"; corpus="${name##*:}"
  work="$BUILD/fuzz-corpus/$corpus"
  mkdir -p "$work"
  cp -n "$ROOT/fuzz/corpus/$corpus"/* "$work/" 2>/dev/null || true
  echo "[fuzz] ostrel_${fuzzer}Fuzzer for ${SECONDS_EACH} s"
  log="$BUILD/fuzz-$fuzzer.log"
  if ! "$BUILD/fuzz/ostrel_${fuzzer}Fuzzer" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=4096 \
       -print_final_stats=1 -artifact_prefix="$BUILD/fuzz-$fuzzer-" "$work" >"$log" 2>&1; then
    echo "[fuzz] ostrel_${fuzzer}Fuzzer FAILED; see $log"
    tail -40 "$log"
    status=1
  fi
  grep -E '^#[0-9]+ +DONE' "$log" | tail -1 || true
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$log" || true
done
exit $status
