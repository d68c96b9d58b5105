#!/usr/bin/env bash
# Builds the library, the two-thread test of the library object and the host utilities' tests with ThreadSanitizer in
# build/tsan (only those: nothing else there runs under it), and runs the first and the utilities' suites named
# "...Threads". Any data race the sanitizer sees fails the run.
source "$(dirname "$0")/common.sh"
bash scripts/setup.sh
flags=-fsanitize=thread
configure build/tsan -DCMAKE_BUILD_TYPE=Debug -DKVE_SANITIZE=OFF -DKVE_BUILD_BENCH=OFF -DKVE_BUILD_TOOLS=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags"
cmake --build build/tsan --target kve_tsan_tests kve_utils_tests -j "$jobs"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" ./build/tsan/tests/kve_tsan_tests
(cd tests && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  ../build/tsan/tests/kve_utils_tests --gtest_filter='*Threads.*' --gtest_brief=1)
