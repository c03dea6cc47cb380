#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the player and runs it on a virtual
# two-monitor display under wine64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup-debian.sh
cmake --preset native-release >/dev/null && cmake --build --preset native-release -j"$(nproc)"
cmake --preset windows >/dev/null && cmake --build --preset windows -j"$(nproc)"

player=build/windows/app/KiravaneVP.exe
if [ ! -f "$player" ]; then
  echo "player not built yet: the build has no KiravaneVP.exe (the player is still being written)."
  exit 1
fi
exec scripts/start-player.sh "$player"
