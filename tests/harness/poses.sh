# Photographs a Windows program's poses for the documentation. Sourced by the
# take-screenshots scripts after wine-env.sh; the posing program writes
# "NAME left top right bottom" to SHOTS/pose.txt and waits until it is gone.

# start_pose_display BUILD: a display and a prefix of the scripts' own
# (BUILD/wine/prefix-screens, kept) and a scratch folder in $shots; the
# display, the prefix's processes and the folder go when the script exits.
start_pose_display() {
  pose_prefix=$1/wine/prefix-screens
  shots=$(mktemp -d)
  trap 'stop_prefix "$pose_prefix" || true; stop_xvfb "${XVFB_PID:-}" || true; rm -rf "$shots"' EXIT
  start_xvfb || return 1
  prepare_prefix "$pose_prefix"
}

# photograph_poses RUNNER_PID SHOTS OUT WANTED SUFFIX: while the runner lives,
# crops the display to each posed rectangle into OUT/NAME$SUFFIX.png; fails
# (with the runner's log) unless the runner succeeds after WANTED pictures.
photograph_poses() {
  local runner=$1 shots=$2 out=$3 wanted=$4 suffix=$5 taken=0 name left top right bottom size
  while kill -0 "$runner" 2>/dev/null && [ "$taken" -lt "$wanted" ]; do
    if [ -f "$shots/pose.txt" ]; then
      read -r name left top right bottom < <(tr -d "\r" <"$shots/pose.txt")
      size="$((right - left))x$((bottom - top))"
      import -window root -display "$DISPLAY" "$shots/root.png"
      convert "$shots/root.png" -crop "$size+$left+$top" +repage "$out/$name$suffix.png"
      echo "screenshots: $out/$name$suffix.png ($size at $left,$top)"
      rm -f "$shots/pose.txt"
      taken=$((taken + 1))
    fi
    sleep 0.2
  done
  wait "$runner" || { cat "$shots/run.log"; return 1; }
  [ "$taken" = "$wanted" ] || { echo "screenshots: only $taken of $wanted taken" >&2; return 1; }
}
