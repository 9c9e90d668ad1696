#!/usr/bin/env bash
# Builds the program pointed at the local reference services, starts them,
# and lets qm_downloader install and start the product: in a real window when
# a display is present, else offscreen and unattended.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/demo-hosts.sh
bash scripts/setup.sh build-demo -DQM_BUILD_TESTS=OFF "${DEMO_HOSTS[@]}"

DEMO="$PWD/build-demo/demo"
rm -rf "$DEMO"
mkdir -p "$DEMO/bin" "$DEMO/home/run"
chmod 700 "$DEMO/home/run"
cp build-demo/src/qm_downloader "$DEMO/bin/"
export HOME="$DEMO/home" XDG_STATE_HOME="$DEMO/home/state" XDG_CACHE_HOME="$DEMO/home/cache"
export XDG_RUNTIME_DIR="$DEMO/home/run" XDG_DATA_HOME="$DEMO/home/share" XDG_CONFIG_HOME="$DEMO/home/config"

# The demo package (about 26 MiB) comes at 2 MiB/s per connection, so several
# ranges download in parallel and the progress moves for a few seconds.
build-demo/tools/reference-services/qm-reference-services build-demo/demo-packages markeraser_setup_demo.exe \
  --rate 2097152 --bundles "$DEMO/bundles" >"$DEMO/services.log" 2>&1 &
SERVICES=$!
trap 'kill $SERVICES 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q "services up" "$DEMO/services.log" 2>/dev/null && break; sleep 0.1; done
head -n 1 "$DEMO/services.log"

rm -f "/opt/Vantor/Vantor Mark Eraser/started.txt" "$HOME/.local/opt/Vantor/Vantor Mark Eraser/started.txt"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== qm_downloader: click the install button; the product starts when it is installed"
  "$DEMO/bin/qm_downloader"
elif command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  echo "== qm_downloader debug on a virtual screen, used from the keyboard only: Enter installs"
  bash scripts/demo-keyboard.sh "$DEMO" | tee "$DEMO/keyboard.out"
else
  echo "== qm_downloader debug, offscreen with AutoRun=1: installs and starts the product by itself (no telemetry in this mode)"
  export QT_QPA_PLATFORM=offscreen
  printf '[Settings]\nAutoRun=1\n' >"$DEMO/bin/qm_downloader.cfg"
  "$DEMO/bin/qm_downloader" debug | tee "$DEMO/downloader.out" | grep -E "Click install|UrlUsed|round (begin|end)|PackageSize|after md5|VerifyEmbeddedSignature|Start Install CmdLine|install Finished|Force Exit 8|Wait exit 3" || true
fi

echo "== the installed product:"
for dir in "/opt/Vantor/Vantor Mark Eraser" "$HOME/.local/opt/Vantor/Vantor Mark Eraser"; do
  if [ -f "$dir/started.txt" ]; then
    echo "installed in $dir by qm_downloader, which started it:"
    cat "$dir/started.txt"
  fi
done
echo "== funnel documents the reference collector received with product_version and tools_lang filled:"
grep -c "funnel document complete" "$DEMO/services.log" || true
if [ -f "$DEMO/downloader.out" ]; then
  echo "== \"send funnel fail\" lines in the program's output:"
  grep -c "send funnel fail" "$DEMO/downloader.out" || true
fi
echo "== requests the reference services saw:"
tail -n +2 "$DEMO/services.log" | sort | uniq -c | sort -rn | head -n 12
