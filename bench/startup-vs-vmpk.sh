#!/usr/bin/env bash
# Start-up of this program beside VMPK (the fastest peer), one run each in turn on the same
# private X server and audio server, fresh settings every time; then the program's key-to-sound
# latency over JACK and the latency PulseAudio and PipeWire report for its synthesizer's stream.
# The figures in docs/performance.md come from here.
#
# Usage: bench/startup-vs-vmpk.sh [BUILD-DIR] [RUNS]     (default: build 7)
# ORVANE_BEFORE=/path/to/an/older/orvane adds that build to every round, for before and after.
# ORVANE_BENCH_PARTS picks some of: pulse jack sound pipewire (default: all four).
# Needs root (or sudo) once to install the benchmark's packages: vmpk, pulseaudio,
# pulseaudio-utils, pipewire, pipewire-pulse, wireplumber, dbus; the test packages otherwise.
set -uo pipefail

build=${1:-build}
runs=${2:-7}
orvane=$build/bin/orvane
measure=$build/bench/orvane_measure
receiver=$build/tests/e2e/orvane_e2e_receiver
for file in "$orvane" "$measure" "$receiver"; do
  [[ -x "$file" ]] || { echo "bench: build $file first"; exit 2; }
done

# --- packages only the benchmark needs ---
missing=()
for package in vmpk pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus \
  jackd2 xvfb x11-utils; do
  [[ $(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null) == installed ]] ||
    missing+=("$package")
