#!/usr/bin/env bash
# One Wine session for the Windows tests: a private X server and a fresh Wine
# prefix, both under the build tree, shared by every test of one ctest run.
#
#   wine_session.sh start          make the X server and the prefix
#   wine_session.sh run PROG ARGS  run a Windows program in the session
#   wine_session.sh exec CMD ARGS  run a host command with the session's
#                                  DISPLAY, WINEPREFIX and wine settings
#   wine_session.sh stop           end the prefix's processes and the X server
#
# HL_WINE_SESSION names the session's folder. Every call to Wine runs under
# timeout (HL_WINE_TIMEOUT seconds for `run`, 60 by default). Only what the
# session started is ended: the prefix's own wineserver and the X server's PID.
set -euo pipefail

session="${HL_WINE_SESSION:?HL_WINE_SESSION must name the session folder}"
wine64="${HL_WINE64:-/usr/lib/wine/wine64}"
wineserver="${HL_WINESERVER:-}"
if [ -z "$wineserver" ]; then
  for candidate in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver wineserver; do
    if command -v "$candidate" >/dev/null 2>&1; then
      wineserver="$candidate"
      break
    fi
  done
fi

export WINEPREFIX="$session/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

die() {
  echo "wine_session: $*" >&2
  exit 1
}

# The PID in the file, if it still names the program we started.
live_pid() {
  local file="$1" name="$2" pid
  [ -s "$file" ] || return 1
  pid="$(cat "$file")"
  [ -r "/proc/$pid/cmdline" ] || return 1
  tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q "$name" || return 1
  echo "$pid"
}

stop_session() {
  if [ -d "$WINEPREFIX" ] && [ -n "$wineserver" ]; then
    timeout 30 "$wineserver" -k >/dev/null 2>&1 || true
    timeout 30 "$wineserver" -w >/dev/null 2>&1 || true
  fi
  local pid
  if pid="$(live_pid "$session/xvfb.pid" Xvfb)"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
      [ -d "/proc/$pid" ] || break
      sleep 0.1
    done
    [ -d "/proc/$pid" ] && kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$session/xvfb.pid" "$session/display"
}

load_display() {
  [ -s "$session/display" ] || die "no session; run '$0 start' first"
  export DISPLAY=":$(tr -d '[:space:]' <"$session/display")"
}

case "${1:-}" in
  start)
    command -v Xvfb >/dev/null || die "Xvfb is not installed"
    [ -x "$wine64" ] || die "$wine64 is missing (the wine64 package)"
    [ -n "$wineserver" ] || die "no wineserver found"
    mkdir -p "$session"
    stop_session
    rm -rf "$WINEPREFIX" "$session/xvfb.log" "$session/work"
    mkdir -p "$session/work"
    # The server writes its display number to fd 3 once it accepts clients.
    # It runs in a session of its own with no pipe to ctest, which would
    # otherwise wait for it.
    setsid Xvfb -displayfd 3 -screen 0 "${HL_WINE_SCREEN:-1024x768x24}" -nolisten tcp -noreset \
      3>"$session/display" </dev/null >"$session/xvfb.log" 2>&1 &
    echo $! >"$session/xvfb.pid"
    for _ in $(seq 100); do
      grep -q '[0-9]' "$session/display" 2>/dev/null && break
      live_pid "$session/xvfb.pid" Xvfb >/dev/null || die "Xvfb ended: $(cat "$session/xvfb.log")"
      sleep 0.1
    done
    load_display
    # A fresh prefix; the wineserver stays up between tests so each program
    # starts quickly.
    timeout 180 "$wine64" wineboot -i </dev/null >"$session/wineboot.log" 2>&1 ||
      die "wineboot failed: $(tail -5 "$session/wineboot.log")"
    timeout 120 "$wineserver" -w
    setsid "$wineserver" -p </dev/null >/dev/null 2>&1 || true
    # The prefix's own services and its desktop process start with the first
    # program and stay with the wineserver; started here, they hold no pipe of
    # a test (ctest would wait for them to close it).
    timeout 60 "$wine64" cmd.exe /c exit </dev/null >>"$session/wineboot.log" 2>&1 ||
      die "wine cannot run a program: $(tail -5 "$session/wineboot.log")"
    echo "wine_session: display $DISPLAY, prefix $WINEPREFIX"
    ;;
  run)
    shift
    [ $# -ge 1 ] || die "run needs a program"
    load_display
    exec timeout -k 5 "${HL_WINE_TIMEOUT:-60}" "$wine64" "$@"
    ;;
  exec)
    shift
    [ $# -ge 1 ] || die "exec needs a command"
    load_display
    export HL_WINE64="$wine64"
    exec "$@"
    ;;
  stop)
    stop_session
    if [ -z "${HL_KEEP_WINE_PREFIX:-}" ]; then
      rm -rf "$WINEPREFIX"
    fi
    ;;
  *)
    die "usage: $0 start|run PROG [ARGS]|exec CMD [ARGS]|stop"
    ;;
esac
