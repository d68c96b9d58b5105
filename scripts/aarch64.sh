#!/usr/bin/env bash
# Cross-compiles the library and the unit tests for AArch64 and runs them under qemu-user, so the Advanced SIMD
# paths and the target's rounding are tested on its own instruction set. GoogleTest is built from Debian's sources.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/aarch64
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DKVE_GTEST_FROM_SOURCE=ON \
  -DKVE_BUILD_BENCH=OFF -DKVE_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target kve_engine_tests kve_dsp_tests kve_modules_tests
for t in kve_engine_tests kve_dsp_tests kve_modules_tests; do
  echo "aarch64: $t"
  (cd tests && qemu-aarch64 -L /usr/aarch64-linux-gnu "../$build/tests/$t" --gtest_brief=1)
done
