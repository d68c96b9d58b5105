#!/usr/bin/env bash
# Builds every test with AddressSanitizer and UndefinedBehaviorSanitizer and runs them through CTest; builds the
# optimised library with its unit tests, benchmarks and host programs, runs the same tests against it and the
# example through it; runs the thread test under ThreadSanitizer, the unit tests on AArch64 under qemu-user and the
# fuzzers for a bounded time.
source "$(dirname "$0")/common.sh"
bash scripts/setup.sh
configure build/asan -DCMAKE_BUILD_TYPE=Debug -DKVE_SANITIZE=ON -DKVE_BUILD_BENCH=OFF
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs"
configure_release
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"
bash scripts/run.sh
bash scripts/tsan.sh
bash scripts/aarch64.sh
KVE_FUZZ_SECONDS=${KVE_FUZZ_SECONDS:-45} bash scripts/fuzz.sh
