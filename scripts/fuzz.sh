#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ in build-fuzz (clang, ASan + UBSan),
# replays each harness's regression inputs, then fuzzes it for a bounded time
# (QM_FUZZ_SECONDS, 20 by default) starting from its seed corpus. Prints the
# executions per second and the corpus entries of every harness, also kept in
# build-fuzz/fuzz-summary.txt. Exit status non-zero when the build fails or any
# harness crashes, leaks, hangs or runs out of memory; the input that did it
# is left in build-fuzz/fuzz-artifacts/<name>/.
# Usage: scripts/fuzz.sh [extra cmake arguments...]
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
BUILD="$ROOT/build-fuzz"
SECONDS_EACH="${QM_FUZZ_SECONDS:-20}"

if ! cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_FUZZ=ON \
       -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "$@" >/dev/null ||
   ! cmake --build "$BUILD"; then
  echo "FAILED: fuzz build"
  exit 1
fi

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$ROOT/tests/support/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
# Harnesses that write files work in memory: a sync to disk per input would
# leave little time for fuzzing.
[ -d /dev/shm ] && export QM_FUZZ_SCRATCH=/dev/shm
FLAGS=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 -print_final_stats=1)

summary="$BUILD/fuzz-summary.txt"
printf '%-18s %10s %10s %8s\n' harness exec/s runs corpus > "$summary"
failed=()
for source in "$ROOT"/fuzz/*_fuzzer.cpp; do
  name="$(basename "$source" _fuzzer.cpp)"
  exe="$BUILD/fuzz/${name}_fuzzer"
  [ -x "$exe" ] || continue
  log="$BUILD/fuzz-logs/$name.log"
  work="$BUILD/fuzz-corpus/$name"
  artifacts="$BUILD/fuzz-artifacts/$name/"
  mkdir -p "$(dirname "$log")" "$artifacts"
  rm -rf "$work" && mkdir -p "$work"

  regressions=("$ROOT/fuzz/regressions/$name"/*)
  if [ -e "${regressions[0]}" ] &&
     ! "$exe" "${FLAGS[@]}" "${regressions[@]}" >"$log.regressions" 2>&1; then
    failed+=("$name (regression input, see $log.regressions)")
    continue
  fi

  if ! "$exe" "${FLAGS[@]}" -max_total_time="$SECONDS_EACH" -artifact_prefix="$artifacts" \
         "$work" "$ROOT/fuzz/corpus/$name" >"$log" 2>&1; then
    failed+=("$name (see $log)")
  fi
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  entries="$(grep -o 'corp: [0-9]*' "$log" | tail -1 | tr -dc 0-9)"
  printf '%-18s %10s %10s %8s\n' "$name" "${rate:-?}" "${runs:-?}" "${entries:-?}" >> "$summary"
done

cat "$summary"
if ((${#failed[@]})); then
  printf 'FAILED: fuzzing %s\n' "${failed[@]}"
  exit 1
fi
echo "Every harness ran ${SECONDS_EACH} s without a fault."
