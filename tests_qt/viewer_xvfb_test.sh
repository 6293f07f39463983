#!/usr/bin/env bash
# Desktop test of pictavo-viewer on a virtual X server: opens a sample
# picture, applies Negative through the Processing menu with the keyboard
# (Alt+P, C, N), saves with the test shortcut (F12), then checks that both
# the saved file and the window's image area as read back from the X
# server equal the negative of the sample computed by ImageMagick; so does
# the file saved through File > Save as, the dialog driven by keys; Ctrl+Z
# brings the sample back on the screen.  Then a GIF opened through File >
# Open has its frames stepped by Page Down and Page Up.  The screenshots are kept in ARTIFACT_DIR.
#
#   viewer_xvfb_test.sh VIEWER ARTIFACT_DIR
set -euo pipefail

VIEWER="$1"
ARTIFACTS="$2"
POLL_STEP=0.05
POLL_LIMIT=${PICTAVO_XVFB_POLL_LIMIT:-600}  # 30 s at most for each wait (sanitizer builds on a busy machine are slow)

if [ -z "${PICTAVO_XVFB_INNER:-}" ]; then
  mkdir -p "$ARTIFACTS"
  export PICTAVO_XVFB_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

# Under AddressSanitizer the X11 platform plugin's libraries (xcb, Xlib,
# fontconfig, the GL loader) keep allocations until exit that the leak
# checker reports; the library's own leaks are checked by the offscreen Qt
# tests, so this desktop run checks memory errors only.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

WORK="$(mktemp -d)"
VIEWER_PID=""
cleanup() {
  [ -n "$VIEWER_PID" ] && kill "$VIEWER_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- viewer output" >&2
  cat "$WORK/out.log" "$WORK/err.log" >&2 || true
  exit 1
}

# focus_dialog: gives the keyboard focus to the visible viewer window that
# is not the main one (the modal dialog), so that no typed key is lost while
# the dialog maps and takes the focus on a slow machine.
focus_dialog() {
  local w
  for w in $(xdotool search --onlyvisible --class pictavo-viewer); do
    if [ "$w" != "$WID" ]; then
      xdotool windowfocus --sync "$w"
      return 0
    fi
  done
  return 1
}

# poll CONDITION WHAT: runs CONDITION until it succeeds or the limit passes.
poll() {
  for ((i = 0; i < POLL_LIMIT; ++i)); do
    if eval "$1"; then return 0; fi
    sleep "$POLL_STEP"
  done
  fail "timed out waiting for $2"
}

# Differing pixels of two images (0 when equal; compare prints the count on stderr).
differing() {
  compare -metric AE "$1" "$2" null: 2>&1 || true
}

# A picture with gradients in every channel and sharp edges, so that a
# shifted, filtered or wrongly ordered copy cannot pass.
convert -size 96x64 gradient:'#ff2000-#0040ff' \( -size 96x64 pattern:checkerboard \) \
  -compose difference -composite -depth 8 -type TrueColor "PNG24:$WORK/sample.png"
convert "$WORK/sample.png" -negate -depth 8 -type TrueColor "PNG24:$WORK/expected.png"

"$VIEWER" --test-save "$WORK/saved.png" "$WORK/sample.png" >"$WORK/out.log" 2>"$WORK/err.log" &
VIEWER_PID=$!

poll 'grep -q "^loaded 96 x 64" "$WORK/out.log"' "the sample to load"
WID="$(xdotool search --sync --onlyvisible --name 'Pictavo viewer' | head -n 1)"
[ -n "$WID" ] || fail "no viewer window"
xdotool windowfocus --sync "$WID"
# The pointer away from the window, so that it hovers over nothing.
xdotool mousemove 1270 1010

# Processing > Colour > Negative by the menus' accelerators, then save.
xdotool key --delay 100 alt+p c n
xdotool key F12
poll 'grep -q "^image-area" "$WORK/out.log"' "the test save"
[ -f "$WORK/saved.png" ] || fail "no saved file"

read -r _ X Y W H _ ZOOM < <(grep "^image-area" "$WORK/out.log")
[ "$W" = 96 ] && [ "$H" = 64 ] || fail "image area ${W}x${H} at zoom $ZOOM, expected 96x64 at 100 %"

n="$(differing "$WORK/saved.png" "$WORK/expected.png")"
[ "$n" = 0 ] || fail "saved file differs from the negative in $n pixels"

