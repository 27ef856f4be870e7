#!/usr/bin/env bash
# End-to-end test of key strokes on the real program under Xvfb with a JACK MIDI receiver: a key
# struck again while the program is busy plays twice, a held key with auto-repeat plays once.
# Usage: run-e2e-keys.sh ORVANE RECEIVER LIST-OUTPUTS
# Exit 77 (skipped) when Xvfb, jackd or xdotool is missing.
set -uo pipefail

orvane=$1
receiver=$2
list_outputs=$3

source "$(dirname "$0")/e2e-env.sh"

receive_program_output

start_orvane
wait_for 30 test -s "$work/received.txt"
sleep 0.2
: >"$work/received.txt"

# Q held, the program stalled for 100 ms, and within the stall Q released and struck again after
# $1 ms: when the program gets to the events, the key is down again, and both strokes must play.
restrike_while_stalled() {
  local gap=$1
  : >"$work/received.txt"
  xdotool keydown q
  sleep 0.2
  kill -STOP "$orvane_pid"
  xdotool keyup q sleep "$(printf '0.%03d' "$gap")" keydown q
  sleep "$(printf '0.%03d' $((100 - gap - 10)))"
  kill -CONT "$orvane_pid"
  sleep 0.3
  xdotool keyup q
  expect_received "struck again ${gap} ms after its release in a stall" \
    $'90 30 7f\n80 30 00\n90 30 7f\n80 30 00'
}
restrike_while_stalled 30
restrike_while_stalled 80

# Held with auto-repeat on (fast, so many repeats come in 1.5 s), also across a stall: one
# note-on, one note-off.
xset r rate 200 40 2>/dev/null || true
: >"$work/received.txt"
xdotool keydown z
sleep 0.8
kill -STOP "$orvane_pid"
sleep 0.1
kill -CONT "$orvane_pid"
sleep 0.7
xdotool keyup z
expect_received "held with auto-repeat" $'90 24 7f\n80 24 00'

# Two keys struck in turn while the other is held: each plays once.
: >"$work/received.txt"
xdotool keydown q sleep 0.5 keydown w sleep 0.5 keyup q sleep 0.5 keyup w
expect_received "two keys under auto-repeat" $'90 30 7f\n90 32 7f\n80 30 00\n80 32 00'

echo "e2e keys passed"
