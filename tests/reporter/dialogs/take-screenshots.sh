#!/usr/bin/env bash
# take-screenshots.sh BUILD_DIR OUT_DIR
# Photographs the exception and request dialogs of a real report for the
# documentation (OUT_DIR/dialog-*.png), with the custom look and without it.
# Uses a display and Wine prefix of its own.
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
source "$(dirname "$0")/../../harness/wine-env.sh" || exit 1
source "$(dirname "$0")/../../harness/poses.sh"
tests=$build/tests/reporter/dialogs/dialog_tests.exe
[ -f "$tests" ] || { echo "screenshots: build dialog_tests first" >&2; exit 1; }

start_pose_display "$build" || exit 1

VEXLOR_SHOT_DIR="Z:$(echo "$shots" | tr / '\\')" WINEDEBUG=-all \
  "$WINE64" "$tests" --gtest_also_run_disabled_tests --gtest_filter='DialogScreenshots.*' \
  </dev/null >"$shots/run.log" 2>&1 &
runner=$!

photograph_poses "$runner" "$shots" "$out" 12 ""
