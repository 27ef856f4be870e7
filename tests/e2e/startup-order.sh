#!/usr/bin/env bash
# The MIDI that the real program sends while it starts, on real JACK ports, whatever loads in
# the background and however early the first key comes: the default output gets the program
# change of channel 1, the 16 volumes and the 32 programs and volumes; after the switch to the
# stored output that one gets 32, then 32 more for the loaded voice and the silencing of the
# layout switch, and only then the first note. Without its synthesizer's process beside it the
# program plays on the ports as it does when the synthesizer cannot sound.
# Usage: startup-order.sh ORVANE RECEIVER LIST-OUTPUTS
# Exit 77 (skipped) when Xvfb, jackd or xdotool is missing.
set -uo pipefail

orvane=$1
receiver=$2
list_outputs=$3

source "$(dirname "$0")/e2e-env.sh"

start_receiver orvane-order-first first
start_receiver orvane-order-stored stored

# Without the built-in synthesizer the first port is the default output.
first_device=$("$list_outputs" 2>/dev/null | head -1)
[[ "$first_device" == *orvane-order-first* ]] || fail "the first port is not ours: $first_device"

programs_and_volumes() {
  for ch in 0 1 2 3 4 5 6 7 8 9 a b c d e f; do printf 'c%s 00\nb%s 07 64\n' "$ch" "$ch"; done
}
startup_messages() {
  printf 'c0 00\n'
  for ch in 0 1 2 3 4 5 6 7 8 9 a b c d e f; do printf 'b%s 07 64\n' "$ch"; done
  programs_and_volumes
}
reset_messages() {
  for ch in 0 1 2 3 4 5 6 7 8 9 a b c d e f; do printf 'b%s 40 00\nb%s 7b 00\n' "$ch" "$ch"; done
}

# Starts the program on a fresh settings file that stores the second port, presses Q as soon
# as the window shows and waits for the note.
start_and_press() {
  local stored=$1
  xruns_before=$(xruns)
  : >"$work/first.txt"
  : >"$work/stored.txt"
  rm -f "$settings"/*
  use_output_port "orvane-order-$stored"
  "$orvane" >>"$work/orvane.log" 2>&1 &
  orvane_pid=$!
  pids+=("$orvane_pid")
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$orvane_pid" --class orvane |
    head -1)
  [[ -n "$window" ]] || fail "no main window"
  xdotool windowfocus "$window" key q
  wait_for 50 grep -q '^80 30 00$' "$work/$stored.txt" || fail "the first key never arrived"
  kill -TERM "$orvane_pid"
  timeout 15 tail --pid="$orvane_pid" -f /dev/null || fail "orvane did not end"
}

xruns() { grep -ci xrun "$work/jackd.log"; }

# A JACK server that misses its cycles (an xrun: a client, often this test's receiver, did not
# finish in time, as under a sanitizer on a busy machine) may deliver a period's MIDI twice or not
# at all; what the receivers saw then says nothing about the program, so the test is skipped.
expect_file() {
  local file=$1 expected=$2 what=$3
  [[ "$(cat "$file")" == "$expected" ]] && return 0
  if (($(xruns) > xruns_before)); then
    echo "e2e: $what: JACK reported xruns meanwhile, so the order cannot be judged; skipped"
    exit 77
  fi
  fail "$what: got $(tr '\n' '|' <"$file"), expected $(tr '\n' '|' <<<"$expected")"
}

# 1. The built-in synthesizer cannot sound: the first port is the default output.
export ORVANE_AUDIO_DRIVER=none
start_and_press stored
expect_file "$work/first.txt" "$(startup_messages; reset_messages)" "default output"
# ... and at the end, as the program closes the port, the notes it played end and every channel
# is silenced, so that nothing hangs on the device afterwards.
stored_messages() {
  programs_and_volumes
  programs_and_volumes
  reset_messages
  printf '90 30 7f\n80 30 00\n'
  reset_messages
}
expect_file "$work/stored.txt" "$(stored_messages)" "stored output"

# 2. The built-in synthesizer is the default output and loads its SoundFont meanwhile: the
# stored port sees the same.
export ORVANE_AUDIO_DRIVER=jack
start_and_press stored
[[ ! -s "$work/first.txt" ]] || fail "the first port was used although the synthesizer sounds"
expect_file "$work/stored.txt" "$(stored_messages)" "stored output after the synthesizer"

# 3. The default output is also the stored one: it is switched to itself (closed and opened
# again) and sees everything in one stream.
export ORVANE_AUDIO_DRIVER=none
start_and_press first
expect_file "$work/first.txt" "$(startup_messages; reset_messages; stored_messages)" \
  "default output that is also the stored one"
[[ ! -s "$work/stored.txt" ]] || fail "the second port was used"

# 4. The synthesizer's process starts but cannot sound (an audio driver its FluidSynth does not
# have): only its answer makes the first port the default output, which then sees all, as in 1.
export ORVANE_AUDIO_DRIVER=no-such-driver
start_and_press stored
expect_file "$work/first.txt" "$(startup_messages; reset_messages)" "default output after the answer"
expect_file "$work/stored.txt" "$(stored_messages)" "stored output after the answer"

# 5. The program without its synthesizer's process (a broken installation): the synthesizer cannot
# sound although JACK could play it, so the first port is the default output, as in 1.
unset ORVANE_AUDIO_DRIVER
mkdir -p "$work/bare"
cp "$orvane" "$work/bare/"
orvane=$work/bare/orvane
start_and_press stored
expect_file "$work/first.txt" "$(startup_messages; reset_messages)" "default output without the process"
expect_file "$work/stored.txt" "$(stored_messages)" "stored output without the process"

echo "start-up order passed"
