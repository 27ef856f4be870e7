#!/usr/bin/env bash
# End-to-end test of saving into a settings folder that takes no new files while its files stay
# writable (immutable as root, mode 0555 otherwise): the real program under Xvfb still writes
# the working voice and the settings when it closes, and an F2 save over an existing voice file.
# A settings folder that does not exist yet is made. Then a portable copy in such a folder: the
# settings and voice beside it are read and written.
# Usage: run-e2e-locked-folder.sh ORVANE RECEIVER LIST-OUTPUTS
# Exit 77 (skipped) when Xvfb, jackd or xdotool is missing.
set -uo pipefail

orvane=$1
receiver=$2
list_outputs=$3

source "$(dirname "$0")/e2e-env.sh"

# The folders must take files again before the shared clean-up removes them, also after a failure.
unlock_folder() {
  if ((EUID == 0)); then chattr -i "$1" 2>/dev/null; fi
  chmod u+w "$1" 2>/dev/null
}
trap 'unlock_folder "$settings"; unlock_folder "$work/portable"; cleanup' EXIT
lock_folder() {
  if ((EUID == 0)); then
    # Permission bits do not bind root; a file system without the flag cannot run this test.
    chattr +i "$1" 2>/dev/null || { echo "e2e: no immutable flag here, skipped"; exit 77; }
  else
    chmod 0555 "$1"
  fi
  ! touch "$1/probe" 2>/dev/null || fail "the folder $1 still takes new files"
}
lock_settings() { lock_folder "$settings"; }

receive_program_output

# A first run makes the files; the voice it leaves is the default one.
start_orvane
xdotool key alt+F4
expect_exit
cp "$settings/Orvane.orvset" "$work/default.orvset" || fail "no working voice after the first run"
[[ $(stat -c %s "$work/default.orvset") == 112 ]] || fail "working voice not 112 bytes"
head -c 112 /dev/zero >"$settings/Saved.orvane"

# Stale content in both files, so that a write shows.
start_orvane
lock_settings
printf 'stale\n' >"$settings/Orvane.orvset"
printf '[STALE]\n' >"$settings/Orvane.ini"

# F2 over the existing Saved.orvane: the file dialog takes the path, then asks before replacing.
xdotool key F2
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name "Save Tellak Orvane Voice File As" | head -1)
[[ -n "$dialog" ]] || fail "no save dialog"
sleep 0.5
xdotool key ctrl+a type --delay 10 "$settings/Saved.orvane"
xdotool key Return
sleep 0.5
xdotool key alt+y  # "Do you want to replace it?"
wait_for 50 cmp -s "$settings/Saved.orvane" "$work/default.orvset" ||
  fail "F2 did not write over the existing file"

# Closing writes the working voice and the nine settings in place.
xdotool key alt+F4
expect_exit
cmp -s "$settings/Orvane.orvset" "$work/default.orvset" || fail "working voice not written"
for key in PRESSEDKEYCOLOR ISHARDWAREMIDIKBDENABLED MIDIOUTDEVINDEX MIDIINDEVINDEX KEYBOARDTYPE \
  LEFT TOP RIGHT BOTTOM; do
  grep -q "^$key=" "$settings/Orvane.ini" || fail "$key not written: $(cat "$settings/Orvane.ini")"
done
grep -q '^\[STALE\]' "$settings/Orvane.ini" || fail "the settings file was not edited in place"
files=$(ls -A "$settings" | sort | tr '\n' ' ')
[[ $files == "Orvane.ini Orvane.orvset Saved.orvane " ]] || fail "files left in the folder: $files"

step="a settings folder not made yet"
# Seen: with ORVANE_SETTINGS_DIR naming a folder that did not exist, the program played and
# closed without a word and kept nothing. Now it makes the folder, as it does the per-user one.
fresh=$work/new/settings
ORVANE_SETTINGS_DIR=$fresh start_orvane
xdotool key alt+F4
expect_exit
[[ -s $fresh/Orvane.ini && $(stat -c %s "$fresh/Orvane.orvset" 2>/dev/null) == 112 ]] ||
  fail "nothing kept in the new folder: $(ls -A "$fresh" 2>&1)"

step="portable copy in a folder that takes no new files"
# Seen: the program found the folder not writable, ignored both files beside it and started from
# defaults in ~/.config/orvane. Now both are read (the output, the layout and the voice's patch
# 40 show it) and written in place; nothing goes to the per-user folder.
portable=$work/portable
mkdir -p "$portable" "$work/home"
cp "$orvane" "$(dirname "$orvane")/orvane-synth" "$portable/"
printf '[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=%d\nKEYBOARDTYPE=1\n' "$output_index" >"$portable/Orvane.ini"
{
  printf '\x28\x5a\x00\x00\x00\x00\x01'
  for ((layer = 1; layer < 16; layer++)); do printf '\x00\x64\x00\x00\x00\x00\x00'; done
} >"$portable/Orvane.orvset"
cp "$portable/Orvane.orvset" "$work/own.orvset"
lock_folder "$portable"
: >"$work/received.txt"
orvane=$portable/orvane
HOME=$work/home XDG_CONFIG_HOME= ORVANE_SETTINGS_DIR= start_orvane
wait_for 50 grep -q '^c0 28$' "$work/received.txt" || fail "the voice beside the program was not read: $(tr '\n' '|' <"$work/received.txt")"
[[ $(xdotool getwindowname "$window") == "Tellak Orvane" ]] || fail "title $(xdotool getwindowname "$window")"
xdotool key alt+F4
expect_exit
grep -q '^KEYBOARDTYPE=1$' "$portable/Orvane.ini" || fail "the layout beside the program was not read: $(cat "$portable/Orvane.ini")"
grep -q '^RIGHT=[1-9]' "$portable/Orvane.ini" || fail "settings not written in place: $(cat "$portable/Orvane.ini")"
cmp -s "$portable/Orvane.orvset" "$work/own.orvset" || fail "working voice not kept"
[[ ! -e "$work/home/.config/orvane" ]] || fail "the per-user folder was used: $(ls -A "$work/home/.config/orvane")"
files=$(ls -A "$portable" | sort | tr '\n' ' ')
[[ $files == "Orvane.ini Orvane.orvset orvane orvane-synth " ]] || fail "files in the program folder: $files"

echo "e2e locked folder passed"
