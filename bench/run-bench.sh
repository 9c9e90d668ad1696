#!/usr/bin/env bash
# run-bench.sh QM_FETCH QM_MD5 [SIZE_MIB]
#
# Starts nginx on loopback serving a SIZE_MIB (default 256) file, then times
# qm-fetch against curl (one connection) and aria2c (-x N -s N -k 4M, N = our
# worker count):
#   fast   unthrottled;
#   slow   limit_rate 4m per connection;
#   rate   each request limited to 2 MB/s (2000000 bytes/s), packages of 8, 40
#          and 200 MiB, against the limit package / (N x 2 MB/s);
#   delay  40 MiB through a proxy that holds every request back 50 ms
#          (qm-delay-proxy, found beside QM_MD5 or in $DELAY_PROXY);
#   stall  the CPU of a stalled qm-fetch;
#   md5    checkMD5's throughput against openssl md5.
# SECTIONS (default "fast slow rate delay stall md5") picks what runs. Prints
# wall time, CPU (user+sys) and peak RSS with ratios, and the load average
# before each section (the machine may be shared).
# Needs nginx (nginx-light), aria2c and bc.
set -euo pipefail
QM_FETCH=$(realpath "$1")
QM_MD5=$(realpath "$2")
SIZE_MIB=${3:-256}
SECTIONS=${SECTIONS:-fast slow rate delay stall md5}
DELAY_PROXY=${DELAY_PROXY:-$(dirname "$QM_MD5")/qm-delay-proxy}
for tool in nginx aria2c curl openssl bc /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