# The window is read back from the X server until it shows the negative
# (its repaint may follow the save by an event-loop turn).
SHOT="$ARTIFACTS/viewer_negative.png"
LAST_DIFF="no screenshot"
shot_matches() {
  import -window "$WID" -crop "${W}x${H}+${X}+${Y}" +repage -depth 8 "PNG24:$SHOT" 2>/dev/null ||
    return 1
  LAST_DIFF="$(differing "$SHOT" "$WORK/expected.png")"
  [ "$LAST_DIFF" = 0 ]
}
for ((i = 0; i < POLL_LIMIT; ++i)); do
  shot_matches && break
  sleep "$POLL_STEP"
done
[ "$LAST_DIFF" = 0 ] || fail "the screen differs from the negative in $LAST_DIFF pixels"
import -window "$WID" "PNG24:$ARTIFACTS/viewer_window.png" 2>/dev/null || true

# File > Save as (Ctrl+Shift+S): the save dialog opens in the sample's
# folder; a typed name and Enter save there.
xdotool key ctrl+shift+s
poll '[ "$(xdotool search --onlyvisible --class pictavo-viewer | wc -l)" -ge 2 ]' "the save dialog"
focus_dialog
xdotool type --delay 20 "dialog.png"
xdotool key Return
poll '[ -s "$WORK/dialog.png" ]' "the save through the dialog"
poll '[ "$(differing "$WORK/dialog.png" "$WORK/expected.png")" = 0 ]' \
  "the file saved through the dialog to equal the negative"

# Without a window manager nobody hands the focus back after the dialog.
xdotool windowfocus --sync "$WID"

# Undo (Ctrl+Z) brings the sample back on the screen.
cp "$WORK/sample.png" "$WORK/expected.png"
xdotool key ctrl+z
for ((i = 0; i < POLL_LIMIT; ++i)); do
  shot_matches && break
  sleep "$POLL_STEP"
done
[ "$LAST_DIFF" = 0 ] || fail "after undo the screen differs from the sample in $LAST_DIFF pixels"

quit_viewer() {
  xdotool key ctrl+q
  wait "$VIEWER_PID" || fail "the viewer exited with an error"
  VIEWER_PID=""
}
quit_viewer

# Frames: a three-frame GIF opens on its first frame; Page Down shows the
# second (title and screen), Page Up the first again.
convert -size 40x30 xc:'#ff0000' xc:'#0000ff' xc:'#00ff00' "$WORK/frames.gif"
# This time the viewer starts empty and the file comes through File > Open.
"$VIEWER" --test-save "$WORK/frame.png" >"$WORK/out.log" 2>"$WORK/err.log" &
VIEWER_PID=$!
WID="$(xdotool search --sync --onlyvisible --name 'Pictavo viewer' | head -n 1)"
xdotool windowfocus --sync "$WID"
xdotool key ctrl+o
poll '[ "$(xdotool search --onlyvisible --class pictavo-viewer | wc -l)" -ge 2 ]' "the open dialog"
focus_dialog
xdotool type --delay 20 "$WORK/frames.gif"
xdotool key Return
poll 'grep -q "^loaded 40 x 30" "$WORK/out.log"' "the GIF to load through the open dialog"
xdotool windowfocus --sync "$WID"
poll '[[ "$(xdotool getwindowname "$WID")" == *"[1/3]"* ]]' "the title to show frame 1 of 3"
xdotool key Next
poll '[[ "$(xdotool getwindowname "$WID")" == *"[2/3]"* ]]' "the title to show frame 2 of 3"
# The save only reports where the image lies (the file keeps the GIF's
# one-bit depth, which is the saving parameters' business, not this test's).
xdotool key F12
poll '[ "$(grep -c "^image-area" "$WORK/out.log")" = 1 ]' "the image area of frame 2"
read -r _ X Y W H _ ZOOM < <(grep "^image-area" "$WORK/out.log" | tail -n 1)
convert -size 40x30 xc:'#0000ff' -type TrueColor "PNG24:$WORK/expected.png"
for ((i = 0; i < POLL_LIMIT; ++i)); do
  shot_matches && break
  sleep "$POLL_STEP"
done
[ "$LAST_DIFF" = 0 ] || fail "frame 2 on the screen differs from blue in $LAST_DIFF pixels"
xdotool key Prior
poll '[[ "$(xdotool getwindowname "$WID")" == *"[1/3]"* ]]' "the title to show frame 1 again"
quit_viewer

echo "viewer desktop test passed: negative saved (shortcut and dialog) and shown, undone, GIF frames stepped"
