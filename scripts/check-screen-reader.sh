#!/usr/bin/env bash
# check-screen-reader.sh: after scripts/demo.sh has built build-demo, runs the
# demo program on a virtual X screen inside a private session bus with the
# accessibility bus, and reads and uses its window over that bus as a screen
# reader does (scripts/a11y-read.py): every shown control has a name, pressing
# Install through its action starts the install, and the product is started.
# Needs Xvfb, dbus-run-session, at-spi2-core and python3-pyatspi.
set -euo pipefail
cd "$(dirname "$0")/.."
DEMO="$PWD/build-demo/demo"
[ -x "$DEMO/bin/qm_downloader" ] || { echo "run scripts/demo.sh first" >&2; exit 1; }
export HOME="$DEMO/home" XDG_STATE_HOME="$DEMO/home/state" XDG_CACHE_HOME="$DEMO/home/cache"
export XDG_RUNTIME_DIR="$DEMO/home/run" XDG_DATA_HOME="$DEMO/home/share" XDG_CONFIG_HOME="$DEMO/home/config"
rm -f "$DEMO/bin/qm_downloader.cfg" "$DEMO/display"
PRODUCT_DIRS=("/opt/Vantor/Vantor Mark Eraser" "$HOME/.local/opt/Vantor/Vantor Mark Eraser")
for dir in "${PRODUCT_DIRS[@]}"; do rm -f "$dir/started.txt"; done

build-demo/tools/reference-services/qm-reference-services build-demo/demo-packages markeraser_setup_demo.exe \
  --rate 2097152 --bundles "$DEMO/bundles" >"$DEMO/services.log" 2>&1 &
SERVICES=$!
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$DEMO/display" 2>"$DEMO/xvfb.log" &
XVFB=$!
trap 'kill $SERVICES $XVFB 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$DEMO/display" ] && grep -q "services up" "$DEMO/services.log" && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$DEMO/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# Inside the private bus: the accessibility bus, the program, the reader.
dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$1/bin/qm_downloader" debug >"$1/screen-reader.out" 2>&1 &
  APP=$!
  /usr/bin/python3 scripts/a11y-read.py 60
  status=$?
  for _ in $(seq 600); do kill -0 $APP 2>/dev/null || break; sleep 0.2; done
  kill $APP 2>/dev/null || true
  exit $status' _ "$DEMO" 2> >(grep -v "fd limit\|Activating service\|Successfully activated\|SpiRegistry" >&2)
for dir in "${PRODUCT_DIRS[@]}"; do
  if [ -f "$dir/started.txt" ]; then
    echo "the product was installed in $dir and started"
    exit 0
  fi
done
echo "the product was not started" >&2
exit 1
