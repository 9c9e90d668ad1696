#!/usr/bin/env bash
# window-start.sh BUILD_DIR
#
# The main window's start-up time and the memory of a whole install, each
# against a bare Qt Widgets window of the same size (qm_bench_bare_window):
#
#   window-map   milliseconds from exec to the window's first paint on a real
#                X server (Xvfb on a free display). Both programs write
#                "first paint <epoch ms>" to stderr at the first paint of
#                their window (ours under QM_MARK_FIRST_PAINT=1), and the
#                clock starts in the shell just before exec. RUNS (default 9)
#                runs each, ours and bare taking turns; medians.
#   install-rss  peak RSS (/usr/bin/time %M, KiB) of a whole offscreen AutoRun
#                install of the demo package (about 26 MiB) against the local
#                reference services, and of the bare window painting offscreen.
#
# Prints, after the load average and the runs (with the program's start-up
# steps of its last run, see ui::MarkStartupStep):
#   window-map  ours <ms> bare <ms> ratio <x>
#   install-rss ours <KiB> bare <KiB> ratio <x>
#
# BUILD_DIR must be a build pointed at the reference services (the cmake
# arguments of scripts/demo-hosts.sh, as scripts/demo.sh makes build-demo)
# with the targets qm_downloader, qm_bench_bare_window, qm-reference-services
# and markeraser_setup_demo built. Run as root, the install goes to a private
# /opt of its own mount namespace; otherwise to the scratch home.
# Needs Xvfb, bc and /usr/bin/time.
set -euo pipefail
BUILD=$(realpath "${1:?usage: window-start.sh BUILD_DIR}")
RUNS=${RUNS:-9}
QM="$BUILD/src/qm_downloader"
BARE="$BUILD/bench/ui/qm_bench_bare_window"
SERVICES="$BUILD/tools/reference-services/qm-reference-services"
PACKAGES="$BUILD/demo-packages"
die() { echo "window-start: $*" >&2; exit 1; }
for f in "$QM" "$BARE" "$SERVICES" "$PACKAGES/markeraser_setup_demo.exe"; do
  [ -e "$f" ] || die "missing $f (build the targets named in this script's header)"
done
for tool in Xvfb bc /usr/bin/time; do command -v "$tool" >/dev/null || die "missing: $tool"; done
grep -q "127.0.0.1:18080" "$QM" || die "$QM is not pointed at the reference services (see scripts/demo-hosts.sh)"

WORK=$(mktemp -d /tmp/qm-window-start.XXXXXX)
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT

# A scratch home: the program's logs, work folder, registry store and lock
# files stay in it.
use_home() {
  export HOME="$1" XDG_STATE_HOME="$1/state" XDG_CACHE_HOME="$1/cache" XDG_DATA_HOME="$1/share"
  export XDG_CONFIG_HOME="$1/config" XDG_RUNTIME_DIR="$1/run"
  mkdir -p "$1/run" && chmod 700 "$1/run"
}
mkdir -p "$WORK/map/bin" "$WORK/auto/bin"
cp "$QM" "$WORK/map/bin/" && cp "$QM" "$WORK/auto/bin/"
printf '[Settings]\nAutoRun=1\n' >"$WORK/auto/bin/qm_downloader.cfg"
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
ratio() { echo "scale=2; $1 / $2" | bc | sed 's/^\./0./'; }

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

# --- window-map -------------------------------------------------------------
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$WORK/xdisplay" 2>"$WORK/xvfb.log" &
PIDS+=($!)
for _ in $(seq 100); do [ -s "$WORK/xdisplay" ] && break; sleep 0.1; done
[ -s "$WORK/xdisplay" ] || { cat "$WORK/xvfb.log" >&2; die "Xvfb did not start"; }
export DISPLAY=":$(head -n 1 "$WORK/xdisplay")" QT_QPA_PLATFORM=xcb

# One start: prints the milliseconds from exec to the first paint. The
# program keeps running after its paint and is asked to close (SIGTERM); the
# bare window exits by itself.
paint_ms() {
  local log="$WORK/paint.log" pid mark t0
  (
    echo "${EPOCHREALTIME/./}" >"$WORK/t0"
    QM_MARK_FIRST_PAINT=1 exec "$@"
  ) >"$log" 2>&1 &
  pid=$!
  for _ in $(seq 300); do grep -q '^first paint ' "$log" && break; sleep 0.05; done
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  mark=$(sed -n 's/^first paint \([0-9]*\)$/\1/p' "$log" | head -n 1)
  [ -n "$mark" ] || { tail -n 20 "$log" >&2; die "no first paint from $1"; }
  t0=$(($(cat "$WORK/t0") / 1000))
  # The program's own step marks of this run, in ms after exec.
  awk -v t0="$t0" -v paint="$((mark - t0))" '/^startup /{printf "%s %d, ", $2, $3 - t0} END{print "first-paint " paint}' \
    "$log" >"$WORK/steps.$(basename "$1")"
  echo $((mark - t0))
}

use_home "$WORK/map/home"
"$BARE" 2>/dev/null || true  # warms the page cache for both: Qt's libraries and plugins
OURS=() BARES=()
for _ in $(seq "$RUNS"); do
  OURS+=("$(paint_ms "$WORK/map/bin/qm_downloader")")
  BARES+=("$(paint_ms "$BARE")")
done
echo "window-map runs: ours ${OURS[*]} | bare ${BARES[*]}"
echo "window-map steps of ours' last run (ms after exec): $(cat "$WORK/steps.qm_downloader")"
ours=$(median "${OURS[@]}") bare=$(median "${BARES[@]}")
echo "window-map  ours $ours bare $bare ratio $(ratio "$ours" "$bare")"

# --- install-rss ------------------------------------------------------------
export QT_QPA_PLATFORM=offscreen
unset DISPLAY
"$SERVICES" "$PACKAGES" markeraser_setup_demo.exe --bundles "$WORK/bundles" >"$WORK/services.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do grep -q "services up" "$WORK/services.log" 2>/dev/null && break; sleep 0.1; done
grep -q "services up" "$WORK/services.log" || { cat "$WORK/services.log" >&2; die "reference services did not start (ports 18080-18083 busy?)"; }

use_home "$WORK/auto/home"
TIMED=(/usr/bin/time -f "peak %M" -o "$WORK/rss")
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; then
  # The product installs into /opt; a private one keeps the machine's clean.
  unshare --mount --propagation private sh -c 'mount -t tmpfs none /opt && exec "$@"' sh \
    "${TIMED[@]}" timeout 600 "$WORK/auto/bin/qm_downloader" debug >"$WORK/install.log" 2>&1 || true
else
  "${TIMED[@]}" timeout 600 "$WORK/auto/bin/qm_downloader" debug >"$WORK/install.log" 2>&1 || true
fi
grep -q "install Finished" "$WORK/install.log" || { tail -n 30 "$WORK/install.log" >&2; die "the AutoRun install did not finish"; }
ours=$(sed -n 's/^peak //p' "$WORK/rss")
"${TIMED[@]}" "$BARE" 2>/dev/null
bare=$(sed -n 's/^peak //p' "$WORK/rss")
echo "install-rss ours $ours bare $bare ratio $(ratio "$ours" "$bare")"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
