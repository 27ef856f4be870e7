#!/usr/bin/env bash
# Start-up time and key-to-MIDI latency of the real program under a private X server and JACK
# server, as recorded in docs/performance.md.
# Usage: measure.sh ORVANE MEASURE LIST-OUTPUTS [PRESSES]
set -uo pipefail

orvane=$1
measure=$2
list_outputs=$3
presses=${4:-200}

jack_period=64  # as a musician would set it
source "$(dirname "$0")/../tests/e2e/e2e-env.sh"

echo "start-up, process start to painted keyboard (default output):"
for run in 1 2 3 4 5; do
  "$measure" startup "$orvane" 2>>"$work/orvane.log" || fail "start-up not measured"
done

mkfifo "$work/go"
"$measure" latency orvane-measure-in "$presses" <"$work/go" >"$work/measure.log" 2>&1 &
pids+=($!)
measure_pid=$!
exec 3>"$work/go"
wait_for 100 grep -q ready "$work/measure.log" || fail "measuring port did not start"
use_output_port orvane-measure-in
start_orvane
sleep 0.2
echo go >&3
wait "$measure_pid" || fail "latency not measured"
echo "key press (XTest) to note-on at a JACK port, $presses presses:"
grep latency_ms "$work/measure.log"
