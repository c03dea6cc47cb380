#!/usr/bin/env bash
# start-player.sh PATH/TO/KiravaneVP.exe   starts the player on a virtual display
# start-player.sh --stop                    stops what the last start began
#
# Makes a short sample clip, writes the INI beside the executable (that clip,
# the second monitor), starts a two-monitor Xvfb with its own Wine prefix and
# the player in it, and writes a screenshot of both screens.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
run_dir=${KVP_RUN_DIR:-$root/build/player-run}
state=$run_dir/session.env
source "$root/tests/harness/wine-env.sh"

stop_player() {
  [ -f "$state" ] || { echo "player: nothing running (no $state)"; return 0; }
  # shellcheck disable=SC1090
  source "$state"
  WINEPREFIX=$KVP_WINEPREFIX wineserver -k 2>/dev/null || true
  kill "$KVP_XVFB_PID" 2>/dev/null || true
  rm -f "$state"
  echo "player: stopped"
}

if [ "${1:-}" = "--stop" ]; then
  stop_player
  exit 0
fi
exe=$(cd "$(dirname "${1:?usage: start-player.sh PATH/TO/KiravaneVP.exe | --stop}")" && pwd)/$(basename "$1")
[ -f "$exe" ] || { echo "player: $exe not found" >&2; exit 1; }
[ -f "$state" ] && stop_player >/dev/null

mkdir -p "$run_dir"
clip=$run_dir/sample.avi
python3 "$root/tools/sampleclip/make-sample-clip.py" "$clip"
start_xvfb
prepare_prefix "$run_dir/prefix"
wineserver -k 2>/dev/null || true
{
  echo "KVP_XVFB_PID=$XVFB_PID"
  echo "KVP_DISPLAY=$DISPLAY"
  echo "KVP_WINEPREFIX=$WINEPREFIX"
} >"$state"

# The INI names the clip as Windows sees it (Wine maps Z: to /).
win_clip="Z:$(echo "$clip" | tr / '\\')"
ini=${exe%.*}.ini
printf '[Options]\r\nFileName=%s\r\nMonitor=1\r\n' "$win_clip" >"$ini"

"$WINE64" "$exe" </dev/null >"$run_dir/player.log" 2>&1 &
sleep "${KVP_SETTLE_SECONDS:-10}"
shot=$run_dir/screens.png
import -window root -display "$DISPLAY" "$shot"

cat <<EOT
player: running on display $DISPLAY (monitor 1: 1280x720, monitor 2: 1024x768; Xvfb lays both at 0,0)
player: video window on monitor 2 plays $clip
player: screenshot of both screens: $shot
player: look again with:  import -window root -display $DISPLAY shot.png
player: stop it with:     scripts/start-player.sh --stop
EOT
