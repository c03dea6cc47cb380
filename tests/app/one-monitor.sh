#!/usr/bin/env bash
# one-monitor.sh PLAYER.exe BUILD_DIR
# On a display with a single monitor the player ends at once: exit code 0,
# no window, no tray icon. Runs on a one-screen Xvfb and a Wine prefix of its
# own (the shared test session has two screens).
set -u
player=$1
build=$(cd "$2" && pwd)
source "$(dirname "$0")/../harness/wine-env.sh" || exit 1

prefix=$build/wine/prefix-one-monitor
start_xvfb 1024x768x24 || { echo "one-monitor: Xvfb did not start"; exit 1; }
cleanup() {
  stop_prefix "$prefix"
  stop_xvfb "$XVFB_PID"
}
trap cleanup EXIT
prepare_prefix "$prefix" || exit 1

work=$(mktemp -d)
cp "$player" "$work/KiravaneVP.exe"
printf '[Options]\r\nFileName=C:\\none.avi\r\nMonitor=0\r\n' >"$work/KiravaneVP.ini"
start=$(date +%s%N)
timeout 60 "$WINE64" "$work/KiravaneVP.exe" </dev/null >"$work/wine.log" 2>&1
rc=$?
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
windows=$(xwininfo -display "$DISPLAY" -root -tree 2>/dev/null |
  grep -c -E '"(Kiravane VideoPlayer|Видео|Wine System Tray|ActiveMovie Window)"')
[ "$rc" = 0 ] || tail -5 "$work/wine.log"
rm -rf "$work"

echo "one-monitor: exit code $rc after ${elapsed_ms} ms, player windows seen: $windows"
fail=0
[ "$rc" = 0 ] || { echo "FAIL: exit code $rc, expected 0"; fail=1; }
[ "$windows" = 0 ] || { echo "FAIL: the player left windows on the display"; fail=1; }
# Generous: a cold Wine start alone can take seconds on a shared machine.
if [ "$elapsed_ms" -gt 30000 ]; then echo "FAIL: did not end at once"; fail=1; fi
[ $fail = 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
