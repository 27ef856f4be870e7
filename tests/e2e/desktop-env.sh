# Shared by the scripts that change the desktop under the running program (desktop-changes.sh,
# desktop-soak.sh): on top of e2e-env.sh a private PulseAudio with a null sink, which the built-in
# synthesizer plays to and a level meter listens to; a JACK MIDI "keyboard" the program uses as
# its hardware keyboard; and the changes themselves. Sourcing scripts set `orvane`, `receiver`
# and `list_outputs` first.

tools=$(dirname "$receiver")
sender=$tools/orvane_e2e_sender
level_meter=$tools/orvane_e2e_level_meter
for tool in pulseaudio pactl parec; do
  command -v "$tool" >/dev/null || { echo "e2e: $tool missing, skipped"; exit 77; }
done
[[ -x "$sender" && -x "$level_meter" ]] || { echo "e2e: the sender or level meter is not built"; exit 77; }

source "$(dirname "$0")/e2e-env.sh"

# --- PulseAudio of our own, with a null sink ---
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" "$work/home"
chmod 700 "$XDG_RUNTIME_DIR"
HOME=$work/home pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
  --use-pid-file=no --system=no \
  --load="module-native-protocol-unix auth-anonymous=1" \
  --load="module-null-sink sink_name=orvane_null rate=48000" \
  --load="module-always-sink" >"$work/pulse.log" 2>&1 &
pids+=($!)
export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse/native
wait_for 100 pactl info || fail "PulseAudio did not start"
pactl set-default-sink orvane_null || fail "no null sink"
export ORVANE_AUDIO_DRIVER=pulseaudio

# The level of the null sink: "sound MS" / "silence MS" lines in $work/level.txt.
parec -d orvane_null.monitor --format=s16le --rate=48000 --channels=2 --latency-msec=10 \
  2>"$work/parec.log" | "$level_meter" >"$work/level.txt" &
pids+=($!)

now_ms() { date +%s%3N; }

# The time of the first "$1" line of the level meter at or after $2 (ms), or nothing.
level_since() {
  awk -v what="$1" -v since="$2" '$1 == what && $2 >= since { print $2; exit }' "$work/level.txt"
}
# True when the last level line says silence (or none says anything).
silent_now() {
  [[ "$(tail -n 1 "$work/level.txt" | cut -d' ' -f1)" != sound ]]
}

# --- the hardware keyboard: a JACK MIDI port fed through a pipe ---
keys_fifo=$work/keys.fifo
start_keyboard() {
  rm -f "$keys_fifo"
  mkfifo "$keys_fifo"
  "$sender" orvane-e2e-keys <"$keys_fifo" >"$work/sender.log" 2>&1 &
  sender_pid=$!
  pids+=("$sender_pid")
  exec {keys_fd}>"$keys_fifo"
  wait_for 100 grep -q ready "$work/sender.log" || fail "the keyboard did not start"
}
stop_keyboard() {
  exec {keys_fd}>&-
  kill "$sender_pid" 2>/dev/null
  timeout 5 tail --pid="$sender_pid" -f /dev/null
}
key() { echo "$*" >&"$keys_fd"; }

# The settings for a run: output position $1, the keyboard as the hardware keyboard.
settings_for() {
  printf '[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=%d\nISHARDWAREMIDIKBDENABLED=1\nMIDIINDEVINDEX=0\n' \
    "$1" >"$settings/Orvane.ini"
}

synth_pid() { pgrep -P "$orvane_pid" -x orvane-synth | head -1; }
zombies() { ps --ppid "$orvane_pid" -o stat=,comm= | awk '$1 ~ /Z/'; }

# Plays a short note on the keyboard every 20 ms until the sink sounds (after $1 ms), for up to
# $2 seconds (default 10: a loaded machine starts a synthesizer slowly); prints when.
play_until_sound() {
  local since=$1 heard end=$((SECONDS + ${2:-10}))
  while ((SECONDS < end)); do
    key 90 3c 7f
    sleep 0.01
    key 80 3c 00
    heard=$(level_since sound "$since")
    [[ -n "$heard" ]] && { echo "$heard"; return 0; }
    sleep 0.01
  done
  return 1
}

# Waits until the sink has been silent for a while: nothing sounds that no key holds.
expect_silence() {
  wait_for "${1:-30}" silent_now || fail "$2: still sounding: $(tail -n 3 "$work/level.txt" | tr '\n' '|')"
}

# Kills the synthesizer's process; prints the milliseconds until the sink sounded again.
kill_synth_and_time_it() {
  local before t0 t1
  before=$(synth_pid)
  [[ -n "$before" ]] || fail "no synthesizer process"
  expect_silence 30 "before the kill"
  t0=$(now_ms)
  kill -KILL "$before"
  t1=$(play_until_sound "$t0") || fail "no sound after the synthesizer was killed"
  wait_until 30 '[[ -n "$(synth_pid)" ]]' || fail "no new synthesizer process"
  [[ "$(synth_pid)" != "$before" ]] || fail "the killed process is still there"
  [[ -z "$(zombies)" ]] || fail "unreaped: $(zombies)"
  echo $((t1 - t0))
}

# Stops the JACK server and starts it again under the same name, with the test's clients.
restart_jack() {
  kill "$jack_pid"
  timeout 10 tail --pid="$jack_pid" -f /dev/null || kill -9 "$jack_pid"
  start_jackd
  wait_for 100 jack_lsp || fail "jackd did not start again"
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
