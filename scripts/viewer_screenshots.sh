#!/usr/bin/env bash
# Takes the viewer's screenshots for the README on a virtual X server:
# docs/images/viewer.jpg (a photograph with an elliptical selection drawn with
# the mouse, the pointer over the image) and, when the save dialog is built,
# docs/images/viewer_save_dialog.png.
#
#   scripts/viewer_screenshots.sh BUILD_DIR PHOTO
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$1"
PHOTO="$2"
if [ -z "${PICTAVO_SHOTS_INNER:-}" ]; then
  export PICTAVO_SHOTS_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

LOG="$(mktemp)"
"$BUILD/pictavo-viewer" --test-save /dev/null "$PHOTO" >"$LOG" 2>&1 &
PID=$!
trap 'kill $PID 2>/dev/null || true; rm -f "$LOG"' EXIT
for ((i = 0; i < 200; ++i)); do grep -q '^loaded' "$LOG" && break; sleep 0.05; done
WID="$(xdotool search --sync --onlyvisible --name 'Pictavo viewer' | head -n 1)"
xdotool windowfocus --sync "$WID"
xdotool key e
# An ellipse dragged in steps, as a hand would.
xdotool mousemove --window "$WID" 500 330 mousedown 1
for step in 1 2 3 4 5 6 7 8; do
  xdotool mousemove --window "$WID" $((500 + step * 22)) $((330 + step * 15))
  sleep 0.05
done
xdotool mouseup 1
xdotool mousemove --window "$WID" 640 250
sleep 0.5
import -window "$WID" "JPEG:$ROOT/docs/images/viewer.jpg"

xdotool key ctrl+shift+s
sleep 1
DIALOG="$(xdotool search --onlyvisible --name 'Save' | grep -v "^$WID$" | head -n 1 || true)"
if [ -n "$DIALOG" ]; then
  xdotool type --delay 30 "hills-edited.jpg"
  sleep 0.3
  import -window "$DIALOG" "$ROOT/docs/images/viewer_save_dialog.png"
  xdotool key Escape
fi
xdotool key ctrl+q
wait "$PID" || true
