#!/usr/bin/env bash
# Shows the demo host, QuorDemo.exe, with the control registered in the test bed's prefix,
# its Open dialog starting in build/samples (pictures, metafiles and texts to preview, made by
# make_samples.sh). With a display it runs until it is closed. Without one it runs on a
# virtual display, takes a screenshot once its window is up (build/demo.png) and closes itself.
#   --32            the 32-bit demo host and control (default: the 64-bit ones)
#   QCD_DEMO_BUILD  build folder (default build/win64, or build/win32 with --32)
#   QCD_DEMO_SHOT   where the screenshot goes
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
if [ "${1:-}" = --32 ]; then
  export QCD_DEMO_BUILD=build/win32
  shift
fi
build=${QCD_DEMO_BUILD:-build/win64}
# regsvr32 of the control's own bitness: Wine's 64-bit loader starts the 64-bit one.
case "$build" in *win64*) wine_system=cmake/wine64-run ;; *) wine_system=cmake/wine-run ;; esac
bin="$top/$build/bin"
shot=${QCD_DEMO_SHOT:-$top/build/demo.png}
samples="$top/build/samples"
bag="$top/build/demo-samples.props"

# Wine maps Z: to the root of the file system.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# Machine-wide, as an installer would; if it fails the demo still loads the control
# straight from the file beside it. Unregistered when the demo ends: a registration of one
# build left behind shares its ProgID with the other build, whose registration test then
# finds the prefix not clean.
register() {
  if ! "$wine_system" regsvr32 /s "$(winpath "$bin/QuorCommonDialogControl.ocx")" </dev/null >/dev/null 2>&1; then
    echo "demo: regsvr32 failed; QuorDemo will load the control from its file" >&2
  fi
  trap unregister EXIT
}
unregister() {
  "$wine_system" regsvr32 /u /s "$(winpath "$bin/QuorCommonDialogControl.ocx")" </dev/null >/dev/null 2>&1 || true
}

# The demo's property bag: only InitDir, so every other property keeps its default. Written
# each time, so the samples are found wherever the tree is.
write_bag() {
  local dir
  dir=$(winpath "$samples" | sed 's/\\/\\\\/g')
  printf '\xef\xbb\xbf; QuorDemo property bag: Name=Type:Value, one a line\r\nInitDir=Str:%s\r\n' "$dir" |
    iconv -f UTF-8 -t UTF-16LE >"$bag"
}

# Inside testbed.sh run: a virtual display and a running wineserver.
on_virtual_display() {
  register
  local ready="$top/build/demo.ready" status=0 pid
  rm -f "$ready"
  # Wine's own desktop window draws the frames and captions that no window manager draws here.
  cmake/wine-run explorer /desktop=QuorDemo,1024x768 "$(winpath "$bin/QuorDemo.exe")" \
    --bag "$(winpath "$bag")" --preview emblem.png --ready-file "$(winpath "$ready")" --quit-after 3000 </dev/null &
  pid=$!
  for _ in $(seq 1 150); do
    [ -f "$ready" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ ! -f "$ready" ]; then
    echo "demo: QuorDemo's window did not come up" >&2
    kill "$pid" 2>/dev/null || true
    return 1
  fi
  # Let the X server finish what Wine has drawn.
  sleep 0.5
  import -window root "$shot"
  rm -f "$ready"
  wait "$pid" || status=$?
  [ "$status" = 0 ] || echo "demo: QuorDemo ended with status $status" >&2
  return "$status"
}

if [ ! -f "$bin/QuorDemo.exe" ] || [ ! -f "$bin/QuorCommonDialogControl.ocx" ]; then
  echo "demo: $bin has no QuorDemo.exe or control library; run ./run build first" >&2
  exit 1
fi

case "${1:-}" in
  --on-virtual-display) on_virtual_display ;;
  "")
    scripts/make_samples.sh "$samples"
    write_bag
    if [ -n "${DISPLAY:-}" ]; then
      scripts/testbed.sh prefix
      register
      cmake/wine-run "$bin/QuorDemo.exe" --bag "$(winpath "$bag")"
    else
      scripts/testbed.sh run "$0" --on-virtual-display
      echo "demo: screenshot in $shot"
    fi
    ;;
  *) echo "usage: scripts/demo.sh [--32]" >&2; exit 2 ;;
esac
