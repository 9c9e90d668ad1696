#!/usr/bin/env bash
# Proves both artifacts on clean Debian 12 systems (run as root; fetches a
# base system, so it is not part of scripts/test.sh):
#   1. builds both artifacts again with scripts/package.sh, pointed at the
#      local reference services (the demo's host settings, in
#      build-package/check-build and build-package/check-out), and the
#      reference services with their signed demo package;
#   2. a fresh debootstrap --variant=minbase root installs the .deb with
#      apt-get and runs the installed program offscreen with AutoRun=1
#      against the reference services (loopback, shared with the chroot): the
#      product must be installed and started;
#   3. a second fresh root with the desktop's client libraries and no Qt and
#      no development package unpacks the portable bundle, checks with ldd
#      that every file resolves inside the bundle or to a library of that
#      minimal system, does the same run, and opens the window under X11
#      (Xvfb) and Wayland (headless weston) too.
# Prints the sizes of the release artifacts (build-package/out) and the time
# from start to the window's first paint for the installed .deb and for the
# bundle (median of seven runs each, the two taking turns), and their ratio.
# The base systems come from the Debian mirror this machine's apt uses and
# are kept as tarballs in ~/.cache/qm-check (QM_CHECK_CACHE), so reruns start
# from a fresh copy without fetching again.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
ROOT="$PWD"
RELEASE_OUT="$ROOT/build-package/out"
CHECK_BUILD="$ROOT/build-package/check-build"
CHECK_OUT="$ROOT/build-package/check-out"
ROOTS="$ROOT/build-package/roots"
CACHE="${QM_CHECK_CACHE:-$HOME/.cache/qm-check}"
PAINT_RUNS=7
# The client libraries a desktop has; nothing of Qt.
DESKTOP_LIBS="libx11-6,libx11-xcb1,libxcb1,libwayland-client0,libwayland-cursor0,libwayland-egl1,libegl1,libgl1,libfontconfig1"

