#!/usr/bin/env bash
# The reliability runs: the test suite under AddressSanitizer + UndefinedBehaviorSanitizer, the
# threaded tests under ThreadSanitizer, each fuzzer briefly, and a short soak run. CI runs it after
# the test suite; each part can also run alone:
#   tools/reliability.sh [asan|tsan|fuzz|soak ...]      (default: all four)
# FUZZ_SECONDS (default 60) and SOAK_SECONDS (default 60) set the lengths.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(asan tsan fuzz soak)
SUPP="$ROOT/tools/sanitizers"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$SUPP/ubsan.supp"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$SUPP/tsan.supp"

sanitizer_build() {   # dir, sanitizers, extra cmake args...
  local dir="$1" sanitize="$2"; shift 2
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    say "configuring $dir (clang 14, -fsanitize=$sanitize)"
    CC=clang-14 CXX=clang++-14 cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DOSTREL_SANITIZE="$sanitize" -DOSTREL_BUILD_BENCHMARKS=OFF "$@" >/dev/null
  fi
}

"$ROOT/tools/install-deps.sh"

for part in "${parts[@]}"; do
  case "$part" in
    asan)
      sanitizer_build "$ROOT/build-asan" address,undefined -DOSTREL_BUILD_FUZZERS=ON
      say "building the test suite under ASan + UBSan"
      cmake --build "$ROOT/build-asan" -j "$JOBS" --target ostrel_tests
      say "running the test suite under ASan + UBSan"
      "$ROOT/build-asan/tests/ostrel_tests" --gtest_brief=1
      ;;
    tsan)
      sanitizer_build "$ROOT/build-tsan" thread
      say "building the test suite under TSan"
      cmake --build "$ROOT/build-tsan" -j "$JOBS" --target ostrel_tests
      say "running the tests that run the audio and message threads together under TSan"
      "$ROOT/build-tsan/tests/ostrel_tests" --gtest_brief=1 \
        --gtest_filter='*WhileRendering*:*ConcurrentReader*:*HandOverWhileRendering*:*DisplayQueryIsSafeWhileRendering*'
      ;;
    fuzz)
      sanitizer_build "$ROOT/build-asan" address,undefined -DOSTREL_BUILD_FUZZERS=ON
      "$ROOT/fuzz/run_fuzzers.sh" "${FUZZ_SECONDS:-60}" "$ROOT/build-asan"
      ;;
    soak)
      configure_and_build
      say "soak run for ${SOAK_SECONDS:-60} s"
      "$BUILD_DIR/tools/soak/ostrel_soak" --seconds "${SOAK_SECONDS:-60}" --waves "$BUILD_DIR/Waveform Files"
      ;;
    *) echo "unknown part $part (asan, tsan, fuzz, soak)"; exit 2 ;;
  esac
done
say "reliability runs passed: ${parts[*]}"
