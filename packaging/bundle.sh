#!/usr/bin/env bash
# Lays out the portable bundle from an installed tree:
#   bin/qm_downloader, bin/qt.conf, lib/ (every library not in a minimal
#   desktop system), plugins/ (Qt platforms xcb, wayland, offscreen and the
#   Wayland shell integration), qm-downloader (start script).
# RPATHs are rewritten to $ORIGIN-relative folders, so nothing points at the
# build machine. Usage: packaging/bundle.sh INSTALLED-USR STAGE-DIR
set -euo pipefail
SRC="$1"; STAGE="$2"
HERE="$(cd "$(dirname "$0")" && pwd)"
QTPLUG="$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)"
rm -rf "$STAGE"; mkdir -p "$STAGE/bin" "$STAGE/lib" "$STAGE/plugins"
cp "$SRC/bin/qm_downloader" "$STAGE/bin/"
cp "$SRC/lib/qm-downloader/libqmreport.so" "$STAGE/lib/"
cp "$HERE/qt.conf" "$STAGE/bin/"
for p in platforms/libqxcb.so platforms/libqwayland-generic.so platforms/libqoffscreen.so \
         wayland-shell-integration/libxdg-shell.so wayland-decoration-client/libbradient.so tls/libqopensslbackend.so; do
  mkdir -p "$STAGE/plugins/$(dirname "$p")"
  cp "$QTPLUG/$p" "$STAGE/plugins/$p"
done

# What a minimal desktop Debian system provides stays out of the bundle.
mapfile -t SYSTEM_LIBS < <(grep -v '^#' "$HERE/system-libraries.txt")
is_system() {
  local p
  for p in "${SYSTEM_LIBS[@]}"; do
    # shellcheck disable=SC2053  # the pattern is meant to glob
    [[ "$1" == $p ]] && return 0
  done
  return 1
}
# Copies the dependency closure of every ELF file in the stage into lib/.
changed=1
while ((changed)); do
  changed=0
  while read -r lib path; do
    is_system "$lib" && continue
    [ -e "$STAGE/lib/$lib" ] && continue
    cp -L "$path" "$STAGE/lib/$lib"; changed=1
  done < <(find "$STAGE" -type f -name '*.so*' -o -type f -path '*/bin/qm_downloader' |
           xargs -r ldd 2>/dev/null | awk '/=> \// {print $1, $3}' | sort -u)
done
strip --strip-unneeded "$STAGE"/lib/*.so* "$STAGE"/plugins/*/*.so 2>/dev/null || true

patchelf --set-rpath '$ORIGIN/../lib' "$STAGE/bin/qm_downloader"
for f in "$STAGE"/lib/*.so*; do patchelf --set-rpath '$ORIGIN' "$f"; done
for f in "$STAGE"/plugins/*/*.so; do patchelf --set-rpath '$ORIGIN/../../lib' "$f"; done

cat >"$STAGE/qm-downloader" <<'SH'
#!/bin/sh
# Starts the bundled program; Qt finds its plugins through bin/qt.conf.
here="$(dirname "$(readlink -f "$0")")"
exec "$here/bin/qm_downloader" "$@"
SH
chmod 755 "$STAGE/qm-downloader"
