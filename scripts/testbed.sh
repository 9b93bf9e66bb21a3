#!/usr/bin/env bash
# The Wine test bed: a private 64-bit prefix under build/ (32-bit programs run in it under
# WoW64, as on a 64-bit Windows) and a virtual display.
#   testbed.sh prefix          create the prefix once
#   testbed.sh run CMD...      run CMD with an Xvfb display and a running wineserver,
#                              both ended (by PID) when CMD ends
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# QCD_WINEPREFIX lets parallel work use prefixes of its own.
export WINEPREFIX="${QCD_WINEPREFIX:-$top/build/wineprefix}"
export QCD_WINEPREFIX="$WINEPREFIX"
# A caller may open channels of its own (the control's trace: WINEDEBUG=-all,warn+seh).
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
# Japanese ANSI code page (932) for Wine; passed per command so bash itself does not
# complain about a locale glibc lacks.
ja=(env LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8)

make_prefix() {
  # A prefix from before the 64-bit test bed (32-bit only) is made again.
  if [ -f "$WINEPREFIX/system.reg" ] && ! grep -q '^#arch=win64' "$WINEPREFIX/system.reg"; then
    echo "testbed: replacing the 32-bit prefix $WINEPREFIX"
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$top/build"
    echo "testbed: creating Wine prefix $WINEPREFIX"
    WINEARCH=win64 "${ja[@]}" wineboot -i >/dev/null 2>&1
    # A crash prints its backtrace and ends the program instead of waiting in a dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
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
  echo "$DISPLAY" >"$WINEPREFIX.display"
}

stop_all() {
  wineserver -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$WINEPREFIX.display"
}

case "${1:-}" in
  prefix) make_prefix ;;
  run)
    shift
    make_prefix
    trap stop_all EXIT
    start_display
    wineserver -p
    # Start Wine's own services now, detached from our output: started by a test they would
    # inherit its stdout and keep the test runner waiting for EOF.
    "${ja[@]}" wine cmd /c exit </dev/null >/dev/null 2>&1
    "$@"
    ;;
  *) echo "usage: testbed.sh prefix | run CMD..." >&2; exit 2 ;;
esac
