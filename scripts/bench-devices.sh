#!/usr/bin/env bash
# bench-devices.sh [SECONDS]: whole-process figures of the zepho7 program with simulated devices
# in a separate zepho7-sim, each run under an Xvfb of its own, printed next to their goals:
#   - CPU with the mouse by cable streaming host frames every 5 ms (light mode 11, set with
#     zepho7ctl before the start), window shown, over SECONDS (default 20);
#   - CPU with the window hidden to the tray (trayer) and a static effect (mode 3);
#   - resident memory with two simulated devices attached (the mouse by cable and through its
#     receiver, and the keyboard);
#   - arrival (the simulator plugs the mouse) to the page read, median of 5, from the program's
#     trace (ZEPHO7_TRACE=1; only in that run);
#   - SIGTERM (the same path as "Exit") to process end with two devices, median of 5.
# CPU comes from /proc/<pid>/stat (user + system), memory from /proc/<pid>/status.
set -euo pipefail
seconds=${1:-20}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZEPHO7_BUILD:-$top/build/release}
tools=(app/zepho7 sim/zepho7-sim cli/zepho7ctl bench/tools/winwatch bench/tools/xclick)
for tool in "${tools[@]}"; do
  if [ ! -x "$build/$tool" ]; then
    "$top/scripts/install-deps.sh"
    "$top/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    break
  fi
done
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  sleep 0.2
  rm -rf "$work"
}
trap cleanup EXIT
clk=$(getconf CLK_TCK)
n=0

# session SIZE DEVICES...: a fresh Xvfb, user-data folder and simulator with those devices
# (none when empty).
session() {
  n=$((n + 1))
  local dir="$work/$n"
  mkdir -p -m 700 "$dir"
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$dir/display" 2>/dev/null &
  pids+=($!)
  shift
  for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$dir/display")" XDG_RUNTIME_DIR="$dir" XDG_DATA_HOME="$dir/data"
  export ZEPHO7_SIM_DIR="$dir/sim"
  "$build/sim/zepho7-sim" --no-stdin mouse >/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -S "$ZEPHO7_SIM_DIR/control" ] && break; sleep 0.05; done
  sim "unplug mouse"
  for device in "$@"; do sim "plug $device"; done
}
sim() { "$build/sim/zepho7-sim" --send "$1" >/dev/null; }
stat_of() { "$build/sim/zepho7-sim" --send stats | sed -n "s/^mouse  *plugged.* $1=\([0-9]*\).*/\1/p"; }
# start [ENV...]: the program; sets pid and wid once its window is shown.
start() {
  env "$@" dbus-run-session -- "$build/bench/tools/winwatch" "Zepho7 Gaming Mouse" 15000 \
    "$build/app/zepho7" >"$work/watch" 2>"$work/app.err" </dev/null || true
  local line
  line=$(tail -n 1 "$work/watch")
  pid=$(sed -n 's/.*pid=\([0-9]*\).*/\1/p' <<<"$line")
  wid=$(sed -n 's/.*wid=\(0x[0-9a-f]*\).*/\1/p' <<<"$line")
  [ -n "$pid" ] && [ -n "$wid" ] || { echo "bench-devices: no window ($line)" >&2; exit 1; }
  pids+=("$pid")
}
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
percent() { awk -v d="$1" -v hz="$clk" -v s="$seconds" 'BEGIN {printf "%.2f", 100 * d / hz / s}'; }
# cpu_over: the whole process's CPU share over the window, and the UI thread's in ui_cpu.
cpu_over() {
  local t0 t1 u0 u1
  t0=$(ticks "$pid")
  u0=$(ticks "$pid/task/$pid")
  sleep "$seconds"
  t1=$(ticks "$pid")
  u1=$(ticks "$pid/task/$pid")
  ui_cpu=$(percent $((u1 - u0)))
  percent $((t1 - t0))
}
quit_ms() {
  python3 - "$1" <<'PY'
import os, select, signal, sys, time
pid = int(sys.argv[1])
fd = os.pidfd_open(pid)
t = time.monotonic()
os.kill(pid, signal.SIGTERM)
select.select([fd], [], [], 10)
print(f"{(time.monotonic() - t) * 1000:.1f}")
PY
}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

