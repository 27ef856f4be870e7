#!/usr/bin/env bash
# Key to sound of the built-in synthesizer on PipeWire, a previous build against this one in one
# run, alternating; the CPU its process and PipeWire's daemons take, idle and with a chord held on
# 16 layers; the graph's late cycles, idle and during a key storm on 16 layers, beside a peer
# stream, each build in turn. The figures in docs/performance.md come from here.
#
# Everything runs privately: an X server, PipeWire with WirePlumber and pipewire-pulse, and a
# null sink made the default output. Key to sound is an XTest press of Q to the first sample above
# -60 dBFS that a JACK client of the same graph (orvane_measure run through pw-jack) reads, timed
# at that sample's frame on the graph's clock: at the synthesizer's own output ports (the ports
# linked to the sink) and, in the same cycles, at the null sink's monitor ports.
#
# Usage: bench/pipewire-sound.sh BEFORE-ORVANE AFTER-ORVANE MEASURE [ROUNDS] [PRESSES] [STORM-S]
#                                [STORM-ROUNDS]
#   BEFORE-ORVANE, AFTER-ORVANE  the program of each build (build/.../orvane)
#   MEASURE                      orvane_measure of this build
#   ROUNDS x PRESSES             presses per build (default 4 x 10), alternating by round
#   STORM-S                      seconds of the key storm (default 60)
#   STORM-ROUNDS                 storms per build, alternating (default 1)
# Needs pipewire, wireplumber, pipewire-pulse, pipewire-jack (pw-jack), pipewire-bin
# (pw-profiler, pw-cat), dbus, xvfb, xdotool, x11-utils.
set -uo pipefail

before=${1:?before}
after=${2:?after}
measure=${3:?measure}
rounds=${4:-4}
presses=${5:-10}
storm_seconds=${6:-60}
storm_rounds=${7:-1}
for file in "$before" "$after" "$measure"; do
  [[ -x "$file" ]] || { echo "bench: no program at $file"; exit 2; }
done
for tool in pipewire wireplumber pipewire-pulse pw-jack pw-profiler pw-cat dbus-daemon Xvfb \
  xdotool xdpyinfo pactl; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is not installed"; exit 2; }
done

source "$(dirname "$0")/bench-env.sh" pwbench
percentile() {  # fraction; numbers on standard input
  sort -n | awk -v f="$1" '{v[NR] = $1} END {i = int(f * (NR - 1)) + 1; print v[i]}'
}

export XDG_RUNTIME_DIR=$work/run HOME=$work/home
mkdir -m 700 -p "$XDG_RUNTIME_DIR" "$HOME"
unset PULSE_SERVER DBUS_SESSION_BUS_ADDRESS JACK_DEFAULT_SERVER ORVANE_AUDIO_DRIVER \
  ORVANE_PIPEWIRE_LATENCY PIPEWIRE_REMOTE PIPEWIRE_LATENCY
for n in $(seq 150 199); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] || { export DISPLAY=:$n; break; }
done
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 100 xdpyinfo || { echo "bench: Xvfb did not start"; exit 1; }

dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/bus" --nofork --nopidfile \
  >"$work/dbus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
pipewire >"$work/pipewire.log" 2>&1 &
pipewire_pid=$!
pids+=($!)
wait_for 50 test -S "$XDG_RUNTIME_DIR/pipewire-0"
wireplumber >"$work/wireplumber.log" 2>&1 &
wireplumber_pid=$!
pids+=($!)
pipewire-pulse >"$work/pipewire-pulse.log" 2>&1 &
pulse_pid=$!
pids+=($!)
wait_for 100 pactl info || { echo "bench: pipewire-pulse did not start"; exit 1; }
pactl load-module module-null-sink sink_name=null >/dev/null
wait_for 50 pactl set-default-sink null
monitor="null Audio/Sink sink:monitor"

# A voice with all 16 layers on, each its own instrument (112 bytes: per layer patch, volume,
# transposition as little-endian int32, on).
python3 -c '
import struct, sys
patches = [0, 19, 48, 4, 24, 40, 56, 73, 0, 16, 32, 52, 60, 68, 80, 88]
sys.stdout.buffer.write(b"".join(struct.pack("<BBiB", p, 100, 0, 1) for p in patches))' \
  >"$work/sixteen.orvane"

# Starts PROGRAM (with ARGS) on fresh settings and gives it the focus; sets program_pid.
start_program() {
  local fresh
  fresh=$(mktemp -d "$work/fresh.XXXXXX")
  ORVANE_SETTINGS_DIR=$fresh "$@" >>"$work/programs.log" 2>&1 &
  program_pid=$!
  local window
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$program_pid" --class orvane |
    head -1)
  [[ -n "$window" ]] || { echo "bench: no window for $1"; return 1; }
  xdotool windowfocus --sync "$window"
  sleep 1  # the synthesizer's SoundFont loaded, its stream linked
}

