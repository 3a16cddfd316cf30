#!/usr/bin/env bash
# Starts the viewer (`make run`, `make run FILE=...`).
#
# Without files it shows a demonstration: a sample log under build/demo that a
# writer process keeps appending to for a minute (rotating it once), opened with
# settings and a preference database of its own, never the user's (the settings
# that demo_log writes turn Log Levels and Line Numbers on).
#
# Without a display it runs under Xvfb instead, saves screenshots to
# build/screenshot*.png and says where they are.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
BUILD="${BUILD:-build}"
BIN="$BUILD/bin/ostrel-viewer"
SHOT="$BUILD/screenshot.png"

if [ ! -x "$BIN" ]; then
  echo "run-viewer: $BIN is not built yet; run 'make build' (or 'make run') first." >&2
  exit 1
fi

writer=""
cleanup() {
  [ -n "$writer" ] && kill "$writer" 2>/dev/null
  [ -n "${own_runtime:-}" ] && rm -rf "$own_runtime"
}
trap cleanup EXIT

files=("$@")
shots=1
if [ ${#files[@]} -eq 0 ]; then
  demo="$PWD/$BUILD/demo"
  rm -rf "$demo" && mkdir -p "$demo/config" "$demo/data"
  "$BUILD/bin/demo_log" generate "$demo" || { echo "run-viewer: could not write the demo log in $demo" >&2; exit 1; }
  "$BUILD/bin/demo_log" follow "$demo/demo.log" 60 &
  writer=$!
  export XDG_CONFIG_HOME="$demo/config" XDG_DATA_HOME="$demo/data"
  # The followed log last, so that it is the window in front.
  files=("$demo/demo-utf16.log" "$demo/demo.log")
  shots=2
  echo "run-viewer: demonstration: $demo/demo.log grows for a minute (settings kept in $demo)."
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$BIN" "${files[@]}"
  exit $?
fi

# No display: a virtual one, pictures of the window, and back.
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "run-viewer: there is no display (DISPLAY is not set) and xvfb-run is missing." >&2
  echo "run-viewer: install it with 'tools/install-deps.sh' (package xvfb), or run on a desktop." >&2
  exit 1
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  own_runtime="$(mktemp -d)" && chmod 700 "$own_runtime" && export XDG_RUNTIME_DIR="$own_runtime"
fi
mkdir -p "$(dirname "$SHOT")"
rm -f "$BUILD"/screenshot*.png
echo "run-viewer: no display found; starting the viewer under Xvfb to take screenshots..."
OSTREL_SCREENSHOT="$SHOT" OSTREL_SCREENSHOT_COUNT="$shots" \
  OSTREL_SCREENSHOT_DELAY_MS="${OSTREL_SCREENSHOT_DELAY_MS:-2000}" \
  timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$BIN" "${files[@]}"
rc=$?
saved=$(ls "$BUILD"/screenshot*.png 2>/dev/null)
if [ $rc -eq 0 ] && [ -n "$saved" ]; then
  for s in $saved; do echo "run-viewer: screenshot saved to $PWD/$s"; done
  [ "$shots" -gt 1 ] && echo "run-viewer: the later one shows the lines written meanwhile at the bottom."
  exit 0
fi
echo "run-viewer: the viewer did not produce a screenshot under Xvfb (exit code $rc)." >&2
exit 1
