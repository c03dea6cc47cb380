#!/usr/bin/env bash
# start-player.sh PATH/TO/KiravaneVP.exe   starts the player on a virtual display
# start-player.sh --stop                    stops what the last start began
#
# Puts the player, a short sample clip and its INI (that clip, the second
# monitor) into C:\Kiravane\ of a Wine prefix of its own, starts a two-monitor
# Xvfb and the player there, checks that the clip really plays (two pictures of
# the video window a second apart must differ) and writes a screenshot of both
# screens. Exit status 0 only when the clip plays.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
run_dir=${KVP_RUN_DIR:-$root/build/player-run}
state=$run_dir/session.env
prefix=$run_dir/prefix
source "$root/tests/harness/wine-env.sh" || exit 1

say() { echo "player: $*"; }
fail() {
  echo "player: $*" >&2
  exit 1
}

# Ends the player, every Wine process of its prefix and its display; says
# "stopped" only once none of them is left.
stop_player() {
  local ok=0 KVP_XVFB_PID="" KVP_DISPLAY="" KVP_PLAYER_PID=""
  # shellcheck disable=SC1090
  [ -f "$state" ] && source "$state"
  if [ -z "$KVP_XVFB_PID" ] && [ -z "$(prefix_pids "$prefix")" ]; then
    say "nothing to stop (no player started from $run_dir)"
    return 0
  fi
  stop_prefix "$prefix" || ok=1
  if [ -n "$KVP_PLAYER_PID" ] && ! wait_gone 5 "$KVP_PLAYER_PID"; then
    echo "player: KiravaneVP.exe (pid $KVP_PLAYER_PID) still running" >&2
    ok=1
  fi
  stop_xvfb "$KVP_XVFB_PID" || ok=1
  if [ $ok != 0 ]; then
    echo "player: NOT stopped: the processes named above are still running" >&2
    return 1
  fi
  rm -f "$state"
  say "stopped (the player, the Wine processes of $prefix${KVP_DISPLAY:+ and display $KVP_DISPLAY})"
}

if [ "${1:-}" = "--stop" ]; then
  stop_player
  exit $?
fi
[ $# -ge 1 ] || fail "usage: start-player.sh PATH/TO/KiravaneVP.exe | --stop"
exe=$(cd "$(dirname "$1")" 2>/dev/null && pwd)/$(basename "$1")
[ -f "$exe" ] || fail "$1 not found"
stop_player >/dev/null || fail "the player started before could not be stopped (scripts/start-player.sh --stop says what is left)"

mkdir -p "$run_dir"
rm -f "$run_dir"/*.png "$run_dir/player.log"
start_xvfb || fail "no virtual display"
echo "KVP_XVFB_PID=$XVFB_PID" >"$state"
echo "KVP_DISPLAY=$DISPLAY" >>"$state"
prepare_prefix "$prefix" || fail "the Wine prefix $prefix could not be made"

# Where an operator would put it: C:\Kiravane\ with the clip beside it. The
# settings window shows that path.
folder=$WINEPREFIX/drive_c/Kiravane
mkdir -p "$folder"
cp "$exe" "$folder/KiravaneVP.exe"
python3 "$root/tools/sampleclip/make-sample-clip.py" "$folder/sample.avi" ||
  fail "the sample clip could not be made"
printf '[Options]\r\nFileName=C:\\Kiravane\\sample.avi\r\nMonitor=1\r\n' >"$folder/KiravaneVP.ini"

(cd "$folder" && exec "$WINE64" 'C:\Kiravane\KiravaneVP.exe' </dev/null >"$run_dir/player.log" 2>&1) &
player_pid=$!
echo "KVP_PLAYER_PID=$player_pid" >>"$state"

# video_geometry -> "WxH+X+Y" of the video window once it is mapped.
video_geometry() {
  xwininfo -display "$DISPLAY" -root -tree 2>/dev/null |
    sed -n 's/.*"Видео".* \([0-9]*x[0-9]*\)+-*[0-9]*+-*[0-9]*  *+\(-*[0-9]*\)+\(-*[0-9]*\)$/\1+\2+\3/p' |
    head -1
}
shoot() { import -window root -display "$DISPLAY" "$@" 2>/dev/null; }

geometry=""
for _ in $(seq 1 120); do
  kill -0 "$player_pid" 2>/dev/null || break
  geometry=$(video_geometry)
  [ -n "$geometry" ] && break
  sleep 0.5
done
if [ -z "$geometry" ]; then
  shoot "$run_dir/screens.png"
  if ! kill -0 "$player_pid" 2>/dev/null; then
    wait "$player_pid"
    rc=$?
    stop_player >/dev/null
    fail "KiravaneVP.exe ended (exit status $rc) without showing its video window; its output: $run_dir/player.log"
  fi
  fail "no video window after 60 s; screenshot: $run_dir/screens.png; stop with: scripts/start-player.sh --stop"
fi

# Playing means a changing picture: the clip's colour bars move every frame.
playing=0
for _ in $(seq 1 20); do
  shoot -crop "$geometry" +repage "$run_dir/video-a.png"
  sleep 1
  shoot -crop "$geometry" +repage "$run_dir/video-b.png"
  # AE: the number of differing pixels (large counts come as 1.2e+06).
  changed=$(compare -metric AE "$run_dir/video-a.png" "$run_dir/video-b.png" null: 2>&1 |
    awk '$1 ~ /^[0-9.e+]+$/ { printf "%d", $1 }')
  if [ "${changed:-0}" -gt 0 ]; then
    playing=1
    break
  fi
done
shot=$run_dir/screens.png
shoot "$shot"
rm -f "$run_dir/video-a.png"

cat <<EOT
player: running on display $DISPLAY (monitor 1: 1280x720, monitor 2: 1024x768; Xvfb lays both at 0,0)
player: C:\\Kiravane\\KiravaneVP.exe in the prefix $WINEPREFIX
player: video window $geometry on monitor 2 plays C:\\Kiravane\\sample.avi
player: screenshot of both screens: $shot; of the video window: $run_dir/video-b.png
player: look again with:  import -window root -display $DISPLAY shot.png
player: stop it with:     scripts/start-player.sh --stop
EOT
if [ $playing = 1 ]; then
  say "the clip plays: the video window changed within a second ($changed pixels)"
else
  fail "the clip does NOT play: the video window stayed the same for 20 s (look at $shot; Wine's output: $run_dir/player.log)"
fi