# Clock ticks (utime + stime) of the processes, summed.
ticks() {
  local total=0 pid
  for pid in "$@"; do
    [[ -r /proc/$pid/stat ]] || continue
    total=$((total + $(awk '{sub(/^.*\) /, ""); print $12 + $13}' "/proc/$pid/stat")))
  done
  echo "$total"
}
hz=$(getconf CLK_TCK)

# CPU milliseconds per second of the synthesizer's process and PipeWire's daemons over SECONDS.
cpu_per_second() {
  local seconds=$1 synth before_synth before_daemons after_synth after_daemons
  synth=$(pgrep -P "$program_pid" -x orvane-synth | head -1)
  before_synth=$(ticks "$synth")
  before_daemons=$(ticks "$pipewire_pid" "$wireplumber_pid" "$pulse_pid")
  sleep "$seconds"
  after_synth=$(ticks "$synth")
  after_daemons=$(ticks "$pipewire_pid" "$wireplumber_pid" "$pulse_pid")
  awk -v s=$((after_synth - before_synth)) -v d=$((after_daemons - before_daemons)) \
    -v hz="$hz" -v t="$seconds" 'BEGIN {
      printf "synth %.1f ms/s, daemons %.1f ms/s, together %.1f ms/s", 1000 * s / hz / t,
        1000 * d / hz / t, 1000 * (s + d) / hz / t }'
}

# The client part ("name:") of the ports that play into the null sink: the synthesizer's stream,
# whichever way it reaches PipeWire.
synth_ports() {
  pw-jack jack_lsp -c 2>/dev/null | awk '
    /^null Audio\/Sink sink:playback_FL$/ { getline; sub(/^ +/, ""); sub(/:[^:]*$/, ":"); print; exit }'
}

# One round of PRESSES presses of Q for the program (run with the environment settings given after
# it): the times at its own ports to NAME.ms, at the sink's monitor to NAME-monitor.ms.
key_to_sound() {
  local label=$1 file=$2 ports
  shift 2
  start_program env "$@" || return 1
  ports=$(synth_ports)
  [[ -n "$ports" ]] || { echo "bench: nothing plays into the null sink"; stop "$program_pid"; return 1; }
  rm -f "$work/go"
  mkfifo "$work/go"
  pw-jack "$measure" sound "$ports" "$presses" "$monitor" <"$work/go" >"$work/sound.log" 2>&1 &
  local sound_pid=$!
  exec 3>"$work/go"
  wait_for 100 grep -q ready "$work/sound.log"
  echo go >&3
  wait "$sound_pid"
  exec 3>&-
  grep -q sound_ms "$work/sound.log" || { echo "bench: $(cat "$work/sound.log")"; }
  awk '/^press_ms/ {print $2}' "$work/sound.log" >>"$file"
  awk '/^press2_ms/ {print $2}' "$work/sound.log" >>"${file%.ms}-monitor.ms"
  echo "   $label ($ports): $(grep '^sound_ms' "$work/sound.log"); monitor: $(grep sound2_ms "$work/sound.log")"
  stop "$program_pid"
}

echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2-), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "PipeWire $(pipewire --version | awk '/libpipewire/ {print $NF; exit}'), null sink, default quantum"

echo "== key to sound on PipeWire: $rounds rounds of $presses presses each, alternating"
echo "   (after: the default quantum, 128/48000; after-64: ORVANE_PIPEWIRE_LATENCY=64/48000)"
for build in before after after-64; do : >"$work/$build.ms"; : >"$work/$build-monitor.ms"; done
for ((round = 0; round < rounds; round++)); do
  key_to_sound before "$work/before.ms" "$before"
  key_to_sound after "$work/after.ms" "$after"
  key_to_sound after-64 "$work/after-64.ms" ORVANE_PIPEWIRE_LATENCY=64/48000 "$after"
done
for build in before after after-64 before-monitor after-monitor after-64-monitor; do
  file=$work/$build.ms
  awk -v b="$build" -v med="$(percentile 0.5 <"$file")" -v p95="$(percentile 0.95 <"$file")" \
    -v lo="$(percentile 0 <"$file")" -v hi="$(percentile 1 <"$file")" -v n="$(wc -l <"$file")" 'BEGIN {
      printf "   %-16s %d presses: median %.2f ms, p95 %.2f ms, min %.2f, max %.2f\n",
        b, n, med, p95, lo, hi }'
done

echo "== CPU of the synthesizer's process and PipeWire's daemons (10 s each)"
cpu_of() {
  local label=$1
  shift
  start_program env "$@" "$work/sixteen.orvane" || return
  sleep 2
  echo "   $label, idle:                        $(cpu_per_second 10)"
  xdotool keydown q w e r
  sleep 1
  echo "   $label, chord of 4 keys on 16 layers: $(cpu_per_second 10)"
  xdotool keyup q w e r
  stop "$program_pid"
}
cpu_of before "$before"
cpu_of after "$after"
cpu_of after-64 ORVANE_PIPEWIRE_LATENCY=64/48000 "$after"

