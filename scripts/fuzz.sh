#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz (AddressSanitizer and UndefinedBehaviorSanitizer, the whole
# library instrumented for coverage) and runs each for a bounded time on a fresh copy of its seed corpus. Exits
# non-zero when a target finds a crash, a leak or a hang; the reproducer is kept in build/fuzz/crashes/<target>/.
#   KVE_FUZZ_SECONDS  seconds per target (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${KVE_FUZZ_SECONDS:-60}
build=build/fuzz
targets=(packet_fuzzer array_fuzzer)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DKVE_FUZZ=ON -DKVE_SANITIZE=ON -DKVE_BUILD_TESTS=OFF -DKVE_BUILD_BENCH=OFF -DKVE_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

failed=()
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  crashes="$build/crashes/$t"
  rm -rf "$corpus"
  mkdir -p "$corpus" "$crashes"
  cp fuzz/corpus/"$t"/* "$corpus"/
  echo "fuzz: $t for ${seconds} s"
  if ! "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$crashes/" "$corpus" >"$build/$t.log" 2>&1; then
    failed+=("$t")
    tail -n 60 "$build/$t.log"
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$build/$t.log" | sed "s/^/fuzz: $t /"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]} (reproducers in $build/crashes/)" >&2
  exit 1
fi
