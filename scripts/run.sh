#!/usr/bin/env bash
# Sets up everything on a fresh Debian 12 machine, builds and runs Zepho7 against the device
# simulator: zepho7-sim runs in the background with a mouse plugged, and its devices can be
# plugged and pulled from another shell while the window is open. Real devices that are
# attached are found as well.
#
#   scripts/run.sh [--no-sim] [ZEPHO7 OPTIONS]   e.g. scripts/run.sh --trace
#
# --no-sim: no background simulator; the program then plugs a simulated mouse of its own only
# when no supported device is attached.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
use_sim=1
args=()
for a in "$@"; do
  if [ "$a" = "--no-sim" ]; then use_sim=0; else args+=("$a"); fi
done
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEPHO7_TESTS=OFF -DZEPHO7_BENCH=OFF
bin="$top/build/release"
if [ "$use_sim" = 0 ]; then
  unset ZEPHO7_SIM_DIR
  exec "$bin/app/zepho7" "${args[@]}"
fi

# The simulator's usual folder, so that `zepho7-sim --send` finds it from any shell.
runtime=${XDG_RUNTIME_DIR:-/tmp/zepho7-$(id -u)}
mkdir -p -m 700 "$runtime"
export ZEPHO7_SIM_DIR="${ZEPHO7_SIM_DIR:-$runtime/zepho7-sim}"
sim="$bin/sim/zepho7-sim"
sim_pid=""
if "$sim" --dir "$ZEPHO7_SIM_DIR" --send stats >/dev/null 2>&1; then
  echo "Using the simulator already running in $ZEPHO7_SIM_DIR."
else
  "$sim" --dir "$ZEPHO7_SIM_DIR" --no-stdin mouse >/dev/null &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -S "$ZEPHO7_SIM_DIR/control" ] && break
    sleep 0.05
  done
fi
stop_sim() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true; }
trap stop_sim EXIT

cat <<EOF
Zepho7 runs against simulated devices in $ZEPHO7_SIM_DIR (a mouse by cable is plugged).
Plug and pull devices from another shell, for example:
  $sim --send "plug mouse:receiver"     the mouse's 2.4 GHz receiver
  $sim --send "unplug mouse:cable"      the page moves to the receiver
  $sim --send "link off"                the mouse behind the receiver switches off
  $sim --send "plug keyboard"           also: mousepad, headset
  $sim --send "unplug mouse:receiver"
  $sim --send help                      every command (docs/simulator.md)
(add --dir $ZEPHO7_SIM_DIR when that shell has another XDG_RUNTIME_DIR or ZEPHO7_SIM_DIR)
The program ends from its notification-area menu (Exit) or with Ctrl+C here.
EOF
"$bin/app/zepho7" "${args[@]}"
