#!/usr/bin/env bash
# Start-up of the real program, process start to painted window, with a voice argument that is a
# regular file, with one that is a FIFO nobody writes to, and with a FIFO as the working voice;
# the three in turn, RUNS times, under a private Xvfb and JACK server, settings of the JACK port.
# Usage: bench/fifo-start.sh [BUILD-DIR] [RUNS]     (default: build 5)
set -uo pipefail

build=${1:-build}
runs=${2:-5}
orvane=$build/bin/orvane
measure=$build/bench/orvane_measure
list_outputs=$build/tests/e2e/orvane_e2e_list_outputs
receiver=$build/tests/e2e/orvane_e2e_receiver
jack_period=256  # the period of the figures in docs/performance.md
source "$(dirname "$0")/../tests/e2e/e2e-env.sh"

receive_program_output
head -c 112 /dev/zero >"$work/Regular.orvane"
mkfifo "$work/Pipe.orvane"
startup_ms() { "$measure" startup --settle 0 "$@" 2>>"$work/orvane.log" | awk '/startup_ms/ {print $2}'; }
regular=() pipe=() working=()
for ((run = 0; run < runs; run++)); do
  rm -f "$settings/Orvane.orvset"
  regular+=("$(startup_ms "$orvane" "$work/Regular.orvane")")
  pipe+=("$(startup_ms "$orvane" "$work/Pipe.orvane")")
  rm -f "$settings/Orvane.orvset"
  mkfifo "$settings/Orvane.orvset"
  working+=("$(startup_ms "$orvane")")
done
echo "regular voice argument (ms): ${regular[*]}"
echo "FIFO as the voice argument (ms): ${pipe[*]}"
echo "FIFO as the working voice (ms): ${working[*]}"
