#!/usr/bin/env bash
# End-to-end test of the real program: its own X server (Xvfb) and JACK server (dummy driver),
# a JACK MIDI receiver, keys typed with xdotool, MIDI bytes and saved files checked.
# Usage: run-e2e.sh ORVANE RECEIVER LIST-OUTPUTS
# Exit 77 (skipped) when Xvfb, jackd or xdotool is missing.
set -uo pipefail

orvane=$1
receiver=$2
list_outputs=$3

source "$(dirname "$0")/e2e-env.sh"

# --- receiver ---
"$receiver" orvane-e2e-in "$work/received.txt" >"$work/receiver.log" 2>&1 &
pids+=($!)
wait_for 100 grep -q ready "$work/receiver.log" || fail "receiver did not start"

use_output_port orvane-e2e-in

expect_received() {
  local expected=$1
  wait_for 30 test "$(cat "$work/received.txt")" = "$expected" ||
    fail "received $(tr '\n' '|' <"$work/received.txt"), expected $(tr '\n' '|' <<<"$expected")"
}

wait_exit() {
  timeout 15 tail --pid="$orvane_pid" -f /dev/null || fail "orvane did not end"
  wait "$orvane_pid"
  local status=$?
  [[ $status -eq 0 ]] || fail "orvane ended with status $status"
}

# 1. Typing plays: Q is note 48, comma the same note.
start_orvane
# Programs and volumes at the start; only the notes are checked from here on.
wait_for 30 test -s "$work/received.txt"
: >"$work/received.txt"
xdotool key --delay 50 q comma
expect_received $'90 30 7f\n80 30 00\n90 30 7f\n80 30 00'

# 2. Held for two seconds with auto-repeat on: one note-on, one note-off.
: >"$work/received.txt"
xdotool keydown z
sleep 2
xdotool keyup z
expect_received $'90 24 7f\n80 24 00'

# 3. Right after a dialog closes the next key plays, with no click on the window first. The
# pointer is moved off the window, where the X server could not hand it the keys by itself.
xdotool mousemove 0 0
xdotool key F5
sleep 0.5
xdotool key Escape
sleep 0.5
: >"$work/received.txt"
xdotool key q
expect_received $'90 30 7f\n80 30 00'

# 4. Alt+F4 closes through the normal path: voice and settings written.
rm -f "$settings/Orvane.orvset"
xdotool key alt+F4
wait_exit
[[ $(stat -c %s "$settings/Orvane.orvset" 2>/dev/null) == 112 ]] || fail "working voice not written"
for key in PRESSEDKEYCOLOR ISHARDWAREMIDIKBDENABLED MIDIOUTDEVINDEX MIDIINDEVINDEX KEYBOARDTYPE \
  LEFT TOP RIGHT BOTTOM; do
  grep -q "^$key=" "$settings/Orvane.ini" || fail "$key not written"
done
grep -q "^MIDIOUTDEVINDEX=$output_index" "$settings/Orvane.ini" || fail "output index lost"
grep -q '^RIGHT=[1-9]' "$settings/Orvane.ini" || fail "window rectangle not written"

# 5. Asked to stop (SIGTERM, as at the end of a session): saves as a close does.
start_orvane
rm -f "$settings/Orvane.orvset"
kill -TERM "$orvane_pid"
wait_exit
[[ $(stat -c %s "$settings/Orvane.orvset" 2>/dev/null) == 112 ]] || fail "SIGTERM did not save"

# 6. Asked to stop while a dialog is open: the dialog ends, then the program closes and saves.
start_orvane
xdotool key F4
sleep 0.5
rm -f "$settings/Orvane.orvset"
kill -TERM "$orvane_pid"
wait_exit
[[ $(stat -c %s "$settings/Orvane.orvset" 2>/dev/null) == 112 ]] || fail "SIGTERM in a dialog did not save"

echo "e2e passed"
