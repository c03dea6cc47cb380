# Shared settings of the Wine harness: sourced by wine-session, wine-run and the
# player scripts. The one place that finds the Wine tools; callers write
#   source .../wine-env.sh || exit 1
# Only 64-bit Wine exists here: the product is a 64-bit executable.

# find_wine_tool CANDIDATE... -> the first one that is an executable file.
find_wine_tool() {
  local candidate
  for candidate in "$@"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ] && [ ! -d "$candidate" ]; then
      echo "$candidate"
      return 0
    fi
  done
  return 1
}

# Debian's wine64 package puts its loader and server in /usr/lib/wine and
# nothing on PATH; the wine package (a Recommends we do not install) adds
# /usr/bin wrappers. A caller's WINE64 / WINESERVER wins, and must be right.
for wine_var in WINE64 WINESERVER; do
  if [ -n "${!wine_var:-}" ] && { [ ! -x "${!wine_var}" ] || [ -d "${!wine_var}" ]; }; then
    echo "wine harness: $wine_var=${!wine_var} is not an executable" >&2
    return 1
  fi
done
unset wine_var
WINE64=$(find_wine_tool "${WINE64:-}" "$(command -v wine64)" /usr/lib/wine/wine64 \
  /usr/lib64/wine/wine64 /opt/wine-stable/bin/wine64) || {
  echo "wine harness: wine64 not found (looked at \$WINE64, PATH, /usr/lib/wine);" \
    "install the wine64 package: scripts/setup-debian.sh" >&2
  return 1
}
wine_bin_dir=$(dirname "$(readlink -f "$WINE64")")
WINESERVER=$(find_wine_tool "${WINESERVER:-}" "$(command -v wineserver)" \
  "$wine_bin_dir/wineserver" "$wine_bin_dir/wineserver64" /usr/lib/wine/wineserver64) || {
  echo "wine harness: wineserver not found (looked at \$WINESERVER, PATH, $wine_bin_dir);" \
    "install the wine64 package: scripts/setup-debian.sh" >&2
  return 1
}
unset wine_bin_dir
# Wine's loader starts the server named here, so both agree on one binary.
export WINE64 WINESERVER

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

# Wine draws the caption and scroll-bar glyphs with Marlett. Debian's Wine
# never reads its own font folder (fonts-wine), so without a copy in the
# prefix those buttons show letters ("r" for close) in pictures and tests.
wine_prefix_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts dir
  [ -f "$fonts/marlett.ttf" ] && return 0
  for dir in "$(dirname "$(readlink -f "$WINE64")")/../../share/wine/fonts" /usr/share/wine/fonts; do
    if [ -f "$dir/marlett.ttf" ]; then
      mkdir -p "$fonts" && cp "$dir/marlett.ttf" "$fonts/"
      return 0
    fi
  done
}

# prefix_pids PREFIX: the Wine processes of that prefix: its server, the
# loaders and every Windows process inherit WINEPREFIX from whoever started them.
prefix_pids() {
  local want="WINEPREFIX=$1" env_file pid comm args
  for env_file in /proc/[0-9]*/environ; do
    # Zombies have no environment left; they hold nothing.
    grep -qzxF "$want" "$env_file" 2>/dev/null || continue
    pid=${env_file#/proc/}
    pid=${pid%/environ}
    comm=$(cat "/proc/$pid/comm" 2>/dev/null)
    args=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)
    # Scripts (wine-run, wine-session) carry the variable too: only Wine's own
    # binaries and Windows programs (Wine shows their command line as C:\...).
    case $comm in
      wine64* | wineserver* | wine-preloader* | wine | *.exe | *.EXE) echo "$pid" ;;
      *) [[ $args =~ ^[A-Za-z]:\\ ]] && echo "$pid" ;;
    esac
  done
}

# wait_gone SECONDS PID...: true once none of the processes is left (zombies
# count as gone: they hold nothing and are not ours to reap).
wait_gone() {
  local seconds=$1 pid left i
  shift
  for i in $(seq 1 $((seconds * 10))); do
    left=0
    for pid in "$@"; do
      if [ -e "/proc/$pid" ] && [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" != Z ]; then
        left=1
        break
      fi
    done
    [ $left = 0 ] && return 0
    sleep 0.1
  done
  return 1
}

# stop_prefix PREFIX: ends the server of that prefix and every process in it.
# Fails, naming what is left, when something outlives a kill.
stop_prefix() {
  local prefix=$1 pids
  [ -d "$prefix" ] || return 0
  WINEPREFIX=$prefix "$WINESERVER" -k >/dev/null 2>&1
  # -w returns once the server is gone; bounded, a wedged server gets killed below.
  WINEPREFIX=$prefix timeout 20 "$WINESERVER" -w >/dev/null 2>&1
  pids=$(prefix_pids "$prefix")
  [ -z "$pids" ] && return 0
  # shellcheck disable=SC2086
  kill -KILL $pids 2>/dev/null
  # shellcheck disable=SC2086
  wait_gone 10 $pids && return 0
  echo "wine harness: processes of $prefix still running: $(prefix_pids "$prefix" | tr '\n' ' ')" >&2
  return 1
}

# stop_xvfb PID: ends that Xvfb and waits until it is gone.
stop_xvfb() {
  local pid=$1
  [ -n "$pid" ] || return 0
  # Only an Xvfb: a recorded pid may have been reused by now.
  [ "$(ps -o comm= -p "$pid" 2>/dev/null)" = Xvfb ] || return 0
  kill "$pid" 2>/dev/null
  wait_gone 10 "$pid" && return 0
  kill -KILL "$pid" 2>/dev/null
  wait_gone 5 "$pid" && return 0
  echo "wine harness: Xvfb $pid still running" >&2
  return 1
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

# start_xvfb [SCREEN...] -> sets XVFB_PID and DISPLAY. Two screens (the
# default) give Wine two monitors.
start_xvfb() {
  local screens=("$@") args=() n i _
  [ ${#screens[@]} -gt 0 ] || screens=(1280x720x24 1024x768x24)
  for i in "${!screens[@]}"; do args+=(-screen "$i" "${screens[$i]}"); done
  for _ in 1 2 3 4 5; do
    n=$(free_display) || { echo "wine harness: no free X display" >&2; return 1; }
    Xvfb ":$n" -nolisten tcp -extension RANDR +xinerama "${args[@]}" </dev/null >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 1 100); do
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

# prepare_prefix DIR: a private prefix, initialised once and kept in the build
# tree. Its server is stopped afterwards, so the next process starts one that
# sees the current display.
prepare_prefix() {
  export WINEPREFIX=$1
  if [ ! -f "$WINEPREFIX/.vexlor-ready" ]; then
    stop_prefix "$WINEPREFIX" || return 1
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINE64" wineboot -i >/dev/null 2>&1 || true
    wine_prefix_settings
    # The registry reaches the disk when the server ends.
    WINEPREFIX=$WINEPREFIX timeout 120 "$WINESERVER" -w >/dev/null 2>&1
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine harness: wineboot did not make $WINEPREFIX" >&2; return 1; }
    touch "$WINEPREFIX/.vexlor-ready"
  fi
  stop_prefix "$WINEPREFIX"
  wine_prefix_fonts
}
