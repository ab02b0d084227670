#!/usr/bin/env bash
# shots.sh [OUT_FOLDER]: PNG screenshots of the main window's main states, each under an Xvfb
# of its own with devices in a separate zepho7-sim: no device, the mouse by cable, the mouse
# through its receiver, and the mouse page at 144 DPI (1920x1080). Default folder: build/shots.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZEPHO7_BUILD:-$top/build}
out=$(realpath -m "${1:-$build/shots}")
for tool in app/zepho7 sim/zepho7-sim bench/tools/xshot bench/tools/winwatch; do
  [ -x "$build/$tool" ] || { echo "shots: $build/$tool is missing (build it first)" >&2; exit 1; }
done
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# session SIZE: Xvfb, an empty simulator and the program; sets wid and sim.
session() {
  local n=${#pids[@]}
  mkdir -p -m 700 "$work/$n"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$work/$n/display" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/$n/display" ] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$work/$n/display")" XDG_RUNTIME_DIR="$work/$n" XDG_DATA_HOME="$work/$n/data"
  export ZEPHO7_SIM_DIR="$work/$n/sim"
  "$build/sim/zepho7-sim" --no-stdin mouse >/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -S "$ZEPHO7_SIM_DIR/control" ] && break; sleep 0.05; done
  sim() { "$build/sim/zepho7-sim" --send "$1" >/dev/null; }
  sim "unplug mouse"
  dbus-run-session -- "$build/bench/tools/winwatch" "Zepho7 Gaming Mouse" 15000 \
    "$build/app/zepho7" >"$work/$n/watch" 2>/dev/null </dev/null || true
  local line
  line=$(tail -n 1 "$work/$n/watch")
  pids+=("$(sed -n 's/.*pid=\([0-9]*\).*/\1/p' <<<"$line")")
  wid=$(sed -n 's/.*wid=\(0x[0-9a-f]*\).*/\1/p' <<<"$line")
  [ -n "$wid" ] && [ "$wid" != 0x0 ] || { echo "shots: no window ($line)" >&2; exit 1; }
}
shot() { sleep "${2:-1}"; "$build/bench/tools/xshot" "$wid" "$out/$1.png"; echo "$out/$1.png"; }

session 1366x768
shot 01-no-device
sim "plug mouse"
shot 02-mouse-cable 2
sim "plug mouse:receiver"
sim "unplug mouse:cable"
shot 03-mouse-receiver 3
sim "unplug mouse:receiver"
shot 04-all-pulled

session 1920x1080
sim "plug mouse"
shot 05-mouse-144dpi 2
