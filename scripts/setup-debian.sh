#!/usr/bin/env bash
# Installs everything the build, the tests and the player need on a fresh
# Debian 12 machine. Safe to run again: apt skips what is already there.
set -euo pipefail

packages=(
  cmake make g++ googletest zlib1g-dev            # native build and unit tests
  clang-14 libclang-rt-14-dev                      # fuzz targets (libFuzzer)
  llvm-14-dev libiberty-dev                        # debug data reader of the vexlor tool
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 libz-mingw-w64-dev  # the Windows product
  wine64 xvfb x11-utils xdotool imagemagick        # Windows tests and screenshots
  gstreamer1.0-libav gstreamer1.0-plugins-ugly     # Wine's media player: WMV/MP4 decoding
  python3 clang-format
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
