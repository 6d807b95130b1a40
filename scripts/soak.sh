#!/usr/bin/env bash
# `make soak`: the long scenarios, with their figures.
#   1. the CTest cases labelled `soak` (long runs on the virtual clock);
#   2. a live run: the program in a window of its own (640x360) on a private
#      Xvfb for SOAK_SECONDS (default 600), its resident memory sampled every
#      SOAK_INTERVAL seconds (default 10). After the first minute (warm-up:
#      pictures, textures, the GL driver's caches) it must stay flat: no more
#      than SOAK_GROWTH_KIB (default 1024) above its size at the end of the
#      warm-up.
# Usage: scripts/soak.sh [BUILD_DIR]. Exit status 0 when every scenario held.
set -uo pipefail
build="${1:-build}"
program="$build/shell/harbor-lights"
seconds="${SOAK_SECONDS:-600}"
interval="${SOAK_INTERVAL:-10}"
warmup="${SOAK_WARMUP:-60}"
allowed_kib="${SOAK_GROWTH_KIB:-1024}"
failed=0

echo "soak: CTest cases labelled soak"
ctest_out=$(ctest --test-dir "$build" -L soak --output-on-failure 2>&1)
ctest_status=$?
echo "$ctest_out" | sed 's/^/  /'
if echo "$ctest_out" | grep -q "No tests were found"; then
  echo "soak: (no test carries the soak label in this build)"
elif [ "$ctest_status" -ne 0 ]; then
  failed=1
fi

echo "soak: live run, -window at 640x360 for ${seconds} s, RSS every ${interval} s"
if [ ! -x "$program" ]; then
  echo "soak: $program is not built" >&2
  exit 1
fi
scratch=$(mktemp -d /tmp/hl-soak-XXXXXX)
xvfb_pid=""
saver_pid=""
cleanup() {
  # Only what this script started, by its process id.
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null && wait "$saver_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the pipe.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
number=""
if ! read -r -t 20 -u "$display_fd" number || [ -z "$number" ]; then
  echo "soak: Xvfb did not start: $(cat "$scratch/xvfb.log")" >&2
  exit 1
fi
exec {display_fd}<&-
export DISPLAY=":$number"

# An empty settings folder: the user's own settings play no part.
XDG_CONFIG_HOME="$scratch" "$program" -window -geometry 640x360 2>"$scratch/saver.log" &
saver_pid=$!
window=""
for _ in $(seq 1 200); do
  window=$(xdotool search --class HarborLights 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  kill -0 "$saver_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "soak: no window; the program said: $(cat "$scratch/saver.log")" >&2
  exit 1
fi
window_size() { xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
# Without a window manager nothing else sizes the window: where -geometry
# was not taken, the script sizes it, and the program follows its window.
if [ "$(window_size)" != "640x360" ]; then
  xdotool windowsize "$window" 640 360
  sleep 1
fi
echo "  window $window, $(window_size)"

rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$saver_pid/status" 2>/dev/null; }
# Resident KiB per kind of mapping ([heap], anonymous, each library), to tell
# where any growth lies.
rss_by_mapping() {
  awk '/^[0-9a-f]+-[0-9a-f]+ / {name = (NF >= 6 ? $6 : "[anonymous]")}
       /^Rss:/ {rss[name] += $2}
       END {for (n in rss) print n, rss[n]}' "/proc/$saver_pid/smaps" 2>/dev/null | sort
}
samples=()
start=$(date +%s)
next=$start
while :; do
  now=$(date +%s)
  elapsed=$((now - start))
  if ! kill -0 "$saver_pid" 2>/dev/null; then
    echo "soak: the program ended after ${elapsed} s: $(cat "$scratch/saver.log")" >&2
    exit 1
  fi
  rss=$(rss_kib)
  samples+=("$elapsed:$rss")
  if [ "$elapsed" -le "$warmup" ]; then rss_by_mapping >"$scratch/mappings.warm"; fi
  printf '  %4d s  %7d KiB\n' "$elapsed" "$rss"
  [ "$elapsed" -ge "$seconds" ] && break
  next=$((next + interval))
  sleep $((next - $(date +%s) > 0 ? next - $(date +%s) : 0))
done
cpu=$(awk '{print ($14 + $15) / 100}' "/proc/$saver_pid/stat")
rss_by_mapping >"$scratch/mappings.end"

kill -TERM "$saver_pid"
wait "$saver_pid"
status=$?
saver_pid=""

# The warm-up's last sample is the base; the largest later one is the peak.
base="" peak=0 first="" last=""
for s in "${samples[@]}"; do
  t=${s%%:*} r=${s##*:}
  [ -z "$first" ] && first=$r
  last=$r
  if [ "$t" -le "$warmup" ]; then base=$r; continue; fi
  [ "$r" -gt "$peak" ] && peak=$r
done
[ -z "$base" ] && base=$first
growth=$((peak - base))
echo "soak: RSS start ${first} KiB, after ${warmup} s warm-up ${base} KiB, peak after ${peak} KiB, end ${last} KiB"
echo "soak: growth after warm-up ${growth} KiB (allowed ${allowed_kib}); CPU ${cpu} s; exit status ${status} after SIGTERM"
if [ "$growth" -gt "$allowed_kib" ]; then
  echo "soak: FAILED: memory grows; resident KiB gained per mapping since the warm-up:" >&2
  join -a 2 -e 0 -o 0,1.2,2.2 "$scratch/mappings.warm" "$scratch/mappings.end" |
    awk '$3 != $2 {printf "  %+8d  %s\n", $3 - $2, $1}' | sort -k1,1nr | head -n 8 >&2
  failed=1
fi
if [ "$status" -ne 0 ]; then
  echo "soak: FAILED: status $status after SIGTERM" >&2
  failed=1
fi
[ "$failed" -eq 0 ] && echo "soak: all scenarios held"
exit "$failed"
