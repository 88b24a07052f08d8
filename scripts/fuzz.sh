#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each one for
# FUZZ_SECONDS (default 30) over its seed corpus and the kept regression inputs.
#   scripts/fuzz.sh [TARGET...]      targets: object pcx jpeg module heap
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=$root/build-fuzz
seconds=${FUZZ_SECONDS:-30}
targets=("$@")
((${#targets[@]})) || targets=(object pcx jpeg module heap)

CC=clang CXX=clang++ "$root/scripts/setup.sh" "$dir" \
  -DTESSARY_FUZZ=ON -DTESSARY_SANITIZE=address,undefined,fuzzer-no-link >/dev/null
cmake --build "$dir" -j "$(nproc)" --target fuzz_seeds \
  $(printf '%s_fuzz ' "${targets[@]}") >/dev/null

status=0
for t in "${targets[@]}"; do
  corpus=$dir/corpus/$t
  mkdir -p "$corpus" "$dir/findings"
  inputs=("$corpus" "$dir/fuzz-seeds/$t")
  [ -d "$root/fuzz/regressions/$t" ] && inputs+=("$root/fuzz/regressions/$t")
  log=$dir/findings/$t.log
  if "$dir/bin/${t}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$dir/findings/$t-" "${inputs[@]}" >"$log" 2>&1; then
    runs=$(grep -o 'number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    rate=$(grep -o 'average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    echo "fuzz $t: ${seconds}s, ${runs:-?} runs, ${rate:-?}/s, no finding"
  else
    echo "fuzz $t: FINDING (log: $log)"
    tail -40 "$log"
    status=1
  fi
done
exit $status
