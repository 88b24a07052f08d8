#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: a normal build, then an
# AddressSanitizer + UndefinedBehaviorSanitizer build, then a small
# ThreadSanitizer build of the threaded parts (ticker, clock, events), then
# each fuzz target for a short fixed time. All must pass.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

run_suite() {
  local name=$1 dir=$2
  shift 2
  echo "== $name build"
  "$root/scripts/setup.sh" "$dir" -DTESSARY_WERROR=ON "$@"
  echo "== $name tests"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_suite normal "$root/build"
run_suite "address+undefined sanitizer" "$root/build-asan" \
  -DTESSARY_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug

# ThreadSanitizer: only the targets whose tests start threads.
echo "== thread sanitizer build (ticker, clock, events)"
tsan="$root/build-tsan"
cmake -S "$root" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSARY_WERROR=ON \
  -DTESSARY_SANITIZE=thread >/dev/null
cmake --build "$tsan" -j "$jobs" --target ticker_tests os_clock_tests
echo "== thread sanitizer tests"
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
  ctest --test-dir "$tsan" -j "$jobs" --output-on-failure --timeout 600 \
  -R '^(Ticker|VirtualTicker|VirtualClock|Events)\.'

# libFuzzer: every reader of outside bytes and the heap, a short fixed time each.
echo "== fuzzing (${FUZZ_SECONDS:-30} s per target)"
"$root/scripts/fuzz.sh"
