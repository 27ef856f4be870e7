#!/usr/bin/env bash
# A 60-second key storm during which the desktop changes ten times at random moments (the
# synthesizer's process killed, the JACK server restarted, JACK MIDI clients started and ended,
# the keyboard unplugged and plugged in again). Afterwards nothing sounds that no key holds, the
# instrument sounds again, and the settings are saved at exit.
# Usage: desktop-soak.sh ORVANE RECEIVER LIST-OUTPUTS
set -uo pipefail

orvane=$1
receiver=$2
list_outputs=$3

source "$(dirname "$0")/desktop-env.sh"

step=start
start_keyboard
settings_for 0
start_orvane
play_until_sound "$(now_ms)" >/dev/null || fail "the synthesizer is silent from the start"

# The storm: random keys of the piano rows, pressed and released, on the window.
storm_keys=(q w e r t y u i o p 2 3 5 6 7 9 0 z x c v b n m s d g h j)
storm() {
  local end=$((SECONDS + 60))
  while ((SECONDS < end)); do
    local k=${storm_keys[RANDOM % ${#storm_keys[@]}]}
    xdotool keydown "$k"
    sleep "0.0$((RANDOM % 9 + 1))"
    xdotool keyup "$k"
  done
}
storm &
storm_pid=$!
pids+=("$storm_pid")

changes=(kill_synth restart_jack client_starts client_ends replug_keyboard)
clients=0
for ((change = 1; change <= 10; change++)); do
  sleep "$((RANDOM % 4 + 1)).$((RANDOM % 10))"
  what=${changes[RANDOM % ${#changes[@]}]}
  step="change $change: $what"
  echo "$step"
  case $what in
    kill_synth)
      # A process that dies within two seconds of starting counts as one that failed to start,
      # and three such in a minute make the program give the synthesizer up, as it should: the
      # soak kills a process that has run for three seconds at least.
      pid=$(synth_pid)
      for ((wait = 0; wait < 50; wait++)); do
        [[ -n "$pid" ]] && (($(ps -o etimes= -p "$pid" || echo 0) >= 3)) && break
        sleep 0.2
        pid=$(synth_pid)
      done
      [[ -n "$pid" ]] && kill -KILL "$pid" ;;
    restart_jack)
      stop_keyboard
      restart_jack
      start_keyboard ;;
    client_starts)
      start_receiver "orvane-soak-$change" "soak-$change"
      clients=$((clients + 1)) ;;
    client_ends)
      pkill -f "orvane-soak-" -n || true ;;
    replug_keyboard)
      stop_keyboard
      sleep 0.2
      start_keyboard ;;
  esac
  kill -0 "$orvane_pid" 2>/dev/null || fail "the program ended"
done
wait "$storm_pid"

step=after
sleep 1.5  # a synthesizer killed last has come back
[[ -z "$(zombies)" ]] || fail "unreaped: $(zombies)"
expect_silence 40 "after the storm"
play_until_sound "$(now_ms)" >/dev/null || fail "silent after the storm"
expect_silence 30 "after the last note"
xdotool key alt+F4
expect_exit
for key in MIDIOUTDEVINDEX ISHARDWAREMIDIKBDENABLED MIDIINDEVINDEX KEYBOARDTYPE LEFT TOP RIGHT BOTTOM; do
  grep -q "^$key=" "$settings/Orvane.ini" || fail "$key not saved"
done
grep -q '^MIDIOUTDEVINDEX=0$' "$settings/Orvane.ini" || fail "output not saved as the synthesizer"
[[ $(stat -c %s "$settings/Orvane.orvset" 2>/dev/null) == 112 ]] || fail "working voice not saved"
echo "soak passed: ten changes during a 60 s key storm, silent afterwards, sounding again, saved"
