#!/usr/bin/env bash
# Starts the viewer on the given files (`make run FILE=...`). Without a display
# it runs under Xvfb instead, saves a screenshot to build/screenshot.png and
# says where it is.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
BUILD="${BUILD:-build}"
BIN="$BUILD/bin/ostrel-viewer"
SHOT="$BUILD/screenshot.png"

if [ ! -x "$BIN" ]; then
  echo "run-viewer: $BIN is not built yet; run 'make build' (or 'make run FILE=...') first." >&2
  exit 1
fi
for f in "$@"; do
  [ -e "$f" ] || echo "run-viewer: note: '$f' does not exist; the viewer skips files it cannot open." >&2
done

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$BIN" "$@"
fi

# No display: a virtual one, a picture of the window, and back.
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "run-viewer: there is no display (DISPLAY is not set) and xvfb-run is missing." >&2
  echo "run-viewer: install it with 'tools/install-deps.sh' (package xvfb), or run on a desktop." >&2
  exit 1
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR="$(mktemp -d)" && chmod 700 "$XDG_RUNTIME_DIR" && export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
mkdir -p "$(dirname "$SHOT")"
rm -f "$SHOT"
echo "run-viewer: no display found; starting the viewer under Xvfb to take a screenshot..."
OSTREL_SCREENSHOT="$SHOT" OSTREL_SCREENSHOT_DELAY_MS="${OSTREL_SCREENSHOT_DELAY_MS:-2000}" \
  timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$BIN" "$@"
rc=$?
if [ $rc -eq 0 ] && [ -s "$SHOT" ]; then
  echo "run-viewer: screenshot of the viewer saved to $(cd "$(dirname "$SHOT")" && pwd)/$(basename "$SHOT")"
  exit 0
fi
echo "run-viewer: the viewer did not produce a screenshot under Xvfb (exit code $rc)." >&2
exit 1
