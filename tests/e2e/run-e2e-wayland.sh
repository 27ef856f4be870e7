#!/usr/bin/env bash
# End-to-end test of the real program on a Wayland desktop: a headless sway, the program either
# native (QT_QPA_PLATFORM=wayland) or through sway's XWayland, and keys and clicks that come
# from a virtual keyboard and pointer as evdev codes, read with a US and a French keymap.
# Usage: run-e2e-wayland.sh wayland|xwayland ORVANE RECEIVER LIST-OUTPUTS WAYLAND-INPUT
# Exit 77 (skipped) where sway, jackd or a tool is missing or sway cannot start.
set -uo pipefail

mode=$1
orvane=$2
receiver=$3
list_outputs=$4
wayland_input=$5

source "$(dirname "$0")/sway-env.sh"

case $mode in
  wayland)
    export QT_QPA_PLATFORM=wayland
    ;;
  xwayland)
    for tool in Xwayland xdotool xdpyinfo xhost; do
      command -v "$tool" >/dev/null || skip "$tool missing"
    done
    export QT_QPA_PLATFORM=xcb
    export DISPLAY
    DISPLAY=$(xwayland_display) || skip "sway started no XWayland"
    # The X server belongs to sway's user; let this user's programs in.
    swaymsg exec "xhost +si:localuser:$(id -un) >$runtime/xhost.log 2>&1" >/dev/null
    wait_for 50 xdpyinfo || skip "XWayland does not let $(id -un) in: $(cat "$runtime/xhost.log" 2>/dev/null)"
    ;;
  *)
    echo "usage: $0 wayland|xwayland ORVANE RECEIVER LIST-OUTPUTS WAYLAND-INPUT"
    exit 2
    ;;
esac

shots=${ORVANE_SCREENSHOT_DIR:-$work}
mkdir -p "$shots"
receive_program_output
start_input us

# True when the program has the keys: sway's focus is its window and, through XWayland, X's
# input focus too (X follows sway's focus a moment later).
program_has_keys() {
  program_focused || return 1
  [[ $mode == wayland ]] && return 0
  xdotool search --all --pid "$orvane_pid" 2>/dev/null | grep -qx "$(xdotool getwindowfocus 2>/dev/null)"
}

# Starts the program and waits until it has the keys.
start_program() {
  "$orvane" >>"$work/orvane.log" 2>&1 &
  orvane_pid=$!
  pids+=("$orvane_pid")
  for ((t = 0; t < 200; t++)); do
    program_has_keys && break
    kill -0 "$orvane_pid" 2>/dev/null || fail "the program ended at its start"
    sleep 0.1
  done
  program_has_keys || fail "the window never had the focus"
  wait_for 30 test -s "$work/received.txt"
  sleep 0.5
}

# Closes the window as the compositor does (its close request) and waits for the exit.
close_program() {
  swaymsg "[pid=$orvane_pid] kill" >/dev/null || fail "sway cannot close the window"
  expect_exit
}

# Waits until the program has the keys again, and a moment longer.
focus_back() {
  wait_for 50 program_has_keys || fail "the focus did not come back"
  sleep 0.3
}

# Key presses and releases, each one a command of the input sender.
keys() {
  local key
  for key in "$@"; do input "${key%:*}" "${key#*:}"; done
}

# The view's top edge on the screen: the first black pixel (the piano's frame) down column 3.
view_top() {
  grim "$work/top.png"
  convert "$work/top.png" -crop 1x200+3+0 -depth 8 txt:- |
    awk -F'[,:]' '/#000000/ { print $2; exit }'
}

# "r,g,b" of each point "x,y" of the screenshot $1, one a line.
pixels() {
  local image=$1 point
  shift
  for point in "$@"; do
    convert "$image" -format "%[fx:int(255*p{$point}.r)],%[fx:int(255*p{$point}.g)],%[fx:int(255*p{$point}.b)]\n" info:
  done
}

step=start
start_program

step=held
: >"$work/received.txt"
keys press:$KEY_Q wait:1500 release:$KEY_Q
expect_received "Q held through the client's key repeat" $'90 30 7f\n80 30 00'

