#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test KVE. Idempotent and quiet when all is present.
set -euo pipefail
# The AArch64 build links the target's own libraries (kissfft): Debian's multiarch installs them beside the host's.
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  dpkg --add-architecture arm64
fi
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsimde-dev libsndfile1-dev
  libkissfft-dev libkissfft-dev:arm64
  libliquid-dev libfftw3-dev
  libspeexdsp-dev libsamplerate0-dev libsoxr-dev
  libwebrtc-audio-processing-dev espeak-ng sox
  clang libclang-rt-14-dev
  g++-aarch64-linux-gnu qemu-user
  python3 python3-numpy python3-scipy
  netcat-openbsd zlib1g-dev libspandsp-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
