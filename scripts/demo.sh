#!/usr/bin/env bash
# Builds the program and runs its start-up unattended in a scratch home:
# embedded configuration, logging, single-instance lock, the main window
# (closing itself under AutoRun), and the exit sequence.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build

DEMO="$PWD/build/demo"
rm -rf "$DEMO"
mkdir -p "$DEMO/bin" "$DEMO/home"
cp build/src/qm_downloader "$DEMO/bin/"
printf '[Settings]\nAutoRun=1\n' >"$DEMO/bin/qm_downloader.cfg"

export HOME="$DEMO/home" XDG_STATE_HOME="$DEMO/home/state" XDG_CACHE_HOME="$DEMO/home/cache"
export XDG_RUNTIME_DIR="$DEMO/home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen

echo "== qm_downloader debug (AutoRun=1: the window closes itself)"
"$DEMO/bin/qm_downloader" debug
echo "== exit code $?"
log="$(find "$XDG_STATE_HOME" -name '*.log' | head -n 1)"
echo "== log file: ${log:-none}"
[ -n "$log" ] && cat "$log"
