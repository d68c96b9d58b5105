#!/usr/bin/env bash
# Builds the library and the two-thread test of the library object with ThreadSanitizer in build/tsan, and runs it.
# Any data race the sanitizer sees fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
flags=-fsanitize=thread
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVE_SANITIZE=OFF -DKVE_BUILD_BENCH=OFF \
  -DKVE_BUILD_TOOLS=OFF -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
cmake --build build/tsan --target kve_tsan_tests -j "$(nproc)"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" ./build/tsan/tests/kve_tsan_tests
