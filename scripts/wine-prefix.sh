#!/usr/bin/env bash
# Prepares or stops the Wine prefix of a build folder.
#   wine-prefix.sh setup  PREFIX DISPLAY LOCALE_DIR
#   wine-prefix.sh stop   PREFIX DISPLAY
# setup creates a fresh 32-bit prefix when there is none, generates the
# Russian locale, starts Xvfb on DISPLAY and keeps a wineserver running so that
# each test does not pay Wine's start-up.
set -euo pipefail
action=$1 prefix=$2 display=$3 locale_dir=${4:-}
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=$display
unset LC_ALL
xvfb_pid_file="$prefix.xvfb.pid"
log="$prefix.log"

start_xvfb() {
  if [ -f "$xvfb_pid_file" ] && kill -0 "$(cat "$xvfb_pid_file")" 2>/dev/null; then return; fi
  local n=${display#:}
  rm -f "/tmp/.X${n}-lock" "/tmp/.X11-unix/X${n}"
  setsid Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >>"$log" 2>&1 </dev/null &
  echo $! >"$xvfb_pid_file"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${n}" ] && return; sleep 0.1; done
  echo "Xvfb did not start on $display" >&2; exit 1
}

make_locale() {
  [ -z "$locale_dir" ] && return
  [ -d "$locale_dir/ru_RU.UTF-8" ] && return
  mkdir -p "$locale_dir"
  localedef -i ru_RU -f UTF-8 "$locale_dir/ru_RU.UTF-8" >>"$log" 2>&1 || true
}

case $action in
  setup)
    mkdir -p "$(dirname "$prefix")"
    make_locale
    start_xvfb
    if [ ! -f "$prefix/system.reg" ]; then
      LANG=C.UTF-8 setsid wineboot -i >>"$log" 2>&1 </dev/null
      wineserver -w
    fi
    setsid wineserver -p >>"$log" 2>&1 </dev/null
    # Starting the services now, with output to the log, keeps them off the
    # pipes of the first test.
    setsid wine cmd /c exit >>"$log" 2>&1 </dev/null || true
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    if [ -f "$xvfb_pid_file" ]; then kill "$(cat "$xvfb_pid_file")" 2>/dev/null || true; rm -f "$xvfb_pid_file"; fi
    ;;
  *) echo "usage: $0 setup|stop PREFIX DISPLAY [LOCALE_DIR]" >&2; exit 2 ;;
esac
