#!/usr/bin/env bash
# window-stall.sh BUILD_DIR [SIZE_MIB]
#
# The real main window (offscreen) installs a signed package of SIZE_MIB
# (default 256) from a loopback nginx at full speed; prints
#   window-stall max_ms <ms> label_changes_per_s <n>
# (longest gap between 10 ms ticks of the window thread from the install
# click to the finished page; progress label changes a second while the
# package downloads). Targets: at most 50 ms, at least 1 a second.
# Needs the build's qm_bench_window_stall, qm-sign, the demo setup program
# and its publisher key:
#   cmake --build BUILD_DIR --target qm_bench_window_stall qm-sign markeraser_setup
# and nginx (nginx-light).
set -euo pipefail
BUILD=$(realpath "$1")
SIZE_MIB=${2:-256}
BENCH=$BUILD/bench/ui/qm_bench_window_stall
SETUP=$BUILD/tools/demo-product/markeraser_setup
for file in "$BENCH" "$BUILD/tools/qm-sign" "$SETUP" "$BUILD/publisher/publisher.key"; do
  [ -e "$file" ] || { echo "missing: $file" >&2; exit 1; }
done
command -v nginx >/dev/null || { echo "missing: nginx" >&2; exit 1; }

# shellcheck source=/dev/null
source "$(dirname "$0")/../nginx.sh"
WORK=$(mktemp -d /tmp/qm-window-stall.XXXXXX)
NGINX_PID=""
cleanup() {
  [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# The demo setup program padded to the size (an ELF ignores what follows
# it), then signed by the build's demo publisher.
mkdir -p "$WORK/www/downloads/extra" "$WORK/scratch"
PACKAGE=$WORK/www/downloads/extra/markeraser_setup.exe
cp "$SETUP" "$WORK/unsigned"
head -c "$(( SIZE_MIB * 1048576 - $(stat -c %s "$SETUP") ))" /dev/urandom >> "$WORK/unsigned"
"$BUILD/tools/qm-sign" --key "$BUILD/publisher/publisher.key" --cert "$BUILD/publisher/publisher.pem" \
  "$WORK/unsigned" "$PACKAGE"
rm "$WORK/unsigned"
chmod 755 "$WORK" "$WORK/www" "$WORK/www/downloads" "$WORK/www/downloads/extra"
chmod 644 "$PACKAGE"

PORT=$(( 20000 + RANDOM % 20000 ))
write_nginx_conf "$WORK" "$PORT"
start_nginx "$WORK"
URL="http://127.0.0.1:$PORT/downloads/extra/markeraser_setup.exe"
for _ in $(seq 100); do curl -sfI "$URL" >/dev/null && break; sleep 0.1; done

# The window's log goes to standard output too; only the result line is kept.
"$BENCH" "$URL" "$WORK/scratch" > "$WORK/bench.out" 2> "$WORK/bench.err" || {
  cat "$WORK/bench.err" >&2; grep -E "Error|error|ShowMsgBox|Click|round end" "$WORK/bench.out" | tail -n 20 >&2; exit 1; }
grep '^window-stall: ' "$WORK/bench.err" >&2 || true
grep '^window-stall max_ms' "$WORK/bench.out"
