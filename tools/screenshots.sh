#!/usr/bin/env bash
# Makes the README's pictures of the whole program again, under Xvfb, with
# settings and a preference database of their own:
#   docs/screenshots/first-start.png   the demonstration log at a first start (the welcome bar shows)
#   docs/screenshots/frame-1x.png      the same at the next start, without the bar
#   docs/screenshots/frame-2x.png      and at QT_SCALE_FACTOR=2
#   docs/looks/{blue,black,silver,aqua}.png   the four looks of the Style menu
# The screen is the frame's size (1000 x 700), so the picture is the window.
# Usage: tools/screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
out=docs/screenshots
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
"$BUILD/bin/demo_log" generate "$work" >/dev/null

shoot() {  # picture, screen size, then environment assignments; into $out
  local picture=$1 screen=$2
  shift 2
  env XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" \
    OSTREL_SCREENSHOT="$out/$picture" OSTREL_SCREENSHOT_DELAY_MS=2500 "$@" \
    timeout 60 xvfb-run -a -s "-screen 0 ${screen}x24" "$BUILD/bin/ostrel-viewer" "$work/demo.log"
  echo "screenshots: $out/$picture"
}
shoot first-start.png 1000x700
shoot frame-1x.png 1000x700
shoot frame-2x.png 2000x1400 QT_SCALE_FACTOR=2

settings="$work/config/Corvane/Ostrel/Text Log File Viewer/Ostrel Text Log File Viewer.conf"
for look in 215:blue 216:black 217:silver 218:aqua; do
  # The look as the Style menu stores it; the program writes the file back at its start.
  sed -i "s/^ApplicationLook=.*/ApplicationLook=${look%%:*}/" "$settings"
  out=docs/looks shoot "${look#*:}.png" 1000x700
done
