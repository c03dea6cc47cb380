#!/usr/bin/env bash
# Installs everything the build, the tests and the player need on a fresh
# Debian 12 machine. Safe to run again: apt skips what is already there.
# setup-debian.sh --list prints the package list and installs nothing.
set -euo pipefail

packages=(
  cmake make g++ googletest zlib1g-dev            # native build and unit tests
  clang-14 libclang-rt-14-dev                      # fuzz targets (libFuzzer)
  llvm-14-dev libiberty-dev                        # debug data reader of the vexlor tool
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 libz-mingw-w64-dev  # the Windows product
  wine64 xvfb x11-utils xdotool imagemagick        # Windows tests and screenshots
  # What Wine loads at run time beyond wine64's Depends (the evidence, and how
  # to gather it again: docs/platform-packages.md):
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good  # media player: decodebin, avidemux
  gstreamer1.0-libav gstreamer1.0-plugins-ugly     # media player: WMV/MP4 decoding
  libxinerama1 libxrandr2 libxrender1 libxcursor1  # winex11: monitors, drawing, cursors
  libxcomposite1 libxfixes3 libxi6 libxxf86vm1     # winex11: the other X extensions
  libgl1 libgl1-mesa-dri libvulkan1                # winex11/wined3d: the video renderer
  libgnutls30                                      # Schannel TLS, bcrypt, crypt32
  libcups2 libdbus-1-3                             # winspool (the player), mountmgr
  fonts-dejavu-core                                # the faces Wine draws the windows with
  fonts-wine                                       # Marlett: Wine's caption and scroll-bar glyphs
  python3 clang-format
  python3-aiosmtpd dnsmasq-base openssl libgnutls30  # e-mail tests: SMTP, DNS, TLS (Wine's Schannel)
)

if [ "${1:-}" = "--list" ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

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
