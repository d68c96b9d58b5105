#!/usr/bin/env bash
# Builds the optimised library and runs the example program on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVE_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
./build/release/tools/kve_example
