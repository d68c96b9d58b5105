#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz (AddressSanitizer and UndefinedBehaviorSanitizer, the whole
# library instrumented for coverage) and runs each for a bounded time on a fresh copy of its seed corpus, as many
# targets side by side as there are processors. Exits non-zero when a target finds a crash, a leak or a hang; the
# reproducer is kept in build/fuzz/crashes/<target>/.
#   KVE_FUZZ_SECONDS  seconds per target (default 60)
source "$(dirname "$0")/common.sh"
bash scripts/setup.sh
seconds=${KVE_FUZZ_SECONDS:-60}
build=build/fuzz
targets=(packet_fuzzer array_fuzzer text_fuzzer message_fuzzer talk_reply_fuzzer object_file_fuzzer wave_fuzzer)

configure "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DKVE_FUZZ=ON -DKVE_SANITIZE=ON -DKVE_BUILD_TESTS=OFF -DKVE_BUILD_BENCH=OFF -DKVE_BUILD_TOOLS=OFF
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

# fuzz <target>: one bounded run; its log is build/fuzz/<target>.log.
fuzz() {
  local t=$1 corpus="$build/corpus/$1" crashes="$build/crashes/$1"
  rm -rf "$corpus"
  mkdir -p "$corpus" "$crashes"
  cp fuzz/corpus/"$t"/* "$corpus"/
  # Layouts may write files (text logs, WAVE captures) relative to where they run: a scratch directory of their own.
  local work="$PWD/$build/work/$t" root=$PWD
  rm -rf "$work"
  mkdir -p "$work"
  (cd "$work" && "$root/$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$root/$crashes/" "$root/$corpus" >"$root/$build/$t.log" 2>&1)
}

failed=()
for ((i = 0; i < ${#targets[@]}; i += jobs)); do
  wave=("${targets[@]:i:jobs}")
  pids=()
  for t in "${wave[@]}"; do
    echo "fuzz: $t for ${seconds} s"
    fuzz "$t" &
    pids+=($!)
  done
  for k in "${!wave[@]}"; do
    t=${wave[$k]}
    if wait "${pids[$k]}"; then
      grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$build/$t.log" | sed "s/^/fuzz: $t /"
    else
      failed+=("$t")
      tail -n 60 "$build/$t.log"
    fi
  done
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]} (reproducers in $build/crashes/)" >&2
  exit 1
fi
