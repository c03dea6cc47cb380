#!/usr/bin/env bash
# take-screenshots.sh BUILD_DIR OUT_DIR
# Photographs the exception and request dialogs of a real report for the
# documentation (OUT_DIR/dialog-*.png), with the custom look and without it.
# Uses a display and Wine prefix of its own.
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
source "$(dirname "$0")/../../harness/wine-env.sh" || exit 1
tests=$build/tests/reporter/dialogs/dialog_tests.exe
[ -f "$tests" ] || { echo "screenshots: build dialog_tests first" >&2; exit 1; }

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

VEXLOR_SHOT_DIR="Z:$(echo "$shots" | tr / '\\')" WINEDEBUG=-all \
  "$WINE64" "$tests" --gtest_also_run_disabled_tests --gtest_filter='DialogScreenshots.*' \
  </dev/null >"$shots/run.log" 2>&1 &
runner=$!

wanted=12
taken=0
while kill -0 "$runner" 2>/dev/null && [ $taken -lt $wanted ]; do
  if [ -f "$shots/pose.txt" ]; then
    read -r name left top right bottom < <(tr -d "\r" <"$shots/pose.txt")
    import -window root -display "$DISPLAY" "$shots/root.png"
    convert "$shots/root.png" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
      "$out/$name.png"
    echo "screenshots: $out/$name.png ($((right - left))x$((bottom - top)) at $left,$top)"
    rm -f "$shots/pose.txt"
    taken=$((taken + 1))
  fi
  sleep 0.2
done
wait "$runner" || { cat "$shots/run.log"; exit 1; }
[ $taken = $wanted ] || { echo "screenshots: only $taken of $wanted taken" >&2; exit 1; }
