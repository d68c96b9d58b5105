#!/usr/bin/env bash
# Builds every test with AddressSanitizer and UndefinedBehaviorSanitizer and runs them through CTest; runs the
# thread test under ThreadSanitizer, the unit tests on AArch64 under qemu-user and the fuzzers for a bounded time;
# also builds the optimised library, benchmarks and tools so that they keep compiling.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVE_SANITIZE=ON -DKVE_BUILD_BENCH=OFF >/dev/null
cmake --build build/asan -j "$jobs"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVE_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs"
bash scripts/tsan.sh
bash scripts/aarch64.sh
KVE_FUZZ_SECONDS=${KVE_FUZZ_SECONDS:-45} bash scripts/fuzz.sh
ctest --test-dir build/asan --output-on-failure -j "$jobs"
