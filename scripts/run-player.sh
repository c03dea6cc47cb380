#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the player (that target alone, not the
# tests) and runs it on a virtual two-monitor display under wine64. Exit status
# 0 only when the clip plays; stop it with scripts/start-player.sh --stop.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
scripts/setup-debian.sh

cmake --preset windows >/dev/null
# An executable that carries the reporter's data is linked through the host
# tool (cmake/VexlorAttach.cmake); build that tool first when the player does.
if grep -qs VexlorAttachLink build/windows/app/CMakeFiles/KiravaneVP.dir/link.txt \
  build/windows/app/CMakeFiles/KiravaneVP.dir/build.make; then
  cmake --preset native-release >/dev/null
  cmake --build --preset native-release -j"$jobs"
fi
cmake --build --preset windows -j"$jobs" --target KiravaneVP

exec scripts/start-player.sh build/windows/app/KiravaneVP.exe
