#!/usr/bin/env bash
# Prepares or stops the Wine prefix of a build folder.
#   wine-prefix.sh setup|stop WINE_ENV_FILE
# setup creates a fresh prefix when there is none, generates the Russian
# locale, starts Xvfb on the prefix's display and keeps a wineserver running
# so that each test does not pay Wine's start-up. stop ends both.
set -euo pipefail
action=$1
. "$2"
export WINEDEBUG=-all
xvfb_pid_file="$WINEPREFIX.xvfb.pid"
log="$WINEPREFIX.log"

start_xvfb() {
  if [ -f "$xvfb_pid_file" ] && kill -0 "$(cat "$xvfb_pid_file")" 2>/dev/null; then return; fi
  local n=${DISPLAY#:}
  if [ -e "/tmp/.X11-unix/X${n}" ] && xdpyinfo >/dev/null 2>&1; then return; fi  # a display of the user's
  rm -f "/tmp/.X${n}-lock" "/tmp/.X11-unix/X${n}"
  setsid Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >>"$log" 2>&1 </dev/null &
  echo $! >"$xvfb_pid_file"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${n}" ] && return; sleep 0.1; done
  echo "Xvfb did not start on $DISPLAY" >&2
  exit 1
}

make_locale() {
  [ -d "$QARN_LOCALE_DIR/ru_RU.UTF-8" ] && return
  mkdir -p "$QARN_LOCALE_DIR"
  localedef -i ru_RU -f UTF-8 "$QARN_LOCALE_DIR/ru_RU.UTF-8" >>"$log" 2>&1 || true
}

case $action in
  setup)
    mkdir -p "$(dirname "$WINEPREFIX")"
    make_locale
    start_xvfb
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      LANG=C.UTF-8 setsid "$WINELOADER" wineboot -i >>"$log" 2>&1 </dev/null
      "$WINESERVER" -w
    fi
    setsid "$WINESERVER" -p >>"$log" 2>&1 </dev/null
    # Starting the services now, with output to the log, keeps them off the
    # pipes of the first test.
    LANG=C.UTF-8 setsid "$WINELOADER" cmd /c exit >>"$log" 2>&1 </dev/null || true
    ;;
  stop)
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    if [ -f "$xvfb_pid_file" ]; then
      kill "$(cat "$xvfb_pid_file")" 2>/dev/null || true
      rm -f "$xvfb_pid_file"
    fi
    ;;
  *) echo "usage: $0 setup|stop WINE_ENV_FILE" >&2; exit 2 ;;
esac
