#!/usr/bin/env bash
# End-to-end test of the real program under a window manager (openbox), which gives the windows
# frames, focus and stacking of its own and offers a maximise button the program does not ask
# for: placement with frames, maximising, message boxes over a dialog and beside the main
# window, an open patch list. With ORVANE_SCREENSHOT_DIR set, the pictures of docs/ are taken
# on the way.
# Usage: run-e2e-openbox.sh ORVANE RECEIVER LIST-OUTPUTS
# Exit 77 (skipped) when Xvfb, jackd, xdotool, openbox or wmctrl is missing.
set -uo pipefail

orvane=$1
receiver=$2
list_outputs=$3

for tool in openbox wmctrl; do
  command -v "$tool" >/dev/null || { echo "e2e: $tool missing, skipped"; exit 77; }
done
source "$(dirname "$0")/e2e-env.sh"

window_manager=openbox
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 100 wmctrl -m || fail "openbox did not start"

receive_program_output

# Saves the part of the screen that window $1 covers, frame included, as picture $2 in
# $ORVANE_SCREENSHOT_DIR, in 32 colours to keep it small.
screenshot() {
  [[ -n "${ORVANE_SCREENSHOT_DIR:-}" ]] || return 0
  local rect
  read -ra rect <<<"$(outer_rect "$1")"
  import -window root -crop "$((rect[2] - rect[0]))x$((rect[3] - rect[1]))+${rect[0]}+${rect[1]}" \
    +repage +dither -colors 32 "PNG8:$ORVANE_SCREENSHOT_DIR/$2" || fail "no screenshot $2"
}

box_gone() {
  ! xdotool search --all --onlyvisible --pid "$orvane_pid" --name "^$1\$" 2>/dev/null | grep -q .
}

step=placement
# The frame's outer rectangle is placed at the saved one, and the rectangle stored at the close
# is the outer one again; only LEFT set counts as saved, enlarged to the minimum size.
for saved in "100 80 900 300" "100 0 0 0"; do
  placed=$saved
  [[ $saved == "100 0 0 0" ]] && placed="100 0 822 150"
  expect_placed_and_stored "$saved" "$placed"
done
# A rectangle wholly off the screen is asked for as stored; openbox keeps a corner of it on the
# screen, and the close stores where the window really was.
settings_with_position "-3000 -2000 -2200 -1800"
start_orvane
rect=$(outer_rect "$window")
read -ra r <<<"$rect"
((r[2] - r[0] == 800 && r[3] - r[1] == 200)) || fail "off-screen rectangle resized to $rect"
xdotool key alt+F4
expect_exit
grep -qzF "$(position_lines "$rect")" "$settings/Orvane.ini" || fail "off-screen rectangle written back as $(tail -5 "$settings/Orvane.ini")"

step=maximise
# Asked to maximise (the button openbox shows anyway): the window goes back to its rectangle,
# and that rectangle is what the close stores.
settings_with_position "100 80 900 300"
start_orvane
wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz
sleep 0.5
wait_for 30 sh -c "! xprop -id $window _NET_WM_STATE | grep -q MAXIMIZED" || fail "the window stayed maximised"
wait_until 30 '[[ "$(outer_rect "$window")" == "100 80 900 300" ]]' || fail "back at $(outer_rect "$window")"
xdotool key alt+F4
expect_exit
grep -qzF "$(position_lines "100 80 900 300")" "$settings/Orvane.ini" || fail "maximised window stored $(tail -5 "$settings/Orvane.ini")"

step=validation
# A refused field in "Voice Settings": the box is modal over the dialog, on top of it and has
# the keys; Return, Space, Esc and a click on OK each close it; typing then replaces the field.
start_orvane
xdotool key F4
dialog=$(window_named "Voice Settings") || fail "no voice dialog"
wait_focus "$dialog" || fail "the dialog did not take the keys"
xdotool key Tab Tab Tab ctrl+a 1 2 8  # channel 1's volume
for way in Return space Escape click; do
  xdotool key Return  # Listen, which validates
  box=$(window_named Orvane) || fail "no validation box before $way"
  wait_focus "$box" || fail "the validation box did not take the keys"
  stacking=$(xprop -root _NET_CLIENT_LIST_STACKING)
  [[ $(printf '0x%x' "$box") == "${stacking##* }" ]] || fail "the box is not on top: $stacking"
  [[ $way == Return ]] && screenshot "$dialog" voice-settings-validation.png
  if [[ $way == click ]]; then
    read -r width height < <(xwininfo -id "$box" | awk '/^ *Width:/ {w=$NF} /^ *Height:/ {print w, $NF}')
    xdotool mousemove --window "$box" $((width - 50)) $((height - 24)) click 1  # OK, bottom right
  else
    xdotool key "$way"
  fi
  wait_for 20 box_gone Orvane || fail "$way did not close the validation box"
  wait_focus "$dialog" || fail "the dialog did not take the keys back after $way"
done
: >"$work/received.txt"
xdotool key 9 0 Return
wait_for 30 grep -q '^b0 07 5a$' "$work/received.txt" || fail "typing did not replace the field"

step=patch-list
# Channel 2's patch list drops down as 16 rows with a scroll bar, not as a column the height of
# the screen.
xdotool key Tab Tab
open_before=$(xdotool search --all --onlyvisible --pid "$orvane_pid" --class orvane | sort)
xdotool key space
sleep 0.5
popup=$(comm -13 <(echo "$open_before") <(xdotool search --all --onlyvisible --pid "$orvane_pid" --class orvane | sort) | head -1)
[[ -n "$popup" ]] || fail "the patch list did not open"
height=$(xwininfo -id "$popup" | awk '/^ *Height:/ {print $NF}')
((height > 150 && height < 400)) || fail "the open patch list is $height pixels high"
screenshot "$dialog" patch-list-open.png
xdotool key Escape Escape
wait_for 20 box_gone "Voice Settings" || fail "the dialog did not close"

step=help
# The help box has no owner: the main window can be activated and played while it is open.
xdotool key F1
help=$(window_named "Tellak Orvane Help") || fail "no help box"
xdotool windowactivate --sync "$window" || fail "cannot activate the main window beside the help box"
: >"$work/received.txt"
xdotool key q
wait_for 30 grep -q '^90 30 7f$' "$work/received.txt" || fail "the main window did not play beside the help box"
window_named "Tellak Orvane Help" 1 >/dev/null || fail "the help box went away"
xdotool windowactivate --sync "$help" && xdotool key Return
wait_for 20 box_gone "Tellak Orvane Help" || fail "the help box did not close"
xdotool windowactivate --sync "$window"
xdotool key alt+F4
expect_exit

echo "e2e under openbox passed"
