#!/usr/bin/env bash
# zepho7ctl_test.sh ZEPHO7CTL ZEPHO7_SIM DEFAULT_DATA: a scripted session of zepho7ctl against a
# simulated mouse in its own process. Checks what the simulated firmware holds (its memory
# dumps), what the profile files hold, and that failures exit non-zero with a message.
set -euo pipefail
ctl=$1 simtool=$2
export ZEPHO7_DATA_DIR=$3
work=$(mktemp -d /tmp/zepho7ctl-test-XXXXXX)
export ZEPHO7_SIM_DIR=$work/sim XDG_DATA_HOME=$work/data
sim_pid=
cleanup() {
  if [[ -n $sim_pid ]]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
send() { "$simtool" --send "$1"; }
# The hex bytes of a dump, one per word, without the addresses.
dump() { send "dump $1" | sed 's/^[0-9a-f]*: //' | tr -s ' \n' ' ' | sed 's/ $//'; }

"$simtool" --no-stdin mouse mouse:receiver >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [[ -S $ZEPHO7_SIM_DIR/control ]] && break; sleep 0.05; done
[[ -S $ZEPHO7_SIM_DIR/control ]] || fail "the simulator did not start"

# Help for every command.
"$ctl" --help | grep -q "profile list" || fail "--help"
for c in list info get set functions macros recoil apply profile; do
  "$ctl" "$c" --help | grep -q "usage:" || fail "$c --help"
done

"$ctl" list | grep -q "^mouse *cable *reachable *80%" || fail "list"
"$ctl" --json info | grep -q '"dpi_max" : 26000' || fail "info"

# A DPI stage: stored as a slider position ((3200 - 100) / 50 = 62 = 0x3e) at 14 + 9 × 2.
"$ctl" set dpi 2 --dpi 3200 --colour 00ff80 >/dev/null
[[ $(dump "mouse light 32 9") == "01 00 3e 00 0f 00 00 ff 80" ]] || fail "stage bytes: $(dump "mouse light 32 9")"
"$ctl" get dpi | grep -q "stage 2  enabled *3200 DPI  colour 00ff80" || fail "get dpi"
"$ctl" --json get dpi | grep -q '"dpi" : 3200' || fail "get --json"
grep -q '"StageDPIX" : 62' "$XDG_DATA_HOME"/Zepho7/mouse/*.Json || fail "profile file"
"$ctl" set rate 1 >/dev/null
[[ $(dump "mouse light 11 1") == "01" ]] || fail "report rate"
"$ctl" set light --mode 3 --speed 4 --colour 102030 >/dev/null
[[ $(dump "mouse light 1 8") == "03 04 00 01 00 10 20 30" ]] || fail "light: $(dump "mouse light 1 8")"

# A key: left Shift + A on key 3 (device key 3 at byte 9).
"$ctl" set key mouse_key_forward keyboard_key_A >/dev/null
[[ $(dump "mouse keys 9 3") == "20 00 04" ]] || fail "key bytes"
"$ctl" get keys | grep -q "key 3 .*keyboard_key_A" || fail "get keys"
"$ctl" set key 3 default >/dev/null
[[ $(dump "mouse keys 9 3") == "10 10 00" ]] || fail "key back to its default"

# Macros: two macros in the library; key 4 on macro 0 and key 0 on macro 1, so the device numbers
# them in key order: macro 1 becomes device macro 0.
mdir=$XDG_DATA_HOME/Zepho7/mouse
cat >"$mdir/macro.config" <<'JSON'
{ "MacroInfo" : [ { "MacroName" : "first", "Guid" : "g0" }, { "MacroName" : "second", "Guid" : "g1" } ] }
JSON
echo '{ "Events" : [ { "Action" : "down", "Type" : 10, "Button" : 4, "Delay" : "300" },
                     { "Action" : "up", "Type" : 10, "Button" : 4, "Delay" : "20" } ] }' >"$mdir/g0.mac"
echo '{ "Events" : [ { "Action" : "down", "Type" : 1, "Button" : 1, "Delay" : "5" } ] }' >"$mdir/g1.mac"
"$ctl" set key 4 macro:0 >/dev/null
"$ctl" set key 0 macro:1 >/dev/null
[[ $(dump "mouse keys 0 3") == "70 00 00" && $(dump "mouse keys 12 3") == "70 01 00" ]] \
  || fail "macro keys: $(dump "mouse keys 0 15")"
# Image: AA 55, length 16 + 12 + 12 = 40, two macros, records at 20 (macro 1) and 28 (macro 0).
[[ $(dump "mouse macro 0 40") == "aa 55 28 00 02 00 00 00 00 00 00 00 00 00 00 00 14 00 1c 00 01 00 00 00 05 00 81 01 02 00 00 00 2c 01 8a 04 14 00 0a 04" ]] \
  || fail "macro image: $(dump "mouse macro 0 40")"
"$ctl" macros list | grep -q "1  second  1 events" || fail "macros list"
"$ctl" recoil write >/dev/null
[[ $(dump "mouse recoil 0 6") == "aa 55 68 0b 04 00" ]] || fail "recoil image"

# Too many events for the 4096-byte macro memory: five macros of 250 events need
# 16 + 30 + 5000 bytes, 950 too many, so 238 events must go and nothing is written.
python3 - "$mdir" <<'PY'
import json, sys
info = []
for i in range(5):
    info.append({"MacroName": "big%d" % i, "Guid": "b%d" % i})
    json.dump({"Events": [{"Action": "down", "Type": 1, "Button": 1, "Delay": "1"}] * 250},
              open("%s/b%d.mac" % (sys.argv[1], i), "w"))
json.dump({"MacroInfo": info}, open(sys.argv[1] + "/macro.config", "w"))
PY
for k in 0 1 2 3; do "$ctl" set key $k macro:$k >/dev/null; done
before=$(dump "mouse macro 0 64")
set +e
"$ctl" set key 4 macro:4 2>"$work/err"; rc=$?
set -e
[[ $rc == 5 ]] && grep -q "remove 238 events" "$work/err" || fail "macros too large (rc $rc)"
[[ $(dump "mouse macro 0 64") == "$before" ]] || fail "macro memory changed"
echo '{ "Events" : [] }' >"$mdir/b4.mac"
python3 -c "import json; json.dump({'Events': [{'Action': 'up', 'Type': 1, 'Button': 1, 'Delay': '1'}] * 251}, open('$mdir/b0.mac', 'w'))"
set +e
"$ctl" macros write 2>"$work/err"; rc=$?
set -e
[[ $rc == 5 ]] && grep -q "more than 250 events" "$work/err" || fail "long macro (rc $rc)"

# Profiles.
"$ctl" profile add >/dev/null
"$ctl" profile rename 1 Game >/dev/null
"$ctl" profile select 1 >/dev/null
"$ctl" profile list | grep -q "^\* 1  Game" || fail "profile select"
[[ $(dump "mouse light 32 3") == "01 00 0f" ]] || fail "selecting writes the profile: $(dump "mouse light 32 3")"
"$ctl" profile export 1 "$work/game.json" >/dev/null
"$ctl" profile import "$work/game.json" | grep -q "imported as profile 2" || fail "import"
"$ctl" --json profile list | grep -q '"name" : "game(1)"' || fail "imported name (names compare without case)"
set +e
"$ctl" profile delete 7 2>"$work/err"; rc=$?
set -e
[[ $rc == 1 ]] || fail "bad profile number (rc $rc)"

# Failures: the receiver without the mouse, then no mouse at all.
send "link off" >/dev/null
set +e
"$ctl" --link receiver get dpi 2>"$work/err"; rc=$?
set -e
[[ $rc == 3 ]] && grep -q "receiver cannot reach the mouse" "$work/err" || fail "unreachable (rc $rc)"
send "link on" >/dev/null
send "fault mouse rejected skip=1" >/dev/null
set +e
"$ctl" set rate 2 2>"$work/err"; rc=$?
set -e
[[ $rc == 4 ]] && grep -q "rejected" "$work/err" || fail "device status error (rc $rc)"
send "unplug mouse" >/dev/null
send "unplug mouse:receiver" >/dev/null
set +e
"$ctl" get dpi 2>"$work/err"; rc=$?
set -e
[[ $rc == 2 ]] && grep -q "no mouse is attached" "$work/err" || fail "unplugged (rc $rc)"
echo "zepho7ctl session passed"
