#!/usr/bin/env bash
# Builds a release (RelWithDebInfo, stripped; debug information kept as
# <build>/debug/.build-id/xx/rest.debug) and makes the two artifacts in
# build-package/out:
#   qm-downloader_<version>_amd64.deb     through CPack (dpkg-shlibdeps), checked by lintian
#   qm-downloader-<version>-x86_64.tar.xz  portable bundle: program, libraries, Qt plugins,
#                                          RPATH $ORIGIN/../lib, qt.conf, start script
# Usage: scripts/package.sh [build-dir [extra cmake arguments...]]
# QM_PACKAGE_OUT names another output folder (the clean-root check uses one).
# Extra arguments reach cmake, e.g. the service hosts (scripts/check-package.sh
# passes the reference services' loopback hosts).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
BUILD="${1:-build-package/build}"
shift || true
OUT="${QM_PACKAGE_OUT:-$ROOT/build-package/out}"
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
# Objects are shared between build folders (the clean-root check builds the
# same sources with other hosts), so the cache ignores the folder name; the
# debug information's compile folder may then name another package build.
export CCACHE_NOHASHDIR=1

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_BUILD_TESTS=OFF "$@" >/dev/null
cmake --build "$BUILD" --target qm_downloader
VERSION="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")"
rm -rf "$OUT" && mkdir -p "$OUT"

# The Debian package.
(cd "$BUILD" && cpack -G DEB -B "$OUT/cpack" >/dev/null)
mv "$OUT"/cpack/qm-downloader_*.deb "$OUT/"
DEB="$(ls "$OUT"/qm-downloader_*.deb)"
echo "== lintian $(basename "$DEB")"
lintian --no-tag-display-limit "$DEB" | tee "$OUT/lintian.txt" || true
if grep -q '^E:' "$OUT/lintian.txt"; then echo "lintian reports errors" >&2; exit 1; fi

# The portable bundle, staged from a plain install (stripped the same way).
NAME="qm-downloader-$VERSION-x86_64"
STAGE="$OUT/$NAME"
DESTDIR="$OUT/install" cmake --install "$BUILD" --prefix /usr >/dev/null
bash "$ROOT/packaging/bundle.sh" "$OUT/install/usr" "$STAGE"
# xz -9e: about 24 MiB where zstd -19 gives about 27 (ICU's data is most of
# the bytes, and LZMA's larger window finds more of its repeats).
tar -C "$OUT" --owner=0 --group=0 --numeric-owner --sort=name -cf - "$NAME" | xz -9e -T0 >"$OUT/$NAME.tar.xz"
rm -rf "$OUT/install" "$OUT/cpack"
ls -l "$OUT"/*.deb "$OUT"/*.tar.xz
