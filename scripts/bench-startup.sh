#!/usr/bin/env bash
# bench-startup.sh [RUNS]: whole-process figures of the zepho7 program under its own Xvfb,
# median of RUNS (default 7) starts: start to first window mapped and painted (from X events,
# bench/tools/winwatch), resident memory with the window shown and idle, idle CPU, and SIGTERM
# to process end. ZEPHO7_IDLE_SECONDS (default 30) sets the idle CPU window of the first run.
set -euo pipefail
runs=${1:-7}
idle_seconds=${ZEPHO7_IDLE_SECONDS:-30}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZEPHO7_BUILD:-$top/build/release}
if [ ! -x "$build/app/zepho7" ] || [ ! -x "$build/bench/tools/winwatch" ]; then
  "$top/scripts/install-deps.sh"
  "$top/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
work=$(mktemp -d)
xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")" XDG_RUNTIME_DIR="$work"
clk=$(getconf CLK_TCK)
map=() paint=() rss=() quit=() cpu=""
for run in $(seq "$runs"); do
  WW_LINGER=300 "$build/bench/tools/winwatch" "Zepho7 Gaming Mouse" 15000 "$build/app/zepho7" \
    >"$work/watch" 2>/dev/null </dev/null || { cat "$work/watch"; exit 1; }
  line=$(tail -n 1 "$work/watch")
  pid=$(sed -n 's/.*pid=\([0-9]*\).*/\1/p' <<<"$line")
  map+=("$(sed -n 's/.*map_ms=\([0-9.]*\).*/\1/p' <<<"$line")")
  paint+=("$(sed -n 's/.*paint_ms=\([0-9.]*\).*/\1/p' <<<"$line")")
  sleep 1
  rss+=("$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")")
  if [ "$run" = 1 ]; then
    t0=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep "$idle_seconds"
    t1=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    cpu=$(awk -v d=$((t1 - t0)) -v hz="$clk" -v s="$idle_seconds" 'BEGIN {printf "%.2f", 100 * d / hz / s}')
  fi
  # SIGTERM to the end of the process, waited for with a pidfd (no polling).
  quit+=("$(python3 - "$pid" <<'PY'
import os, select, signal, sys, time
pid = int(sys.argv[1])
fd = os.pidfd_open(pid)
t = time.monotonic()
os.kill(pid, signal.SIGTERM)
select.select([fd], [], [], 10)
print(f"{(time.monotonic() - t) * 1000:.1f}")
PY
)")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
printf '%-34s %12s %12s\n' "figure (median of $runs)" measured goal
printf '%-34s %9s ms %9s ms\n' "start to window mapped" "$(median "${map[@]}")" "<= 120"
printf '%-34s %9s ms %12s\n' "start to window painted" "$(median "${paint[@]}")" ""
printf '%-34s %9s MB %9s MB\n' "resident memory, idle with window" "$(awk -v k="$(median "${rss[@]}")" 'BEGIN {printf "%.1f", k / 1024}')" "<= 40"
printf '%-34s %10s %% %11s\n' "idle CPU over ${idle_seconds} s" "$cpu" "0 %"
printf '%-34s %9s ms %9s ms\n' "SIGTERM to process end" "$(median "${quit[@]}")" "<= 100"