step=french
input keymap fr
: >"$work/received.txt"
keys press:$KEY_Q wait:800 release:$KEY_Q
expect_received "the Q position under a French keymap (A printed there)" $'90 30 7f\n80 30 00'
input keymap us

step=focus
: >"$work/received.txt"
keys press:$KEY_Q press:$KEY_W
input window
expect_received "the focus moved to another window with Q and W held" $'90 30 7f\n90 32 7f\n80 30 00\n80 32 00'
keys release:$KEY_Q release:$KEY_W
input unwindow
focus_back
[[ $(cat "$work/received.txt") == $'90 30 7f\n90 32 7f\n80 30 00\n80 32 00' ]] ||
  fail "keys released elsewhere sent $(tr '\n' '|' <"$work/received.txt")"

step=shift
: >"$work/received.txt"
keys press:$KEY_LEFTSHIFT press:$KEY_Z release:$KEY_Z wait:300
expect_received "Z released under Shift" $'90 24 7f'
input release $KEY_LEFTSHIFT
wait_for 30 grep -q '^80 24 00$' "$work/received.txt" || fail "releasing Shift did not stop Z"

step=caps-lock
keys press:$KEY_CAPSLOCK release:$KEY_CAPSLOCK wait:200
: >"$work/received.txt"
keys press:$KEY_Z release:$KEY_Z wait:300
expect_received "Z released under the Caps Lock latch" $'90 24 7f'
keys press:$KEY_CAPSLOCK release:$KEY_CAPSLOCK
wait_for 30 grep -q '^80 24 00$' "$work/received.txt" || fail "releasing Caps Lock did not stop Z"
: >"$work/received.txt"
keys press:$KEY_Z release:$KEY_Z
expect_received "Z after the latch is off" $'90 24 7f\n80 24 00'

step=caps-lock-elsewhere
# Caps Lock turned on in another window: the state that comes back with the focus latches.
input window
keys press:$KEY_CAPSLOCK release:$KEY_CAPSLOCK
input unwindow
focus_back
: >"$work/received.txt"
keys press:$KEY_Z release:$KEY_Z wait:300
expect_received "Z with Caps Lock turned on in another window" $'90 24 7f'
keys press:$KEY_ENTER release:$KEY_ENTER  # silences Z
# ...and turned off there: nothing latches any more.
input window
keys press:$KEY_CAPSLOCK release:$KEY_CAPSLOCK
input unwindow
focus_back
# (the first key event brings the state: the pedal found up silences everything first)
: >"$work/received.txt"
keys press:$KEY_Z release:$KEY_Z
wait_for 30 sh -c '[ "$(tail -n 2 "$1")" = "$2" ]' _ "$work/received.txt" $'90 24 7f\n80 24 00' ||
  fail "Z with Caps Lock turned off in another window: $(tr '\n' '|' <"$work/received.txt")"

step=piano-tiled
top=$(view_top)
[[ -n "$top" ]] || fail "no piano on the screen"
width=1280
height=$((800 - top))
grim "$shots/$mode-piano-tiled.png" || fail "no screenshot"
# Every plain white-key boundary of the lower band (k * W div 22) is a black frame line at the
# bottom of the screen: the keyboard spans exactly the tile.
boundaries=()
for k in 1 2 4 5 6 8 9 10 11 12 13 15 16 17 18 19 20 21; do boundaries+=("$((k * width / 22)),795"); done
[[ $(pixels "$shots/$mode-piano-tiled.png" "${boundaries[@]}" | sort -u) == "0,0,0" ]] ||
  fail "the piano does not fill the ${width}-pixel tile: $(pixels "$shots/$mode-piano-tiled.png" "${boundaries[@]}" | tr '\n' ' ')"

step=mouse
# Key 0 (C, MIDI 36) clicked near the bottom: it sounds and is drawn pressed...
: >"$work/received.txt"
keys move:"20 790" button:"press left" button:"release left"
# (the click silences everything first)
wait_for 30 grep -qx '90 24 7f' "$work/received.txt" || fail "a click on the lowest key played nothing"
input move "1200 100"  # the pointer out of the picture
sleep 0.3
[[ $(pixel_at 20 790) == "191,191,191" ]] || fail "the clicked key is drawn $(pixel_at 20 790)"
# ...and stays drawn pressed when another window takes the focus, as its note still sounds.
input window
sleep 0.5
[[ $(pixel_at 20 790) == "191,191,191" ]] || fail "losing the activation redrew the key as $(pixel_at 20 790)"
input unwindow
focus_back

