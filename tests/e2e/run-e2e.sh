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

receive_program_output

step=1
# 1. Typing plays: Q is note 48, comma the same note. No voice file has been read yet: the
# window carries the application title.
start_orvane
[[ $(xdotool getwindowname "$window") == Orvane ]] || fail "first-start title: $(xdotool getwindowname "$window")"
# Programs and volumes at the start; only the notes are checked from here on.
wait_for 30 test -s "$work/received.txt"
: >"$work/received.txt"
xdotool key --delay 50 q comma
expect_received "Q and comma" $'90 30 7f\n80 30 00\n90 30 7f\n80 30 00'

step=2
# 2. Held for two seconds with auto-repeat on: one note-on, one note-off.
: >"$work/received.txt"
xdotool keydown z
sleep 2
xdotool keyup z
expect_received "Z held for 2 s" $'90 24 7f\n80 24 00'

step=3
# 3. Right after a dialog closes the next key plays, with no click on the window first. The
# pointer is moved off the window, where the X server could not hand it the keys by itself.
xdotool mousemove 0 0
xdotool key F5
sleep 0.5
xdotool key Escape
sleep 0.5
: >"$work/received.txt"
xdotool key q
expect_received "Q after a dialog" $'90 30 7f\n80 30 00'

step=4
# 4. Alt+F4 closes through the normal path: voice and settings written, the keys the file
# lacked added in the order of the writes, the window's real rectangle last.
rm -f "$settings/Orvane.orvset"
rect=$(outer_rect "$window")
xdotool key alt+F4
expect_exit
expected=$(printf '[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=%d\nPRESSEDKEYCOLOR=12566463\nISHARDWAREMIDIKBDENABLED=0\nMIDIINDEVINDEX=0\nKEYBOARDTYPE=0\n' \
  "$output_index"; position_lines "$rect")
[[ $(cat "$settings/Orvane.ini") == "$expected" ]] ||
  fail "settings after the close:"$'\n'"$(cat "$settings/Orvane.ini")"$'\n'"expected:"$'\n'"$expected"
[[ $(stat -c %s "$settings/Orvane.orvset" 2>/dev/null) == 112 ]] || fail "working voice not written"
for key in PRESSEDKEYCOLOR ISHARDWAREMIDIKBDENABLED MIDIOUTDEVINDEX MIDIINDEVINDEX KEYBOARDTYPE \
  LEFT TOP RIGHT BOTTOM; do
  grep -q "^$key=" "$settings/Orvane.ini" || fail "$key not written"
done
grep -q "^MIDIOUTDEVINDEX=$output_index" "$settings/Orvane.ini" || fail "output index lost"
grep -q '^RIGHT=[1-9]' "$settings/Orvane.ini" || fail "window rectangle not written"

step=5
# 5. Asked to stop (SIGTERM, as at the end of a session): saves as a close does. The working
# voice has been read: the title says so.
start_orvane
[[ $(xdotool getwindowname "$window") == "Tellak Orvane" ]] || fail "title with the working voice"
rm -f "$settings/Orvane.orvset"
kill -TERM "$orvane_pid"
expect_exit
[[ $(stat -c %s "$settings/Orvane.orvset" 2>/dev/null) == 112 ]] || fail "SIGTERM did not save"

step=6
# 6. Asked to stop while a dialog is open: the dialog ends, then the program closes and saves.
start_orvane
xdotool key F4
sleep 0.5
rm -f "$settings/Orvane.orvset"
kill -TERM "$orvane_pid"
expect_exit
[[ $(stat -c %s "$settings/Orvane.orvset" 2>/dev/null) == 112 ]] || fail "SIGTERM in a dialog did not save"

step=7
# 7. A field refused in "Voice Settings": the box can be closed with Return, the field then has
# the focus with its text selected, so typing replaces it; Enter plays the voice with it.
start_orvane
xdotool key F4
dialog=$(window_named "Voice Settings") || fail "no voice dialog"
wait_focus "$dialog" || fail "the voice dialog did not take the keys"
xdotool key Tab Tab Tab ctrl+a 1 2 8 Return  # channel 1's volume
box=$(window_named Orvane) || fail "no validation box"
wait_focus "$box" || fail "the validation box did not take the keys"
xdotool key Return
wait_for 20 sh -c "! xdotool search --all --onlyvisible --pid $orvane_pid --name '^Orvane\$' | grep -q ." ||
  fail "the validation box did not close"
: >"$work/received.txt"
xdotool key 9 0 Return
wait_for 30 grep -q '^b0 07 5a$' "$work/received.txt" || fail "typing did not replace the field"
wait_for 30 grep -q '^90 30 7f$' "$work/received.txt" || fail "Enter did not play the voice"
xdotool key Escape
kill -TERM "$orvane_pid"
expect_exit

step=8
# 8. Saved rectangles as the window really gets them: used as stored, also off the screen and
# left of or above it; only LEFT set counts as saved; written back unchanged.
for saved in "-3000 -2000 -2200 -1800" "100 0 0 0" "-40 -25 760 200"; do
  placed=$saved
  [[ $saved == "100 0 0 0" ]] && placed="100 0 822 150"  # the minimum size applies
  expect_placed_and_stored "$saved" "$placed"
done

step=9
# 9. Asked to stop while a start-up box waits: the process ends at once with status 1 and
# saves nothing, as OK would. First the fatal one: no MIDI output at all (no JACK server, no
# synthesizer), before any window; the settings file holds the text the start created.
first_start_text=$'[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=0\nMIDIINDEVINDEX=0\nISHARDWAREMIDIKBDENABLED=0\n[POSITION]\nLEFT=0\nTOP=0\nRIGHT=0\nBOTTOM=0'
if JACK_DEFAULT_SERVER=orvane-e2e-none ORVANE_AUDIO_DRIVER=jack "$list_outputs" 2>/dev/null | grep -q .; then
  echo "e2e: this machine has MIDI ports outside JACK; the stop during the fatal box is not checked"
else
  for signal in TERM INT HUP; do
    rm -f "$settings"/*
    JACK_DEFAULT_SERVER=orvane-e2e-none ORVANE_AUDIO_DRIVER=jack start_orvane_until_box 'Error!'
    kill -"$signal" "$orvane_pid"
    expect_exit 1
    [[ $(cat "$settings/Orvane.ini") == "$first_start_text" ]] || fail "SIG$signal: settings changed"
    [[ ! -e "$settings/Orvane.orvset" ]] || fail "SIG$signal: the working voice was written"
  done
fi
# Then "No MIDI input devices!" while the window is being made: nothing saved either.
printf '[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=%d\nISHARDWAREMIDIKBDENABLED=1\n' "$output_index" >"$settings/Orvane.ini"
before=$(cat "$settings/Orvane.ini")
start_orvane_until_box 'Error!'
kill -TERM "$orvane_pid"
expect_exit 1
[[ $(cat "$settings/Orvane.ini") == "$before" ]] || fail "stopped at the input box: settings changed"
[[ ! -e "$settings/Orvane.orvset" ]] || fail "stopped at the input box: the working voice was written"

echo "e2e passed"