# shellcheck source=/dev/null
source "$(dirname "$0")/nginx.sh"
WORK=$(mktemp -d /tmp/qm-bench.XXXXXX)
NGINX_PID=""
STALL_PID=""
PROXY_PID=""
cleanup() {
  [ -n "$STALL_PID" ] && kill -KILL "$STALL_PID" 2>/dev/null || true
  [ -n "$PROXY_PID" ] && kill -KILL "$PROXY_PID" 2>/dev/null || true
  [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

PROCS=$(nproc)
WORKERS=$(( PROCS * 8 / 5 ))
[ "$WORKERS" -lt 4 ] && WORKERS=4
PORT=$(( 20000 + RANDOM % 20000 ))
PROXY_PORT=$(( PORT + 1 ))
RATE=2000000
RATE_SIZES="8 40 200"

mkdir -p "$WORK/www/fast" "$WORK/www/slow" "$WORK/www/stall" "$WORK/www/rate" "$WORK/out"
head -c "$(( SIZE_MIB * 1048576 ))" /dev/urandom > "$WORK/www/fast/package.bin"
ln "$WORK/www/fast/package.bin" "$WORK/www/slow/package.bin"
ln "$WORK/www/fast/package.bin" "$WORK/www/stall/package.bin"
for size in $RATE_SIZES; do
  head -c "$(( size * 1048576 ))" /dev/urandom > "$WORK/www/rate/package-$size.bin"
  ln "$WORK/www/rate/package-$size.bin" "$WORK/www/fast/package-$size.bin"
done
# nginx workers may run as another user (www-data when started as root).
chmod 755 "$WORK" "$WORK/www" "$WORK/www/"*
chmod 644 "$WORK/www/"*/*.bin

write_nginx_conf "$WORK" "$PORT" "    location /slow/ { limit_rate 4m; }
    location /stall/ { limit_rate 1; }
    location /rate/ { limit_rate $RATE; }"
start_nginx "$WORK"
for _ in $(seq 100); do curl -sfI "http://127.0.0.1:$PORT/fast/package.bin" >/dev/null && break; sleep 0.1; done

# measure NAME URL_MD5 COMMAND...: one line "NAME wall cpu rss_kib md5ok",
# the run with the median wall time of REPEAT runs, each started after a sync
# so that writing back an earlier run's file does not land on the next one.
REPEAT=${REPEAT:-3}
measure() {
  local name=$1 want=$2; shift 2
  : > "$WORK/runs.txt"
  for _ in $(seq "$REPEAT"); do
    rm -f "$WORK/out/"*
    sync
    /usr/bin/time -f "%e %U %S %M" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/err.txt" || {
      echo "$name failed:" >&2; cat "$WORK/err.txt" >&2; }
    local got
    got=$(openssl md5 -r "$WORK/out/package.bin" 2>/dev/null | cut -d' ' -f1 || true)
    read -r wall user sys rss < <(tail -1 "$WORK/time.txt")
    printf "%s %s %s %s %s\n" "$name" "$wall" "$(echo "$user + $sys" | bc)" "$rss" \
      "$([ "$got" = "$want" ] && echo ok || echo BAD)" >> "$WORK/runs.txt"
  done
  sort -k2,2n "$WORK/runs.txt" | sed -n "$(( (REPEAT + 1) / 2 ))p"
}

md5_of() { openssl md5 -r "$1" | cut -d' ' -f1; }

fetch_qm() { measure qm-fetch "$2" "$QM_FETCH" "$1" "$WORK/out/package.bin" --offline-ok; }
fetch_curl() { measure curl "$2" curl -s -o "$WORK/out/package.bin" "$1"; }
fetch_aria2c() {
  measure aria2c "$2" aria2c -q -x "$WORKERS" -s "$WORKERS" -k 4M --file-allocation=none \
    --allow-overwrite=true --auto-file-renaming=false -d "$WORK/out" -o package.bin "$1"
}

run_mode() {
  local url="http://127.0.0.1:$PORT/$1/package.bin" want
  want=$(md5_of "$WORK/www/fast/package.bin")
  fetch_qm "$url" "$want"
  fetch_curl "$url" "$want"
  fetch_aria2c "$url" "$want"
}

report() {
  local title=$1 file=$2 size=${3:-$SIZE_MIB}
  echo
  echo "== $title ($size MiB, $WORKERS connections for qm-fetch and aria2c; load $(cut -d' ' -f1-3 /proc/loadavg))"
  awk -v size="$size" '
    { name[NR]=$1; wall[$1]=$2; cpu[$1]=$3; rss[$1]=$4; ok[$1]=$5 }
    END {
      printf "%-9s %8s %9s %8s %10s %8s\n", "tool", "wall s", "MiB/s", "cpu s", "peak RSS", "md5";
      for (i = 1; i <= NR; i++) { n = name[i];
        printf "%-9s %8.2f %9.1f %8.2f %7.1f MiB %8s\n", n, wall[n], size / wall[n], cpu[n], rss[n] / 1024, ok[n] }
      printf "qm-fetch/aria2c wall %.2f", wall["qm-fetch"] / wall["aria2c"]
      if ("curl" in wall) printf "   qm-fetch/curl wall %.2f   qm-fetch/curl cpu %.2f", wall["qm-fetch"] / wall["curl"], cpu["qm-fetch"] / cpu["curl"]
      printf "\n"
    }' "$file"
}

section() { [[ " $SECTIONS " == *" $1 "* ]]; }

if section fast; then
  run_mode fast > "$WORK/fast.txt"
  report "unthrottled loopback" "$WORK/fast.txt"
fi

if section slow; then
  REPEAT=1 run_mode slow > "$WORK/slow.txt"
  report "limit_rate 4m per connection" "$WORK/slow.txt"
  awk -v n="$WORKERS" -v size="$SIZE_MIB" '$1 == "qm-fetch" { printf "qm-fetch throughput %.1f MiB/s = %.2f x (%d x 4 MiB/s)\n", size / $2, size / $2 / (4 * n), n }' "$WORK/slow.txt"
fi

# Each request limited to 2 MB/s: the best any tool can do with N
# connections is package / (N x 2 MB/s).
if section rate; then
  for size in $RATE_SIZES; do
    url="http://127.0.0.1:$PORT/rate/package-$size.bin"
    want=$(md5_of "$WORK/www/rate/package-$size.bin")
    { REPEAT=1 fetch_qm "$url" "$want"; REPEAT=1 fetch_aria2c "$url" "$want"; } > "$WORK/rate-$size.txt"
    report "each request limited to 2 MB/s" "$WORK/rate-$size.txt" "$size"
    awk -v n="$WORKERS" -v size="$size" -v rate="$RATE" '
      { wall[$1] = $2 }
      END { limit = size * 1048576 / (n * rate);
        printf "limit %.2f s   qm-fetch/limit %.3f   aria2c/limit %.3f\n", limit, wall["qm-fetch"] / limit, wall["aria2c"] / limit }' \
      "$WORK/rate-$size.txt"
  done
fi

# 50 ms before every reply: what each extra request costs.
if section delay; then
  [ -x "$DELAY_PROXY" ] || { echo "missing: $DELAY_PROXY" >&2; exit 1; }
  "$DELAY_PROXY" "$PROXY_PORT" "$PORT" 50 &
  PROXY_PID=$!
  for _ in $(seq 100); do curl -sfI "http://127.0.0.1:$PROXY_PORT/fast/package-40.bin" >/dev/null && break; sleep 0.1; done
  url="http://127.0.0.1:$PROXY_PORT/fast/package-40.bin"
  want=$(md5_of "$WORK/www/fast/package-40.bin")
  { fetch_qm "$url" "$want"; fetch_curl "$url" "$want"; fetch_aria2c "$url" "$want"; } > "$WORK/delay.txt"
  report "50 ms before each reply" "$WORK/delay.txt" 40
  kill -KILL "$PROXY_PID"; wait "$PROXY_PID" 2>/dev/null || true; PROXY_PID=""
fi

# A stalled transfer: CPU over 10 seconds of a qm-fetch getting 1 byte/s.
if section stall; then
  rm -f "$WORK/out/"*
  "$QM_FETCH" "http://127.0.0.1:$PORT/stall/package.bin" "$WORK/out/package.bin" --offline-ok --rounds 1 \
    >/dev/null 2>&1 &
  STALL_PID=$!
  sleep 3
  TICKS=$(getconf CLK_TCK)
  before=$(awk '{ print $14 + $15 }' "/proc/$STALL_PID/stat")
  sleep 10
  after=$(awk '{ print $14 + $15 }' "/proc/$STALL_PID/stat")
  kill -KILL "$STALL_PID"; wait "$STALL_PID" 2>/dev/null || true; STALL_PID=""
  echo
  echo "== stalled transfer: $(echo "scale=2; ($after - $before) * 100 / ($TICKS * 10)" | bc) % of one core"
fi

# checkMD5 against openssl md5, file in the page cache.
if section md5; then
  cat "$WORK/www/fast/package.bin" > /dev/null
  md5_time() { /usr/bin/time -f "%e" -o "$WORK/md5.txt" "$@" >/dev/null; tail -1 "$WORK/md5.txt"; }
  md5_time "$QM_MD5" "$WORK/www/fast/package.bin" >/dev/null
  QM=$(md5_time "$QM_MD5" "$WORK/www/fast/package.bin")
  md5_time openssl md5 "$WORK/www/fast/package.bin" >/dev/null
  OS=$(md5_time openssl md5 "$WORK/www/fast/package.bin")
  echo
  awk -v q="$QM" -v o="$OS" -v size="$SIZE_MIB" 'BEGIN {
    printf "== MD5: checkMD5 %.0f MiB/s, openssl md5 %.0f MiB/s, ratio %.2f\n", size / q, size / o, o / q }'
fi
