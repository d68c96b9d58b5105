#!/usr/bin/env bash
# Cross-compiles the library and the unit tests for AArch64 and runs them under qemu-user, so the Advanced SIMD
# paths and the target's rounding are tested on its own instruction set. GoogleTest is built from Debian's sources.
# Each test program runs in as many shards as there are processors, all shards side by side. The programs load the
# cross toolchain's C and C++ runtime, the one they were linked with and whose loader qemu starts, ahead of the arm64
# C library that multiarch packages bring into /lib/aarch64-linux-gnu (a loader and a C library of two builds
# deadlock a second thread); the target's other libraries, kissfft among them, come from /usr/lib/aarch64-linux-gnu.
source "$(dirname "$0")/common.sh"
bash scripts/setup.sh
build=build/aarch64
programs=(kve_engine_tests kve_dsp_tests kve_modules_tests kve_platform_tests)
configure "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DKVE_GTEST_FROM_SOURCE=ON -DKVE_BUILD_BENCH=OFF -DKVE_BUILD_TOOLS=OFF
cmake --build "$build" -j "$jobs" --target "${programs[@]}"

logs="$build/qemu"
rm -rf "$logs"
mkdir -p "$logs"
runs=()
for t in "${programs[@]}"; do
  for ((s = 0; s < jobs; s++)); do runs+=("$t $s"); done
done
# One shard: program, shard index; its output goes to a log that is shown when the shard fails.
export build logs jobs
printf '%s\n' "${runs[@]}" | xargs -P "$jobs" -L 1 bash -c '
  cd tests
  if GTEST_TOTAL_SHARDS=$jobs GTEST_SHARD_INDEX=$1 qemu-aarch64 -L /usr/aarch64-linux-gnu \
      -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib "../$build/tests/$0" \
      --gtest_brief=1 >"../$logs/$0.$1.log" 2>&1; then
    echo "aarch64: $0 shard $1: $(grep -E "^\[ +(PASSED|SKIPPED) +\]" "../$logs/$0.$1.log" | tr -s " " | paste -sd " ")"
  else
    cat "../$logs/$0.$1.log"
    echo "aarch64: $0 shard $1 failed" >&2
    exit 1
  fi'