done
if ((${#missing[@]} > 0)); then
  echo "bench: installing ${missing[*]}"
  sudo=()
  ((EUID == 0)) || sudo=(sudo)
  echo "jackd2 jackd/tweak_rt_limits boolean false" | "${sudo[@]}" debconf-set-selections
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null || exit 2
fi

source "$(dirname "$0")/bench-env.sh" bench
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Everything private: runtime directory, home, X server, audio servers.
export XDG_RUNTIME_DIR=$work/run HOME=$work/home
mkdir -m 700 -p "$XDG_RUNTIME_DIR" "$HOME"
unset PULSE_SERVER DBUS_SESSION_BUS_ADDRESS JACK_DEFAULT_SERVER ORVANE_AUDIO_DRIVER
for n in $(seq 150 199); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] || { export DISPLAY=:$n; break; }
done
# -br: a black root, so that an unpainted window is black to the start-up probe.
Xvfb "$DISPLAY" -screen 0 1280x800x24 -br -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 100 xdpyinfo || { echo "bench: Xvfb did not start"; exit 1; }

start_pulseaudio() {
  mkdir -p "$work/pulse"
  cat >"$work/pulse.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$work/pulse/native
load-module module-null-sink sink_name=null
set-default-sink null
EOF
  pulseaudio -n -F "$work/pulse.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    >"$work/pulseaudio.log" 2>&1 &
  pulse_pid=$!
  export PULSE_SERVER=unix:$work/pulse/native
  wait_for 100 pactl info || { echo "bench: PulseAudio did not start"; exit 1; }
}
stop_pulseaudio() { stop "$pulse_pid"; unset PULSE_SERVER; }

start_pipewire() {
  dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/bus" --nofork --nopidfile \
    >"$work/dbus.log" 2>&1 &
  pw_pids=($!)
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
  pipewire >"$work/pipewire.log" 2>&1 &
  pw_pids+=($!)
  wait_for 50 test -S "$XDG_RUNTIME_DIR/pipewire-0"
  wireplumber >"$work/wireplumber.log" 2>&1 &
  pw_pids+=($!)
  pipewire-pulse >"$work/pipewire-pulse.log" 2>&1 &
  pw_pids+=($!)
  export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse/native
  wait_for 100 pactl info || { echo "bench: pipewire-pulse did not start"; exit 1; }
  pactl load-module module-null-sink sink_name=null >/dev/null 2>&1
  pactl set-default-sink null 2>/dev/null
}
stop_pipewire() {
  for ((i = ${#pw_pids[@]} - 1; i >= 0; i--)); do stop "${pw_pids[i]}"; done
  unset PULSE_SERVER DBUS_SESSION_BUS_ADDRESS
}

start_jack() {
  export JACK_DEFAULT_SERVER=orvane-bench-$$ JACK_NO_START_SERVER=1
  jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 64 >"$work/jackd.log" 2>&1 &
  jack_pid=$!
  wait_for 100 jack_lsp || { echo "bench: jackd did not start"; exit 1; }
}
stop_jack() { stop "$jack_pid"; unset JACK_DEFAULT_SERVER; }

# One start of PROGRAM with fresh settings: "startup_ms rss_kb pss_kb union_kb" (memory one second
# later over the program and the processes it started, as this program's synthesizer runs in one:
# the resident sets summed, the proportional sets summed, and the distinct resident pages, which
# needs root to see; 0 without).
one_start() {
  local fresh
  fresh=$(mktemp -d "$work/fresh.XXXXXX")
  HOME=$fresh XDG_CONFIG_HOME=$fresh/.config ORVANE_SETTINGS_DIR=$fresh \
    "$measure" startup --settle 1000 "$@" 2>>"$work/programs.log" |
    awk '/startup_ms/ {t = $2} /rss_kb/ {r = $2} /pss_kb/ {p = $2} /union_kb/ {u = $2}
      END {print t, r, p, u + 0}'
  rm -rf "$fresh"
}

# Alternate starts of this program and VMPK; prints both medians and the ratios.
compare() {
  local label=$1
  : >"$work/orvane.times"
  : >"$work/vmpk.times"
  : >"$work/before.times"
  for ((run = 0; run < runs; run++)); do
    [[ -n "${ORVANE_BEFORE:-}" ]] && one_start "$ORVANE_BEFORE" >>"$work/before.times"
    one_start "$orvane" >>"$work/orvane.times"
    one_start vmpk >>"$work/vmpk.times"
  done
  local ot om op ou vt vm vp vu
  ot=$(cut -d' ' -f1 "$work/orvane.times" | median)
  om=$(cut -d' ' -f2 "$work/orvane.times" | median)
  op=$(cut -d' ' -f3 "$work/orvane.times" | median)
  ou=$(cut -d' ' -f4 "$work/orvane.times" | median)
  vt=$(cut -d' ' -f1 "$work/vmpk.times" | median)
  vm=$(cut -d' ' -f2 "$work/vmpk.times" | median)
  vp=$(cut -d' ' -f3 "$work/vmpk.times" | median)
  vu=$(cut -d' ' -f4 "$work/vmpk.times" | median)
  echo "== $label ($runs starts each, alternating)"
  echo "   this program, to a painted window (ms): $(cut -d' ' -f1 "$work/orvane.times" | tr '\n' ' ')"
  echo "   VMPK,         to a painted window (ms): $(cut -d' ' -f1 "$work/vmpk.times" | tr '\n' ' ')"
  if [[ -s "$work/before.times" ]]; then
    local bt bm bp
    bt=$(cut -d' ' -f1 "$work/before.times" | median)
    bm=$(cut -d' ' -f2 "$work/before.times" | median)
    bp=$(cut -d' ' -f3 "$work/before.times" | median)
    echo "   before,       to a painted window (ms): $(cut -d' ' -f1 "$work/before.times" | tr '\n' ' ')"
    awk -v bt="$bt" -v vt="$vt" -v bm="$bm" -v vm="$vm" -v bp="$bp" -v vp="$vp" 'BEGIN {
      printf "   before: median window %.1f ms, ratio %.2f; memory %.1f MB, ratio %.2f",
        bt, bt / vt, bm / 1024, bm / vm
      printf "; PSS %.1f MB, ratio %.2f\n", bp / 1024, bp / vp }'
  fi
  awk -v ot="$ot" -v vt="$vt" -v om="$om" -v vm="$vm" -v op="$op" -v vp="$vp" -v ou="$ou" \
    -v vu="$vu" 'BEGIN {
    printf "   median window: %.1f ms vs VMPK %.1f ms, ratio %.2f\n", ot, vt, ot / vt
    printf "   median resident memory 1 s later: %.1f MB vs VMPK %.1f MB, ratio %.2f\n",
      om / 1024, vm / 1024, om / vm
    printf "   median proportional memory (PSS) 1 s later: %.1f MB vs VMPK %.1f MB, ratio %.2f\n",
      op / 1024, vp / 1024, op / vp
    if (ou > 0 && vu > 0)
      printf "   median distinct resident pages 1 s later: %.1f MB vs VMPK %.1f MB, ratio %.2f\n",
        ou / 1024, vu / 1024, ou / vu }'
}

# The latency the PulseAudio protocol reports for the synthesizer's stream of one of PROCESSES.
reported_latency() {
  pactl list sink-inputs | awk -v pids=" $* " '
    /^Sink Input/ {buffer = sink = ""; mine = 0}
    /Buffer Latency:/ {buffer = $3}
    /Sink Latency:/ {sink = $3}
    /application.process.id/ {gsub(/"/, "", $3); if (index(pids, " " $3 " ")) mine = 1}
    mine && buffer != "" && sink != "" {
      printf "buffer %.2f ms + sink %.2f ms = %.2f ms", buffer / 1000, sink / 1000,
        (buffer + sink) / 1000; exit }'
}

# The latency PipeWire gives the synthesizer's node of one of PROCESSES (its quantum), from pw-dump.
node_latency() {
  pw-dump 2>/dev/null | python3 -c '
import json, sys
for o in json.load(sys.stdin):
    p = o.get("info", {}).get("props", {}) or {}
    if str(p.get("application.process.id")) in sys.argv[1:] and "node.latency" in p:
        frames, rate = map(int, p["node.latency"].split("/"))
        print(f"node.latency {frames}/{rate} = {1000 * frames / rate:.2f} ms"); break' "$@"
}

stream_latency() {
  local label=$1 fresh pid processes
  fresh=$(mktemp -d "$work/fresh.XXXXXX")
  ORVANE_SETTINGS_DIR=$fresh "$orvane" >>"$work/programs.log" 2>&1 &
  pid=$!
  sleep 3
  # The stream is the synthesizer process's.
  processes=("$pid" $(pgrep -P "$pid"))
  echo "   $label, reported for the synthesizer's stream: $(reported_latency "${processes[@]}")"
  [[ "$label" == PipeWire* ]] &&
    echo "   $label, PipeWire's quantum for it: $(node_latency "${processes[@]}")"
  stop "$pid"
  rm -rf "$fresh"
}

echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2-), load $(cut -d' ' -f1-3 /proc/loadavg)"

parts=" ${ORVANE_BENCH_PARTS:-pulse jack sound pipewire} "
part() { [[ $parts == *" $1 "* ]]; }

# 1. Built-in synthesizer over PulseAudio.
start_pulseaudio
if part pulse; then
  compare "built-in synthesizer over PulseAudio"
  stream_latency "PulseAudio 16 (null sink)"
fi

# 2. The synthesizer cannot start (an audio driver that does not exist), so the default output
# is the first JACK MIDI port; VMPK as before.
if part jack; then
start_jack
"$receiver" orvane-bench-in "$work/received.txt" >"$work/receiver.log" 2>&1 &
receiver_pid=$!
wait_for 100 grep -q ready "$work/receiver.log"
ORVANE_AUDIO_DRIVER=none compare "default output a JACK MIDI port (no built-in synthesizer)"
stop "$receiver_pid"
stop_jack
fi
stop_pulseaudio

# 3. Key to rendered sound over JACK (64 frames at 48 kHz): XTest press to the first audible
# period at another JACK client; then the same for a press the moment the window shows.
if part sound; then
start_jack
export ORVANE_AUDIO_DRIVER=jack
fresh=$(mktemp -d "$work/fresh.XXXXXX")
mkfifo "$work/go"
"$measure" sound "Tellak Orvane:" 100 <"$work/go" >"$work/sound.log" 2>&1 &
sound_pid=$!
exec 3>"$work/go"
wait_for 100 grep -q ready "$work/sound.log"
ORVANE_SETTINGS_DIR=$fresh "$orvane" >>"$work/programs.log" 2>&1 &
orvane_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$orvane_pid" --class orvane | head -1)
xdotool windowfocus --sync "$window"
sleep 0.5
echo go >&3
wait "$sound_pid"
exec 3>&-
stop "$orvane_pid"
echo "== key to sound over JACK (64 frames, 48 kHz), 100 presses"
echo "   $(grep sound_ms "$work/sound.log")"
echo "== first press, made the moment the window shows, to its sound over JACK"
for ((run = 0; run < 5; run++)); do
  fresh=$(mktemp -d "$work/fresh.XXXXXX")
  echo "   $(ORVANE_SETTINGS_DIR=$fresh "$measure" first "Tellak Orvane:" "$orvane" 2>>"$work/programs.log")"
done
unset ORVANE_AUDIO_DRIVER
stop_jack
fi

# 4. PipeWire with its PulseAudio service and WirePlumber, as a Debian 12 desktop has it.
if part pipewire; then
  start_pipewire
  compare "built-in synthesizer over PipeWire (pipewire-pulse, wireplumber)"
  stream_latency "PipeWire 0.3 (null sink)"
  stop_pipewire
fi

echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
