#!/usr/bin/env bash
# Builds the program pointed at the local reference services, starts them,
# runs the program's start-up unattended, then the install flow without a
# window, and shows where the product was installed.
set -euo pipefail
cd "$(dirname "$0")/.."

LOOP=http://127.0.0.1
bash scripts/setup.sh build-demo -DQM_BUILD_TESTS=OFF \
  -DQM_DOWNLOAD_HOST=http://dl.localhost:18082 -DQM_SITE_HOST=$LOOP:18082 \
  -DQM_CONFIG_SERVICE_HOST=$LOOP:18080 -DQM_CONFIG_MIRROR_HOST=$LOOP:18081 -DQM_CONFIG_TEST_HOST=$LOOP:18080 \
  -DQM_EXCEPTION_HOST=$LOOP:18083 -DQM_EXCEPTION_TEST_HOST=$LOOP:18083 -DQM_GA4_HOST=$LOOP:18083 \
  -DQM_FUNNEL_HOST=$LOOP:18083 -DQM_USER_HOST=$LOOP:18083 -DQM_GEO_HOST=$LOOP:18083 \
  -DQM_BANNER_HOST=$LOOP:18083 -DQM_BANNER_TEST_HOST=$LOOP:18083 -DQM_LOGUPLOAD_HOST=$LOOP:18083

DEMO="$PWD/build-demo/demo"
rm -rf "$DEMO"
mkdir -p "$DEMO/bin" "$DEMO/home/run"
chmod 700 "$DEMO/home/run"
cp build-demo/src/qm_downloader build-demo/tools/qm-install/qm-install "$DEMO/bin/"
export HOME="$DEMO/home" XDG_STATE_HOME="$DEMO/home/state" XDG_CACHE_HOME="$DEMO/home/cache"
export XDG_RUNTIME_DIR="$DEMO/home/run" XDG_DATA_HOME="$DEMO/home/share" XDG_CONFIG_HOME="$DEMO/home/config"
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen

build-demo/tools/reference-services/qm-reference-services build-demo/demo-packages --bundles "$DEMO/bundles" >"$DEMO/services.log" 2>&1 &
SERVICES=$!
trap 'kill $SERVICES 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q "services up" "$DEMO/services.log" 2>/dev/null && break; sleep 0.1; done
head -n 1 "$DEMO/services.log"

echo "== qm_downloader debug, AutoRun=1 (the window closes itself)"
printf '[Settings]\nAutoRun=1\n' >"$DEMO/bin/qm_downloader.cfg"
"$DEMO/bin/qm_downloader" debug
echo "== exit code $?"

echo "== install flow without a window"
"$DEMO/bin/qm-install" --dir "$DEMO/home/opt/Vantor Mark Eraser"
echo "== the installed product:"
"$DEMO/home/opt/Vantor Mark Eraser/MarkEraser.exe"
echo "== requests the reference services saw:"
tail -n +2 "$DEMO/services.log" | sort | uniq -c | sort -rn | head -n 12
