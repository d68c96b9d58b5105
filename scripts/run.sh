#!/usr/bin/env bash
# Builds the optimised library and the host programs, writes the example layout (enciphered, as the library
# interface loads it) and a short stereo test tone, and runs the tone through the layout.
source "$(dirname "$0")/common.sh"
bash scripts/setup.sh
configure_release
cmake --build build/release -j "$jobs" --target kve_layout kve_host
out=build/example
mkdir -p "$out"
./build/release/tools/kve_layout stereo-chain "$out/stereo-chain.kvx"
python3 scripts/make_tone.py "$out/tone.wav"
./build/release/tools/kve_host "$out/stereo-chain.kvx" "$out/tone.wav" "$out/out.wav"
echo "run: wrote $out/out.wav"
