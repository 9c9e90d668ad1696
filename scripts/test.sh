#!/usr/bin/env bash
# Installs, builds and runs every test: the normal build, then the unit tests
# again under ThreadSanitizer and under AddressSanitizer with UBSan. Every
# build runs even when an earlier one failed, so one run shows every failure;
# the exit status is non-zero when any build or test failed.
# Between the normal build and its tests, scripts/check-layers.sh checks that
# no include goes up a layer. The test builds treat warnings as errors
# (QM_WERROR=ON); a developer's own build does not.
# Then it fuzzes every parser of outside input for a bounded time
# (scripts/fuzz.sh). Between the normal build and the sanitizer builds,
# scripts/package.sh makes the release artifacts. QM_SKIP_SANITIZERS=1 runs only the normal build (quick
# local loop); QM_SKIP_FUZZ=1 leaves out the fuzzing.
set -uo pipefail
cd "$(dirname "$0")/.."
JOBS="$(nproc)"
ROOT="$PWD"

# Test builds point every service at a closed loopback port.
HOSTS=(-C "$ROOT/cmake/LoopbackHosts.cmake")
STRICT=(-DQM_WERROR=ON)
failed=()

run_tests() {  # build-dir timeout
  (cd "$1" && \
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$ROOT/tests/support/tsan.supp" \
    ASAN_OPTIONS="detect_leaks=1" \
    LSAN_OPTIONS="suppressions=$ROOT/tests/support/lsan.supp" \
    UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1" \
    ctest --output-on-failure -j "$JOBS" --timeout "$2")
}

built=0
bash scripts/setup.sh build "${HOSTS[@]}" "${STRICT[@]}" && built=1
# Cheap, before any test; needs only python3, which the set-up installs.
bash scripts/check-layers.sh || failed+=("layers (scripts/check-layers.sh)")
if ((built)); then
  run_tests build 300 || failed+=("tests (normal build)")
else
  failed+=("build (normal)")
fi

# The release artifacts (.deb through CPack with lintian, portable bundle):
# catches packaging breaks. The clean-root check (scripts/check-package.sh)
# fetches a base system and runs separately.
bash scripts/package.sh || failed+=("packaging")

if [ "${QM_SKIP_SANITIZERS:-0}" != "1" ]; then
  for kind in thread address; do
    dir="build-$kind"
    if cmake "${HOSTS[@]}" -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE="$kind" "${STRICT[@]}" >/dev/null &&
       cmake --build "$dir"; then
      run_tests "$dir" 900 || failed+=("tests ($kind sanitizer)")
    else
      failed+=("build ($kind sanitizer)")
    fi
  done
fi

# Every parser of outside input under libFuzzer for a bounded time.
if [ "${QM_SKIP_SANITIZERS:-0}" != "1" ] && [ "${QM_SKIP_FUZZ:-0}" != "1" ]; then
  bash scripts/fuzz.sh "${HOSTS[@]}" || failed+=("fuzzing")
fi

if ((${#failed[@]})); then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "All test builds passed."
