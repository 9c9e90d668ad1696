#!/usr/bin/env bash
# demo-keyboard.sh DEMO_DIR
# The demo on a machine without a screen: starts a virtual X screen, runs the
# program in it as a user with only a keyboard would (Enter on the first page
# presses Install; Escape closes a finished page that stays open), and waits
# for the program to end. The program's output goes to DEMO_DIR/downloader.out.
set -euo pipefail
DEMO="$1"
TITLE="Vantor Mark Eraser"

# Xvfb picks a free display and writes its number to the descriptor it is given.
rm -f "$DEMO/display"
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$DEMO/display" 2>"$DEMO/xvfb.log" &
XVFB=$!
APP=""
cleanup() {
  [ -n "$APP" ] && kill "$APP" 2>/dev/null || true
  kill "$XVFB" 2>/dev/null || true
}
trap cleanup EXIT
# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
wait_for 100 test -s "$DEMO/display" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$DEMO/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

"$DEMO/bin/qm_downloader" debug >"$DEMO/downloader.out" 2>&1 &
APP=$!
main_window() { xdotool search --onlyvisible --pid "$APP" --name "^$TITLE\$" | head -n 1 | grep .; }
wait_for 600 main_window || { echo "no window appeared" >&2; exit 1; }
WINDOW=$(main_window)
# With no window manager the window is given the keyboard by hand.
press() { xdotool windowfocus --sync "$WINDOW" && xdotool key "$1"; }
echo "window shown; Enter"
press Return
started() {
  [ -f "/opt/Vantor/Vantor Mark Eraser/started.txt" ] || [ -f "$HOME/.local/opt/Vantor/Vantor Mark Eraser/started.txt" ]
}
wait_for 3000 started || { echo "the product was not started within 300 s" >&2; exit 1; }
echo "product started"
ended() { ! kill -0 "$APP" 2>/dev/null; }
# After the waiting window the program ends by itself; a finished page that
# stays open is closed with Escape.
if ! wait_for 300 ended; then
  echo "finished page still open; Escape"
  press Escape || true
  wait_for 600 ended || { echo "the program did not end within 60 s of Escape" >&2; exit 1; }
fi
wait "$APP" || true
APP=""
echo "program ended"
