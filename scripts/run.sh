#!/usr/bin/env bash
# Builds the optimised library and the host program, writes the example layout (enciphered, as the library
# interface loads it) and a short stereo test tone, and runs the tone through the layout.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVE_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
out=build/example
mkdir -p "$out"
./build/release/tools/kve_layout stereo-chain "$out/stereo-chain.kvx"
python3 scripts/make_tone.py "$out/tone.wav"
./build/release/tools/kve_host "$out/stereo-chain.kvx" "$out/tone.wav" "$out/out.wav"
echo "run: wrote $out/out.wav"