step=piano-split
# A second tiled window halves the tile below the window's minimum width: the piano is drawn
# over the narrower tile, not cut at its edge.
input "window tiled"
sleep 1
width=640
grim "$shots/$mode-piano-split.png" || fail "no screenshot"
boundaries=()
for k in 1 2 4 5 6 8 9 10 11 12 13 15 16 17 18 19 20 21; do boundaries+=("$((k * width / 22)),795"); done
[[ $(pixels "$shots/$mode-piano-split.png" "${boundaries[@]}" | sort -u) == "0,0,0" ]] ||
  fail "the piano does not fill the ${width}-pixel tile: $(pixels "$shots/$mode-piano-split.png" "${boundaries[@]}" | tr '\n' ' ')"
input unwindow
focus_back

step=stored-first
# Closed while tiled: the tile is no rectangle the player chose; nothing was saved before, so
# nothing is saved now either.
close_program
grep -qzF $'[POSITION]\nLEFT=0\nTOP=0\nRIGHT=0\nBOTTOM=0' "$settings/Orvane.ini" ||
  fail "the tiled size was stored: $(grep -A4 POSITION "$settings/Orvane.ini" | tr '\n' ' ')"

step=accordion-tiled
# A saved rectangle and the accordion: drawn round at the tiled size, and the rectangle stored
# back as it was.
sed -i 's/^KEYBOARDTYPE=.*/KEYBOARDTYPE=1/; s/^LEFT=.*/LEFT=100/; s/^TOP=.*/TOP=120/; s/^RIGHT=.*/RIGHT=900/; s/^BOTTOM=.*/BOTTOM=330/' "$settings/Orvane.ini"
: >"$work/received.txt"
start_program
width=1280
height=$((800 - top))
# Button 0: d = min(W / 15, H / 6), left W / 53, top 0.2 * H / 4; its centre is the released
# grey, the background below it light grey, and its outline as wide as it is high.
read -r d x y < <(awk -v w="$width" -v h="$height" -v t="$top" 'BEGIN {
  d = w / 15 < h / 6 ? w / 15 : h / 6; printf "%d %d %d\n", d, w / 53, t + 0.2 * h / 4 }')
centre_x=$((x + d / 2))
centre_y=$((y + d / 2))
# The window may have the focus a moment before its first picture is on the screen.
for ((t = 0; t < 50; t++)); do
  grim "$shots/$mode-accordion-tiled.png" || fail "no screenshot"
  [[ $(pixels "$shots/$mode-accordion-tiled.png" "$centre_x,$centre_y") == "169,169,169" ]] && break
  sleep 0.1
done
[[ $(pixels "$shots/$mode-accordion-tiled.png" "$centre_x,$centre_y") == "169,169,169" ]] ||
  fail "button 0 is not at its place: $(pixels "$shots/$mode-accordion-tiled.png" "$centre_x,$centre_y")"
[[ $(pixels "$shots/$mode-accordion-tiled.png" "$centre_x,$((y + d + 4))") == "230,230,230" ]] ||
  fail "no background below button 0"
across=$(convert "$shots/$mode-accordion-tiled.png" -crop "$((d + 20))x1+$((x - 10))+$centre_y" -depth 8 txt:- | grep -c '#A9A9A9')
down=$(convert "$shots/$mode-accordion-tiled.png" -crop "1x$((d + 20))+$centre_x+$((y - 10))" -depth 8 txt:- | grep -c '#A9A9A9')
((across - down <= 2 && down - across <= 2)) || fail "button 0 is ${across} wide and ${down} high"
close_program
grep -qzF $'[POSITION]\nLEFT=100\nTOP=120\nRIGHT=900\nBOTTOM=330' "$settings/Orvane.ini" ||
  fail "the saved rectangle became $(grep -A4 POSITION "$settings/Orvane.ini" | tr '\n' ' ')"

echo "e2e $mode passed"
