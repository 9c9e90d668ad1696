#!/usr/bin/env bash
# run-all.sh BUILD_DIR
#
# Measures every row of the performance table in one run and ends with a
# summary: row, ours, peer, ratio, target, met/missed.
#   delay         40 MiB, every reply held back 50 ms: wall time against
#                 aria2c and curl (run-bench.sh SECTIONS=delay)
#   cpu           256 MiB unthrottled: CPU user+sys against curl
#                 (run-bench.sh SECTIONS=fast)
#   window-map,   window mapped after exec and peak RSS of an AutoRun install
#   install-rss   against a bare window (ui/window-start.sh, when present)
#   funnel p99    funnel enqueue p99 against the GA4 enqueue p99 (telemetry)
#   window-stall  longest window-thread stall and progress label pace while
#                 the window installs 256 MiB (ui/window-stall.sh)
# Builds what it needs in BUILD_DIR first (nothing to do when built). The
# window-start rows need a build pointed at the reference services: START_BUILD
# names one (as scripts/demo.sh makes build-demo; default BUILD_DIR). The
# load average is printed before each section: the machine may be shared.
# Needs what run-bench.sh needs (nginx, aria2c, curl, bc) and python3.
set -euo pipefail
BUILD=$(realpath "$1")
START_BUILD=$(realpath "${START_BUILD:-$1}")
HERE=$(cd "$(dirname "$0")" && pwd)
OUT=$(mktemp -d /tmp/qm-run-all.XXXXXX)
trap 'rm -rf "$OUT"' EXIT

cmake --build "$BUILD" --target qm-fetch qm-md5 qm-delay-proxy qm_bench_telemetry qm_bench_window_stall \
  qm-sign markeraser_setup >/dev/null

load() { echo "-- load $(cut -d' ' -f1-3 /proc/loadavg) before $1"; }
# wall or CPU seconds of TOOL in a run-bench.sh section's table.
column_of() { awk -v tool="$2" -v col="$3" '$1 == tool && NF >= 7 { print $col; exit }' "$1"; }

ROWS=$OUT/rows.txt
: > "$ROWS"
# row NAME OURS PEER TARGET_TEXT LIMIT UNIT: ratio ours/peer (when a peer),
# met when the compared value is at most LIMIT (or at least -LIMIT when
# LIMIT is negative: a floor). Compared: the ratio when TARGET_TEXT ends in
# "x", else ours.
row() { printf "%s|%s|%s|%s|%s|%s\n" "$@" >> "$ROWS"; }

load delay
SECTIONS=delay "$HERE/run-bench.sh" "$BUILD/tools/qm-fetch" "$BUILD/bench/qm-md5" 40 | tee "$OUT/delay.txt" || true
row "delay 40 MiB, 50 ms, wall s vs aria2c" "$(column_of "$OUT/delay.txt" qm-fetch 2)" \
  "$(column_of "$OUT/delay.txt" aria2c 2)" "<= 1.00x" 1.00 s
row "delay 40 MiB, 50 ms, wall s vs curl" "$(column_of "$OUT/delay.txt" qm-fetch 2)" \
  "$(column_of "$OUT/delay.txt" curl 2)" "(none)" "" s

load cpu
SECTIONS=fast "$HERE/run-bench.sh" "$BUILD/tools/qm-fetch" "$BUILD/bench/qm-md5" 256 | tee "$OUT/fast.txt" || true
row "256 MiB unthrottled, CPU s vs curl" "$(column_of "$OUT/fast.txt" qm-fetch 4)" \
  "$(column_of "$OUT/fast.txt" curl 4)" "<= 1.10x" 1.10 s

load window-start
if [ -x "$HERE/ui/window-start.sh" ]; then
  "$HERE/ui/window-start.sh" "$START_BUILD" | tee "$OUT/start.txt" || true
  ours=-; bare=-
  read -r _ _ ours _ bare _ _ < <(grep -E '^window-map +ours [0-9]' "$OUT/start.txt") || true
  row "window mapped after exec, ms vs bare" "$ours" "$bare" "<= 1.50x" 1.50 ms
  ours=-; bare=-
  read -r _ _ ours _ bare _ _ < <(grep -E '^install-rss +ours [0-9]' "$OUT/start.txt") || true
  row "peak RSS of an AutoRun install, KiB vs bare" "$ours" "$bare" "<= 2.00x" 2.00 KiB
else
  echo "window-start: not built"
  row "window mapped after exec, ms vs bare" "-" "-" "<= 1.50x" 1.50 ms
  row "peak RSS of an AutoRun install, KiB vs bare" "-" "-" "<= 2.00x" 2.00 KiB
fi

load telemetry
"$BUILD/bench/telemetry/qm_bench_telemetry" --benchmark_filter=Queue --benchmark_format=json \
  > "$OUT/telemetry.json" 2>/dev/null
python3 - "$OUT/telemetry.json" > "$OUT/telemetry.txt" <<'PY'
import json, sys
runs = {b["name"].split("/")[0]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
for name, label in (("BM_QueueFunnelWhileBusy", "funnel"), ("BM_QueueGa4WhileBusy", "ga4")):
    b = runs[name]
    print(f"{label} p50_us {b['p50_us']:.2f} p99_us {b['p99_us']:.2f} max_us {b['max_us']:.1f}")
PY
cat "$OUT/telemetry.txt"
row "funnel enqueue p99, us vs GA4 enqueue" "$(awk '$1 == "funnel" { print $5 }' "$OUT/telemetry.txt")" \
  "$(awk '$1 == "ga4" { print $5 }' "$OUT/telemetry.txt")" "<= 5 us" 5 us

load window-stall
"$HERE/ui/window-stall.sh" "$BUILD" | tee "$OUT/stall.txt" || true
stall=-; pace=-
read -r _ _ stall _ pace < <(grep '^window-stall max_ms' "$OUT/stall.txt") || true
row "window thread's longest stall, ms" "$stall" "" "<= 50 ms" 50 ms
row "progress label changes per s" "$pace" "" ">= 1 /s" -1 /s

echo
echo "== summary (load $(cut -d' ' -f1-3 /proc/loadavg))"
awk -F'|' '
  function num(v) { return v ~ /^[0-9.]+$/ }
  BEGIN { printf "%-44s %10s %10s %7s %10s %7s\n", "row", "ours", "peer", "ratio", "target", "result" }
  {
    ratio = (num($2) && num($3) && $3 > 0) ? sprintf("%.2fx", $2 / $3) : "-"
    value = ($4 ~ /x$/) ? (ratio == "-" ? "" : $2 / $3) : (num($2) ? $2 : "")
    result = "-"
    if ($5 != "" && value != "") {
      if ($5 < 0) result = (value >= -$5) ? "met" : "missed"
      else result = (value <= $5) ? "met" : "missed"
    } else if ($5 != "") result = "no data"
    printf "%-44s %10s %10s %7s %10s %7s\n", $1, ($2 == "" ? "-" : $2), ($3 == "" ? "-" : $3), ratio, $4, result
  }' "$ROWS"
