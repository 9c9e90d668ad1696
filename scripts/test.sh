#!/usr/bin/env bash
# Installs, builds and runs every test: the normal build, then the unit tests
# again under ThreadSanitizer and under AddressSanitizer with UBSan.
# QM_SKIP_SANITIZERS=1 runs only the normal build (quick local loop).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS="$(nproc)"

# Test builds point every service at a closed loopback port.
HOSTS=(-C "$PWD/cmake/LoopbackHosts.cmake")
bash scripts/setup.sh build "${HOSTS[@]}"
(cd build && ctest --output-on-failure -j "$JOBS" --timeout 300)

if [ "${QM_SKIP_SANITIZERS:-0}" != "1" ]; then
  for kind in thread address; do
    dir="build-$kind"
    cmake "${HOSTS[@]}" -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE="$kind" >/dev/null
    cmake --build "$dir"
    (cd "$dir" && \
      TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/../tests/support/tsan.supp" \
      ASAN_OPTIONS="detect_leaks=1" \
      LSAN_OPTIONS="suppressions=$PWD/../tests/support/lsan.supp" \
      UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1" \
      ctest --output-on-failure -j "$JOBS" --timeout 600)
  done
fi
