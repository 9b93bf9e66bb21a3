#!/usr/bin/env bash
# The Wine test bed: a private prefix under build/ and a virtual display.
#   testbed.sh prefix          create the prefix once
#   testbed.sh run CMD...      run CMD with an Xvfb display and a running wineserver,
#                              both ended (by PID) when CMD ends
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$top/build/wineprefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

make_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$top/build"
    echo "testbed: creating Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
}

start_display() {
  local fifo dpy
  fifo=$(mktemp -u) && mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r dpy <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$dpy"
  echo "$DISPLAY" >"$top/build/display"
}

stop_all() {
  wineserver -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$top/build/display"
}

case "${1:-}" in
  prefix) make_prefix ;;
  run)
    shift
    make_prefix
    trap stop_all EXIT
    start_display
    wineserver -p
    "$@"
    ;;
  *) echo "usage: testbed.sh prefix | run CMD..." >&2; exit 2 ;;
esac
