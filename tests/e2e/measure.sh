#!/usr/bin/env bash
# Start-up time and key-to-MIDI latency of the real program under a private X server and JACK
# server, as recorded in docs/performance.md.
# Usage: measure.sh ORVANE MEASURE LIST-OUTPUTS [PRESSES]
set -uo pipefail

orvane=$1
measure=$2
list_outputs=$3
presses=${4:-200}

source "$(dirname "$0")/e2e-env.sh"

settings="$work/settings"
mkdir -p "$settings"
export ORVANE_SETTINGS_DIR=$settings

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
device=$("$list_outputs" 2>/dev/null | awk -F'\t' '/orvane-measure-in/ { print $1; exit }')
[[ -n "$device" ]] || fail "no output device for the measuring port"
printf '[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=%d\n' "$((device + 1))" >"$settings/Orvane.ini"
"$orvane" >>"$work/orvane.log" 2>&1 &
pids+=($!)
window=$(timeout 20 xdotool search --sync --name '^Tellak Orvane$' | head -1)
[[ -n "$window" ]] || fail "no main window"
xdotool windowfocus --sync "$window"
sleep 0.5
echo go >&3
wait "$measure_pid" || fail "latency not measured"
echo "key press (XTest) to note-on at a JACK port, $presses presses:"
grep latency_ms "$work/measure.log"
