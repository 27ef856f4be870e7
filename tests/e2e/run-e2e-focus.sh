#!/usr/bin/env bash
# End-to-end test of the keyboard focus and the activation with no window manager, on the real
# program under Xvfb: a dialog has the keys the moment it is on the screen, its message box gives
# them back when it closes, and a key drawn pressed stays so while another window is active.
# Usage: run-e2e-focus.sh ORVANE RECEIVER LIST-OUTPUTS
# Exit 77 (skipped) when Xvfb, jackd, xdotool, xmessage or ImageMagick is missing.
set -uo pipefail

orvane=$1
receiver=$2
list_outputs=$3

source "$(dirname "$0")/e2e-env.sh"
for tool in xmessage import convert xwininfo; do
  command -v "$tool" >/dev/null || { echo "e2e: $tool missing, skipped"; exit 77; }
done

receive_program_output

# The colour of the screen pixel at $1 $2 as "r,g,b".
pixel_at() {
  import -window root "$work/screen.png" 2>/dev/null || return 1
  convert "$work/screen.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}

# True while the program shows a window titled exactly $1.
shown() {
  xdotool search --all --onlyvisible --pid "$orvane_pid" --name "^$1\$" 2>/dev/null | grep -q .
}

step=1
# 1. "Voice Settings": a refused field's box closed with Return gives the keys back to the
# dialog, which then takes the typed value; Esc closes the dialog and the main window has the
# keys again.
start_orvane
xdotool key F4
dialog=$(window_named "Voice Settings") || fail "no voice dialog"
wait_focus "$dialog" || fail "the voice dialog did not take the keys"
xdotool key Tab Tab Tab ctrl+a 1 2 8 Return  # channel 1's volume
box=$(window_named Orvane) || fail "no validation box"
wait_focus "$box" || fail "the validation box did not take the keys"
xdotool key Return
wait_focus "$dialog" || fail "the box closed and left the keys on $(xdotool getwindowfocus)"
: >"$work/received.txt"
xdotool key 9 0 Return
wait_for 30 grep -q '^b0 07 5a$' "$work/received.txt" || fail "typing did not reach the field"
xdotool key Escape
wait_focus "$window" || fail "the dialog closed and left the keys on $(xdotool getwindowfocus)"

step=2
# 2. Esc typed the moment "Voice Settings" is on the screen closes it, every time.
lost=0
for ((try = 0; try < 60; try++)); do
  xdotool key F4
  for ((t = 0; t < 400; t++)); do shown "Voice Settings" && break; done
  xdotool key Escape
  if ! wait_for 20 sh -c "! xdotool search --all --onlyvisible --pid $orvane_pid --name '^Voice Settings\$' | grep -q ."; then
    lost=$((lost + 1))
    xdotool key Escape
    wait_for 30 sh -c "! xdotool search --all --onlyvisible --pid $orvane_pid --name '^Voice Settings\$' | grep -q ." ||
      fail "the voice dialog does not close"
  fi
  wait_focus "$window" || fail "try $try: the main window did not get the keys back"
done
((lost == 0)) || fail "Esc right after F4 lost in $lost of 60 tries"

step=3
# 3. A key clicked with the mouse sounds and is drawn pressed; another window taking the focus,
# or the about box, leaves it drawn pressed while its note sounds.
eval "$(xdotool getwindowgeometry --shell "$window")"
key_x=$((X + 12))
key_y=$((Y + HEIGHT - 12))  # the lowest key, C
: >"$work/received.txt"
xdotool mousemove "$key_x" "$key_y" click 1 mousemove 0 0
wait_for 30 grep -qx '90 24 7f' "$work/received.txt" || fail "the click played nothing"
sleep 0.3
[[ $(pixel_at "$key_x" "$key_y") == "191,191,191" ]] || fail "the clicked key is drawn $(pixel_at "$key_x" "$key_y")"
xmessage -geometry +0+0 "another window" &
pids+=($!)
other=$(timeout 10 xdotool search --sync --onlyvisible --class xmessage | head -1)
[[ -n "$other" ]] || fail "no other window"
xdotool windowfocus --sync "$other"
sleep 0.8  # Qt takes the loss of the focus as final after 400 ms
[[ $(pixel_at "$key_x" "$key_y") == "191,191,191" ]] ||
  fail "another window's focus drew the key $(pixel_at "$key_x" "$key_y")"
xdotool windowfocus --sync "$window"
sleep 0.3
xdotool key alt+h a
about=$(window_named "About Tellak Orvane") || fail "no about box"
sleep 0.5
[[ $(pixel_at "$key_x" "$key_y") == "191,191,191" ]] ||
  fail "the about box drew the key $(pixel_at "$key_x" "$key_y")"
xdotool key Escape
wait_focus "$window" || fail "the about box closed and left the keys on $(xdotool getwindowfocus)"
sleep 0.3
[[ $(pixel_at "$key_x" "$key_y") == "191,191,191" ]] ||
  fail "closing the about box drew the key $(pixel_at "$key_x" "$key_y")"
grep -q '^80 24' "$work/received.txt" && fail "the clicked key's note was stopped"
xdotool key alt+F4
expect_exit

echo "e2e focus passed"
