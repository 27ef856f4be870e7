#!/usr/bin/env bash
# End-to-end test of saving into a settings folder that takes no new files while its files stay
# writable (immutable as root, mode 0555 otherwise): the real program under Xvfb still writes
# the working voice and the settings when it closes, and an F2 save over an existing voice file.
# Usage: run-e2e-locked-folder.sh ORVANE RECEIVER LIST-OUTPUTS
# Exit 77 (skipped) when Xvfb, jackd or xdotool is missing.
set -uo pipefail

orvane=$1
receiver=$2
list_outputs=$3

source "$(dirname "$0")/e2e-env.sh"

# The folder must take files again before the shared clean-up removes it, also after a failure.
unlock_settings() {
  if ((EUID == 0)); then chattr -i "$settings" 2>/dev/null; fi
  chmod u+w "$settings" 2>/dev/null
}
trap 'unlock_settings; cleanup' EXIT
lock_settings() {
  if ((EUID == 0)); then
    # Permission bits do not bind root; a file system without the flag cannot run this test.
    chattr +i "$settings" 2>/dev/null || { echo "e2e: no immutable flag here, skipped"; exit 77; }
  else
    chmod 0555 "$settings"
  fi
  ! touch "$settings/probe" 2>/dev/null || fail "the settings folder still takes new files"
}

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

echo "e2e locked folder passed"
