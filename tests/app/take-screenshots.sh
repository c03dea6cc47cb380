#!/usr/bin/env bash
# take-screenshots.sh BUILD_DIR OUT_DIR
# Photographs the running player for the documentation: the video window on
# the second monitor (OUT_DIR/video-window.png) and the settings window
# (OUT_DIR/settings-window.png). Uses a display and Wine prefix of its own.
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
source "$(dirname "$0")/../harness/wine-env.sh" || exit 1
source "$(dirname "$0")/../harness/poses.sh"
tests=$build/tests/app/player_e2e_tests.exe
clip=$build/tests/app/sample.avi
[ -f "$tests" ] && [ -f "$clip" ] ||
  { echo "screenshots: build player_e2e_tests first (it brings the player and the clip)" >&2; exit 1; }

start_pose_display "$build" || exit 1

# The settings window shows the clip's path: put it where an operator would.
mkdir -p "$WINEPREFIX/drive_c/Kiravane"
cp "$clip" "$WINEPREFIX/drive_c/Kiravane/sample.avi"

KVP_SHOT_DIR="Z:$(echo "$shots" | tr / '\\')" KVP_SHOT_CLIP='C:\Kiravane\sample.avi' WINEDEBUG=-all \
  "$WINE64" "$tests" --gtest_also_run_disabled_tests --gtest_filter='PlayerScreenshots.*' \
  </dev/null >"$shots/run.log" 2>&1 &
runner=$!

photograph_poses "$runner" "$shots" "$out" 2 "-window"
