#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the demo and the
# benchmarks need (idempotent; run as root or with sudo available), then builds.
# Usage: scripts/setup.sh [build-dir [extra cmake arguments...]]
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libcurl4-openssl-dev libssl-dev zlib1g-dev libminizip-dev
  libjsoncpp-dev libtinyxml2-dev libeasyloggingpp-dev libproxy-dev
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev libgl-dev
  qt6-wayland libxcb-cursor0 xdg-utils
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  fonts-noto-core fonts-noto-cjk fonts-dejavu-core
  ca-certificates curl openssl
  nginx-light aria2 bc
  lldb llvm
  dbus-daemon dbus-bin
  clang libclang-rt-14-dev
  dpkg-dev fakeroot lintian patchelf zstd debootstrap xvfb weston xdotool
  at-spi2-core python3-pyatspi
  python3 clang-format
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR="${1:-build}"
shift || true
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR"
