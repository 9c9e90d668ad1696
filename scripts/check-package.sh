#!/usr/bin/env bash
# Proves both artifacts on clean Debian 12 systems (run as root; fetches a
# base system, so it is not part of scripts/test.sh):
#   1. a debootstrap --variant=minbase root installs the .deb with apt-get and
#      runs the installed program offscreen with AutoRun=1 against the
#      reference services (loopback, shared with the chroot);
#   2. a second fresh root, with no Qt and no development package, unpacks the
#      portable bundle, checks with ldd that every file resolves inside the
#      bundle or to a minimal desktop system, and does the same run.
# Prints the artifact sizes and, for each, the time from start to the end of
# the whole AutoRun run (the program logs no first-paint mark, so this wall
# time stands in for it). The mirror is the one apt on this machine uses.
# Needs build-package/out from scripts/package.sh and the reference services
# (built into build-demo by scripts/demo.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
OUT="$ROOT/build-package/out"
ROOTS="$ROOT/build-package/roots"
DEB="$(ls "$OUT"/qm-downloader_*_amd64.deb)"
BUNDLE="$(ls "$OUT"/qm-downloader-*-x86_64.tar.zst)"
SERVICES_BIN="$ROOT/build-demo/tools/reference-services/qm-reference-services"

mirror() {  # first Debian URI of this machine's apt sources
  { grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
    grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list | awk '{print $2}'; } |
    grep -m1 -i debian
}
MIRROR="$(mirror)"

MOUNTS=()
cleanup() {
  for m in "${MOUNTS[@]}"; do umount -l "$m" 2>/dev/null || true; done
  [ -n "${SERVICES:-}" ] && kill "$SERVICES" 2>/dev/null || true
}
trap cleanup EXIT

make_root() {  # dir extra-packages
  if [ ! -x "$1/usr/bin/apt-get" ]; then
    rm -rf "$1"
    debootstrap --variant=minbase ${2:+--include="$2"} bookworm "$1" "$MIRROR" >/dev/null
  fi
  for m in proc dev; do
    mountpoint -q "$1/$m" || { mount --bind "/$m" "$1/$m"; MOUNTS+=("$1/$m"); }
  done
  cp /etc/resolv.conf "$1/etc/resolv.conf" 2>/dev/null || true
}

run_in_root() {  # root program -> prints run ms; fails unless the product started
  local r="$1" prog="$2"
  chroot "$r" sh -c 'rm -rf /opt/Vantor /root/.local/opt/Vantor; mkdir -p /root/run && chmod 700 /root/run'
  printf '[Settings]\nAutoRun=1\n' >"$r/$(dirname "$prog")/qm_downloader.cfg"
  local t0 t1
  t0=$(date +%s%N)
  chroot "$r" env HOME=/root XDG_RUNTIME_DIR=/root/run QT_QPA_PLATFORM=offscreen \
    QT_LOGGING_RULES="qt.qpa.*=false" timeout 300 "$prog" debug >"$r/run.log" 2>&1 || true
  t1=$(date +%s%N)
  if ! chroot "$r" sh -c 'ls /opt/Vantor/*/started.txt /root/.local/opt/Vantor/*/started.txt 2>/dev/null' | grep -q .; then
    echo "product not installed and started from $prog; log:" >&2; tail -n 30 "$r/run.log" >&2; return 1
  fi
  echo "$(( (t1 - t0) / 1000000 ))"
}

"$SERVICES_BIN" "$ROOT/build-demo/demo-packages" markeraser_setup_demo.exe \
  --bundles "$ROOTS/bundles" >"$ROOTS.services.log" 2>&1 &
SERVICES=$!
for _ in $(seq 50); do grep -q "services up" "$ROOTS.services.log" 2>/dev/null && break; sleep 0.1; done

echo "== Debian package in a minimal root"
make_root "$ROOTS/system" ""
cp "$DEB" "$ROOTS/system/tmp/"
chroot "$ROOTS/system" sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/$(basename "$DEB")" >/dev/null
SYSTEM_MS=$(run_in_root "$ROOTS/system" /usr/bin/qm_downloader)
echo "system build: product installed and started; ${SYSTEM_MS} ms"

echo "== portable bundle in a fresh root without Qt"
# The client libraries a desktop has; nothing of Qt.
make_root "$ROOTS/bundle" "libx11-6,libx11-xcb1,libxcb1,libwayland-client0,libwayland-cursor0,libwayland-egl1,libegl1,libgl1,libfontconfig1"
rm -rf "$ROOTS/bundle/opt/bundle" && mkdir -p "$ROOTS/bundle/opt/bundle"
zstd -dc "$BUNDLE" | tar -C "$ROOTS/bundle/opt/bundle" -xf -
DIR="$(ls -d "$ROOTS"/bundle/opt/bundle/qm-downloader-*)"
missing=$(chroot "$ROOTS/bundle" sh -c "find /opt/bundle -name '*.so*' -o -name qm_downloader -type f | xargs ldd 2>&1 | grep 'not found' | sort -u" || true)
if [ -n "$missing" ]; then echo "unresolved libraries:" >&2; echo "$missing" >&2; exit 1; fi
echo "ldd: every file resolves inside the bundle or to the minimal system"
BUNDLE_MS=$(run_in_root "$ROOTS/bundle" "/opt/bundle/$(basename "$DIR")/bin/qm_downloader")
echo "bundle: product installed and started; ${BUNDLE_MS} ms"

echo "== sizes"
ls -l "$DEB" "$BUNDLE" | awk '{printf "%s %.1f MiB\n", $NF, $5/1048576}'
echo "bundle/system run time ratio: $(echo "scale=2; $BUNDLE_MS / $SYSTEM_MS" | bc)"
