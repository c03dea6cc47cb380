# Shared settings of the Wine test harness; sourced by wine-session and wine-run.
# Only 64-bit Wine exists here: the product is a 64-bit executable.
WINE64=${WINE64:-/usr/lib/wine/wine64}
[ -x "$WINE64" ] || WINE64=$(command -v wine64 || command -v wine)
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko installer dialogs in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Media playback needs an audio device; a null ALSA device gives Wine one.
harness_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export ALSA_CONFIG_PATH=${ALSA_CONFIG_PATH:-$harness_dir/alsa-null.conf}

# Wine settings the tests rely on: no crash dialog that would wait forever,
# and unmanaged windows (no window manager runs under Xvfb).
wine_prefix_settings() {
  "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
}

free_display() {
  local n
  for n in $(seq 90 250); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      echo "$n"
      return 0
    fi
  done
  return 1
}

# start_xvfb -> sets XVFB_PID and DISPLAY. Two screens give Wine two monitors.
start_xvfb() {
  local n tries
  for tries in 1 2 3 4 5; do
    n=$(free_display) || { echo "wine harness: no free X display" >&2; return 1; }
    Xvfb ":$n" -nolisten tcp -extension RANDR +xinerama \
      -screen 0 1280x720x24 -screen 1 1024x768x24 </dev/null >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill "$XVFB_PID" 2>/dev/null
  done
  echo "wine harness: Xvfb did not start" >&2
  return 1
}

# prepare_prefix DIR: a private prefix, initialised once and kept in the build tree.
prepare_prefix() {
  export WINEPREFIX=$1
  if [ ! -f "$WINEPREFIX/.vexlor-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINE64" wineboot -i >/dev/null 2>&1 || true
    wine_prefix_settings
    wineserver -w 2>/dev/null || true
    touch "$WINEPREFIX/.vexlor-ready"
  fi
}
