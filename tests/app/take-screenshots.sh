#!/usr/bin/env bash
# take-screenshots.sh BUILD_DIR OUT_DIR
# Photographs the running player for the documentation: the video window on
# the second monitor (OUT_DIR/video-window.png) and the settings window
# (OUT_DIR/settings-window.png). Uses a display and Wine prefix of its own.
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
source "$(dirname "$0")/../harness/wine-env.sh" || exit 1
tests=$build/tests/app/player_e2e_tests.exe
clip=$build/tests/app/sample.avi
[ -f "$tests" ] && [ -f "$clip" ] ||
  { echo "screenshots: build player_e2e_tests first (it brings the player and the clip)" >&2; exit 1; }

prefix=$build/wine/prefix-screens
shots=$(mktemp -d)
cleanup() {
  stop_prefix "$prefix" || true
  stop_xvfb "${XVFB_PID:-}" || true
  rm -rf "$shots"
}
trap cleanup EXIT
start_xvfb || exit 1
prepare_prefix "$prefix" || exit 1

# The settings window shows the clip's path: put it where an operator would.
mkdir -p "$WINEPREFIX/drive_c/Kiravane"
cp "$clip" "$WINEPREFIX/drive_c/Kiravane/sample.avi"

KVP_SHOT_DIR="Z:$(echo "$shots" | tr / '\\')" KVP_SHOT_CLIP='C:\Kiravane\sample.avi' WINEDEBUG=-all \
  "$WINE64" "$tests" --gtest_also_run_disabled_tests --gtest_filter='PlayerScreenshots.*' \
  </dev/null >"$shots/run.log" 2>&1 &
runner=$!

taken=0
while kill -0 "$runner" 2>/dev/null && [ $taken -lt 2 ]; do
  if [ -f "$shots/pose.txt" ]; then
    read -r name left top right bottom < <(tr -d "\r" <"$shots/pose.txt")
    import -window root -display "$DISPLAY" "$shots/root.png"
    convert "$shots/root.png" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
      "$out/$name-window.png"
    echo "screenshots: $out/$name-window.png ($((right - left))x$((bottom - top)) at $left,$top)"
    rm -f "$shots/pose.txt"
    taken=$((taken + 1))
  fi
  sleep 0.2
done
wait "$runner" || { cat "$shots/run.log"; exit 1; }
[ $taken = 2 ] || { echo "screenshots: only $taken of 2 taken" >&2; exit 1; }