die() { echo "check-package: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || die "run as root (debootstrap and chroot)"
mkdir -p "$CACHE" "$ROOTS" && chmod 700 "$CACHE"

mirror() {  # the main Debian archive of this machine's apt sources
  { grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources || true
    grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list || true; } | awk '{print $2}' |
    grep -i debian | grep -v -- '-security' | head -n 1
}
MIRROR="$(mirror)"
[ -n "$MIRROR" ] || die "no Debian archive in this machine's apt sources"

PIDS=()
cleanup() {
  local p
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
  for r in "$ROOTS"/system "$ROOTS"/bundle; do unmount_all "$r"; done
}
unmount_all() {  # every mount under a root, deepest first
  { findmnt -rn -o TARGET | grep -F "$1/" || true; } | sort -r | while read -r m; do umount -l "$m" || true; done
}
trap cleanup EXIT

# 1. The artifacts under check, pointed at the reference services
# (QM_CHECK_REUSE=1 keeps those of an earlier run).
source scripts/demo-hosts.sh
if [ "${QM_CHECK_REUSE:-0}" != 1 ] || ! ls "$CHECK_OUT"/*.deb >/dev/null 2>&1; then
  echo "== building the artifacts under check (reference-service hosts)"
  QM_PACKAGE_OUT="$CHECK_OUT" bash scripts/package.sh "$CHECK_BUILD" "${DEMO_HOSTS[@]}" >"$ROOTS/package.log" 2>&1 ||
    { tail -n 30 "$ROOTS/package.log" >&2; die "package.sh failed"; }
fi
cmake --build "$CHECK_BUILD" --target qm-reference-services markeraser_setup_demo >>"$ROOTS/package.log" 2>&1 ||
  { tail -n 30 "$ROOTS/package.log" >&2; die "reference services did not build"; }
DEB="$(ls "$CHECK_OUT"/qm-downloader_*_amd64.deb)"

# A fresh root from a cached debootstrap of the given packages.
fresh_root() {  # dir extra-packages
  local dir="$1" key tar tmp
  key="$(printf 'bookworm minbase %s %s' "$MIRROR" "$2" | sha256sum | cut -c1-12)"
  tar="$CACHE/bookworm-minbase-$key.tar"
  if [ ! -s "$tar" ]; then
    echo "   debootstrap --variant=minbase bookworm ${2:+(with $2)}"
    tmp="$(mktemp -d "$CACHE/root.XXXXXX")"
    debootstrap --variant=minbase ${2:+--include="$2"} bookworm "$tmp" "$MIRROR" >"$CACHE/debootstrap.log" 2>&1 ||
      { tail -n 20 "$CACHE/debootstrap.log" >&2; rm -rf "$tmp"; die "debootstrap failed"; }
    tar -C "$tmp" -cf "$tar.part" . && mv "$tar.part" "$tar"
    rm -rf "$tmp"
  fi
  unmount_all "$dir"
  if findmnt -rn -o TARGET | grep -qF "$dir/"; then die "$dir still has mounts"; fi
  rm -rf "$dir" && mkdir -p "$dir"
  tar -C "$dir" -xf "$tar"
  mount -t proc proc "$dir/proc"
  mount -t sysfs sysfs "$dir/sys"
  cp /etc/resolv.conf "$dir/etc/resolv.conf"
}

in_root() {  # root command... : runs with the program's environment (EXEC=1: in place of the shell)
  local r="$1"; shift
  ${EXEC:+exec} chroot "$r" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root XDG_RUNTIME_DIR=/root/run \
    QT_QPA_PLATFORM="${QPA:-offscreen}" ${DISPLAY_FOR_ROOT:+DISPLAY=$DISPLAY_FOR_ROOT} \
    ${WAYLAND_FOR_ROOT:+WAYLAND_DISPLAY=$WAYLAND_FOR_ROOT} QM_MARK_FIRST_PAINT=1 "$@"
}

# Installs and starts the product with AutoRun=1; fails unless it started.
install_run() {  # root launcher program-dir
  local r="$1"
  chroot "$r" sh -c 'rm -rf /opt/Vantor /root/.local/opt/Vantor; mkdir -p /root/run && chmod 700 /root/run'
  printf '[Settings]\nAutoRun=1\n' >"$r$3/qm_downloader.cfg"
  in_root "$r" timeout 300 "$2" debug >"$r/run.log" 2>&1 || true
  rm -f "$r$3/qm_downloader.cfg"
  if ! chroot "$r" sh -c 'ls /opt/Vantor/*/started.txt /root/.local/opt/Vantor/*/started.txt 2>/dev/null; true' | grep -q .; then
    tail -n 30 "$r/run.log" >&2; die "product not installed and started from $2 in $r"
  fi
  echo "   $(chroot "$r" sh -c 'cat /opt/Vantor/*/started.txt /root/.local/opt/Vantor/*/started.txt 2>/dev/null; true' | head -n 1)"
}

# Start to first paint in ms: the program writes the wall clock of its first
# paint when QM_MARK_FIRST_PAINT is set; the window is then closed.
first_paint_ms() {  # root launcher
  local r="$1" t0 pid mark
  rm -f "$r/paint.log"
  t0="$(date +%s%3N)"
  # In place of the background shell, so that $! is the program itself.
  EXEC=1 in_root "$r" "$2" >"$r/paint.log" 2>&1 &
  pid=$!
  for _ in $(seq 600); do grep -q '^first paint ' "$r/paint.log" && break; sleep 0.1; done
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" || true
  mark="$(sed -n 's/^first paint \([0-9]*\)$/\1/p' "$r/paint.log" | head -n 1)"
  [ -n "$mark" ] || { tail -n 20 "$r/paint.log" >&2; die "no first paint from $2 (${QPA:-offscreen})"; }
  echo $((mark - t0))
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

SERVICES_LOG="$ROOTS/services.log"
"$CHECK_BUILD/tools/reference-services/qm-reference-services" "$CHECK_BUILD/demo-packages" \
  markeraser_setup_demo.exe --bundles "$ROOTS/bundles" >"$SERVICES_LOG" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do grep -q "services up" "$SERVICES_LOG" 2>/dev/null && break; sleep 0.1; done
grep -q "services up" "$SERVICES_LOG" || { cat "$SERVICES_LOG" >&2; die "reference services did not start"; }

# 2. The Debian package.
echo "== Debian package in a fresh minimal root"
SYS="$ROOTS/system"
fresh_root "$SYS" ""
mkdir -p "$CACHE/apt-archives/partial" "$SYS/var/cache/apt/archives"
mount --bind "$CACHE/apt-archives" "$SYS/var/cache/apt/archives"
cp "$DEB" "$SYS/tmp/"
chroot "$SYS" sh -c "cd /tmp && apt-get -o APT::Sandbox::User=root update -qq && DEBIAN_FRONTEND=noninteractive apt-get -o APT::Sandbox::User=root install -y ./$(basename "$DEB")" \
  >"$ROOTS/apt.log" 2>&1 || { tail -n 30 "$ROOTS/apt.log" >&2; die "apt-get install failed"; }
umount "$SYS/var/cache/apt/archives"
install_run "$SYS" /usr/bin/qm_downloader /usr/bin
echo "   system build: product installed and started"

# 3. The portable bundle.
echo "== portable bundle in a fresh root without Qt"
BUNDLE="$(ls "$CHECK_OUT"/qm-downloader-*-x86_64.tar.xz)"
BR="$ROOTS/bundle"
fresh_root "$BR" "$DESKTOP_LIBS"
# libglvnd's OpenGL library, which Qt's GUI library links, is part of a
# desktop's GL too.
chroot "$BR" sh -c "apt-get -o APT::Sandbox::User=root update -qq && apt-get -o APT::Sandbox::User=root install -y -qq --no-install-recommends libopengl0" \
  >"$ROOTS/apt-bundle.log" 2>&1 || { tail -n 20 "$ROOTS/apt-bundle.log" >&2; die "apt-get in the bundle's root failed"; }
extra="$(chroot "$BR" dpkg-query -W -f '${Package}\n' | grep -Ei 'qt|-dev$' || true)"
[ -z "$extra" ] || die "the bundle's root is not clean: $extra"
mkdir -p "$BR/opt/bundle"
tar -C "$BR/opt/bundle" -xJf "$BUNDLE"
NAME="$(basename "$BUNDLE" .tar.xz)"
DIR="/opt/bundle/$NAME"

# Every ELF file resolves, inside the bundle or to a library of this minimal
# system (the root has nothing else).
report="$(find "$BR$DIR" -type f | while read -r f; do
            if [ "$(head -c 4 "$f")" = $'\x7fELF' ]; then echo "${f#"$BR"}"; fi
          done | chroot "$BR" xargs ldd 2>&1)"
bad="$(grep 'not found' <<<"$report" | sort -u || true)"
[ -z "$bad" ] || { printf '%s\n' "$bad" >&2; die "bundle files do not resolve inside the bundle and the minimal system"; }
echo "   ldd: every file resolves inside the bundle or to the minimal system"
install_run "$BR" "$DIR/qm-downloader" "$DIR/bin"
echo "   bundle: product installed and started"

# The bundle's window under X11 and Wayland servers of the host; loopback
# and abstract sockets are shared with the chroot, the Wayland socket is
# made inside the root.
Xvfb -displayfd 3 -nolisten tcp 3>"$ROOTS/xdisplay" 2>"$ROOTS/xvfb.log" &
PIDS+=($!)
for _ in $(seq 100); do [ -s "$ROOTS/xdisplay" ] && break; sleep 0.1; done
xdisplay="$(head -n 1 "$ROOTS/xdisplay")"
[ -n "$xdisplay" ] || { cat "$ROOTS/xvfb.log" >&2; die "Xvfb did not start"; }
QPA=xcb DISPLAY_FOR_ROOT=":$xdisplay" first_paint_ms "$BR" "$DIR/qm-downloader" >/dev/null
echo "   bundle: window painted under X11 (Xvfb)"
mkdir -p "$BR/root/run" && chmod 700 "$BR/root/run"
XDG_RUNTIME_DIR="$BR/root/run" weston --backend=headless-backend.so --socket=wayland-qm --idle-time=0 \
  >"$ROOTS/weston.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do [ -S "$BR/root/run/wayland-qm" ] && break; sleep 0.1; done
[ -S "$BR/root/run/wayland-qm" ] || { cat "$ROOTS/weston.log" >&2; die "weston did not start"; }
QPA=wayland WAYLAND_FOR_ROOT=wayland-qm first_paint_ms "$BR" "$DIR/qm-downloader" >/dev/null
echo "   bundle: window painted under Wayland (weston)"

# The two take turns, so that a load on the machine weighs on both alike.
SYSTEM_RUNS=() BUNDLE_RUNS=()
for _ in $(seq "$PAINT_RUNS"); do
  SYSTEM_RUNS+=("$(first_paint_ms "$SYS" /usr/bin/qm_downloader)")
  BUNDLE_RUNS+=("$(first_paint_ms "$BR" "$DIR/qm-downloader")")
done
SYSTEM_MS="$(median "${SYSTEM_RUNS[@]}")"
BUNDLE_MS="$(median "${BUNDLE_RUNS[@]}")"

echo "== release artifacts"
for f in "$RELEASE_OUT"/qm-downloader_*.deb "$RELEASE_OUT"/qm-downloader-*.tar.xz; do
  [ -e "$f" ] && stat -c '%s %n' "$f" | awk '{printf "   %s: %d B (%.1f MiB)\n", $2, $1, $1 / 1048576}'
done
echo "== start to first paint, median of $PAINT_RUNS runs (offscreen)"
echo "   system build (.deb): ${SYSTEM_MS} ms (runs: ${SYSTEM_RUNS[*]})"
echo "   bundle:              ${BUNDLE_MS} ms (runs: ${BUNDLE_RUNS[*]})"
echo "   bundle / system:     $(awk -v b="$BUNDLE_MS" -v s="$SYSTEM_MS" 'BEGIN { printf "%.2f", b / s }')"