# A peer stream beside the synthesizer: pw-cat playing a quiet sine. A cycle in which it, too, is
# late was late for the whole graph (the driver's wake-up), not for the synthesizer's node.
python3 -c '
import math, struct, sys, wave
out = wave.open(sys.argv[1], "wb")
out.setnchannels(2); out.setsampwidth(2); out.setframerate(48000)
second = b"".join(struct.pack("<hh", v, v) for v in
                  (int(300 * math.sin(2 * math.pi * 441 * i / 48000)) for i in range(48000)))
out.writeframes(second * int(sys.argv[2])); out.close()' "$work/sine.wav" $((storm_seconds + 60))

# Late cycles in profiler.log: a node woken but not finished when the next cycle began (status
# other than 3, finished, or 4, inactive) is an xrun of that node; and how long each node ran.
# Each node takes 8 columns after the driver's 4, named in the plot script pw-profiler leaves
# ("name/id" titles, by column).
late_cycles() {
  awk -F'\t' '
    FNR == NR {
      while (match($0, /using [0-9]+ title "[^"]*"/)) {
        part = substr($0, RSTART, RLENGTH)
        column = part; sub(/using /, "", column); sub(/ title.*/, "", column)
        name = part; sub(/^[^"]*"/, "", name); sub(/"$/, "", name)
        names[column + 3] = name  # Timing3 plots column 4 + 8i + 4, the status is 4 + 8i + 7
        $0 = substr($0, RSTART + RLENGTH)
      }
      next
    }
    {
      cycles++
      count = 0
      for (i = 5; i + 6 <= NF; i += 8) {
        if ($(i + 6) == 3) { run[i + 6, int($(i + 5) / 10)]++; runs[i + 6]++; longest[i + 6] = \
          $(i + 5) > longest[i + 6] ? $(i + 5) : longest[i + 6] }
        if ($(i + 6) != " " && $(i + 6) != 3 && $(i + 6) != 4) {
          late[i + 6]++; count++; which = i + 6 }
      }
      if (count > 0) cycles_late++
      if (count == 1) alone[which]++
    }
    END {
      printf "   %d graph cycles, %d with a node that had not finished in time", cycles, cycles_late
      for (c in late)
        printf "; %s: %d (%d alone)", (c in names ? names[c] : "column " c), late[c], alone[c]
      printf "\n"
      # How long each node ran in the cycles it finished, from 10 us bins.
      for (c in runs) {
        median = p99 = -1
        for (bin = 0; p99 < 0; bin++) {
          seen += run[c, bin]
          if (median < 0 && seen >= runs[c] / 2) median = bin * 10
          if (seen >= runs[c] * 0.99) p99 = bin * 10
        }
        seen = 0
        printf "   %s ran median %d us, p99 %d us, longest %d us\n",
          (c in names ? names[c] : "column " c), median, p99, longest[c]
      }
    }' "$work/Timing3.plot" "$work/profiler.log"
}

# Time the hypervisor ran something else on this machine's CPUs, in clock ticks.
stolen_ticks() { awk '/^cpu / {print $9}' /proc/stat; }

# Records the graph's cycles while COMMAND runs and prints their late ones and the CPU time the
# hypervisor took meanwhile (a virtual CPU taken away while a node runs makes that node late).
profile_during() {
  rm -f "$work/profiler.log" "$work"/Timing*.plot
  local stolen=$(stolen_ticks)
  (cd "$work" && exec pw-profiler -o "$work/profiler.log" >/dev/null 2>&1) &
  local profiler_pid=$!
  sleep 1
  "$@"
  stop "$profiler_pid"
  late_cycles
  echo "   CPU time stolen by the hypervisor: $((1000 * ($(stolen_ticks) - stolen) / hz)) ms"
}

# The synthesizer's threads at real-time priority (policy FF): the one that renders, PipeWire's
# or that of FluidSynth's driver.
realtime_threads() {
  local synth
  synth=$(pgrep -P "$program_pid" -x orvane-synth | head -1)
  ps -L -o comm=,cls=,rtprio= -p "$synth" |
    awk '$2 == "FF" {printf "%s%s (%s)", n++ ? ", " : "", $1, $3}'
}

storm() { "$measure" storm "$storm_seconds" 20 >"$work/storm.log" 2>&1; }
echo "== the graph's late cycles with 16 layers on, beside pw-cat at the same quantum"
for ((round = 0; round < storm_rounds * 2; round++)); do
  build=before program=$before
  if ((round % 2)); then build=after program=$after; fi
  start_program "$program" "$work/sixteen.orvane"
  pw-cat --playback --latency=128 "$work/sine.wav" >"$work/pw-cat.log" 2>&1 &
  peer_pid=$!
  echo "   $build: the synthesizer's real-time threads: $(realtime_threads)"
  echo "   $build, idle, 30 s:"
  profile_during sleep 30
  echo "   $build, key storm, $storm_seconds s:"
  profile_during storm
  echo "   $(cat "$work/storm.log")"
  stop "$peer_pid"
  stop "$program_pid"
done

echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