# 1. Streaming by cable, window shown.
session 1366x768 mouse
"$build/cli/zepho7ctl" set light --mode 11 >/dev/null
start
sleep 3
f0=$(stat_of frames)
cpu_over >"$work/cpu"
cpu_stream=$(cat "$work/cpu")
ui_stream=$ui_cpu
f1=$(stat_of frames)
fps=$(awk -v f=$((f1 - f0)) -v s="$seconds" 'BEGIN {printf "%.0f", f / s}')
rss_one=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
kill -TERM "$pid"

# 2. Hidden to the tray, static effect.
session 1366x768 mouse
"$build/cli/zepho7ctl" set light --mode 3 >/dev/null
trayer --edge top --align right --widthtype request --height 32 --SetDockType false \
  >/dev/null 2>&1 &
pids+=($!)
sleep 1
start
sleep 2
"$build/bench/tools/xclick" "$wid" $((1000 - 28)) 28  # closebtn
sleep 1
state=$("$build/bench/tools/xclick" "$wid" --state)
cpu_over >"$work/cpu"
cpu_hidden=$(cat "$work/cpu")
ui_hidden=$ui_cpu
kill -TERM "$pid"

# 3. and 5. Two devices: memory, then the way out.
quit=()
for run in 1 2 3 4 5; do
  session 1366x768 mouse mouse:receiver keyboard
  start
  sleep 3
  [ "$run" = 1 ] && rss_two=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
  quit+=("$(quit_ms "$pid")")
done

# 4. Arrival to the page read.
session 1366x768
start ZEPHO7_TRACE=1
sleep 1
arrival=()
for run in 1 2 3 4 5; do
  arrival+=("$(python3 - "$work/app.err" "$build/sim/zepho7-sim" "$run" <<'PY'
import subprocess, sys, time
trace, tool, run = sys.argv[1], sys.argv[2], int(sys.argv[3])
def count(text):
    with open(trace, errors="replace") as f:
        return sum(text in line for line in f)
t = time.monotonic()
subprocess.run([tool, "--send", "plug mouse"], stdout=subprocess.DEVNULL, check=True)
while count("key information, 11 rows shown") < run and time.monotonic() - t < 10:
    time.sleep(0.002)
print(f"{(time.monotonic() - t) * 1000:.0f}")
subprocess.run([tool, "--send", "unplug mouse"], stdout=subprocess.DEVNULL, check=True)
while count("window: entry mouse hidden") < run and time.monotonic() - t < 20:
    time.sleep(0.01)
PY
)")
  sleep 0.5
done
kill -TERM "$pid"

printf '%-52s %12s %12s\n' "figure" measured goal
printf '%-52s %10s %% %11s\n' "CPU, mouse by cable streaming ($fps frames/s)" "$cpu_stream" "<= 3 %"
printf '%-52s %10s %% %11s\n' "  of which the UI thread" "$ui_stream" ""
printf '%-52s %10s %% %11s\n' "CPU, window hidden ($state), static effect" "$cpu_hidden" "<= 0.5 %"
printf '%-52s %10s %% %11s\n' "  of which the UI thread" "$ui_hidden" ""
printf '%-52s %9s MB %12s\n' "resident memory, one mouse" "$(awk -v k="$rss_one" 'BEGIN {printf "%.1f", k / 1024}')" ""
printf '%-52s %9s MB %9s MB\n' "resident memory, mouse (cable and receiver), keyboard" "$(awk -v k="$rss_two" 'BEGIN {printf "%.1f", k / 1024}')" "<= 50"
printf '%-52s %9s ms %9s ms\n' "arrival to page read (median of 5, traced)" "$(median "${arrival[@]}")" "<= 700"
printf '%-52s %9s ms %9s ms\n' "SIGTERM to process end, two devices (median of 5)" "$(median "${quit[@]}")" "<= 200"
