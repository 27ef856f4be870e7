#!/usr/bin/env bash
# End-to-end test of stops and odd files on the real program under Xvfb with a private JACK
# server: a FIFO as the voice argument or as the working voice never holds the start up, a stop
# signal while the window is being built ends the program at once with status 1 and saves
# nothing, stale temporary files go at the start, and kills at random moments of the exit save
# leave the settings and the working voice each wholly old or wholly new.
# Usage: run-e2e-stops.sh ORVANE RECEIVER LIST-OUTPUTS
# ORVANE_KILL_RUNS sets the number of kills (default 20); ORVANE_E2E_PARTS=kill-loop runs only
# the kill loop (it also counts what an older build leaves). Exit 77 (skipped) when Xvfb, jackd
# or xdotool is missing.
set -uo pipefail

orvane=$1
receiver=$2
list_outputs=$3
kill_runs=${ORVANE_KILL_RUNS:-20}
parts=${ORVANE_E2E_PARTS:-all}

source "$(dirname "$0")/e2e-env.sh"

receive_program_output

# Starts the program with the arguments given; sets `orvane_pid`.
launch() {
  "$orvane" "$@" >>"$work/orvane.log" 2>&1 &
  orvane_pid=$!
  pids+=("$orvane_pid")
}

# Takes an ended program off the list of processes to stop, so its number may be reused.
forget_program() {
  local kept=() pid
  for pid in "${pids[@]}"; do [[ $pid == "$orvane_pid" ]] || kept+=("$pid"); done
  pids=("${kept[@]}")
}

# Waits up to $1 tenths of a second for the program's main window; sets `window`.
wait_window() {
  for ((t = 0; t < $1 * 5; t++)); do
    window=$(xdotool search --onlyvisible --pid "$orvane_pid" --class orvane 2>/dev/null | head -1)
    [[ -n "$window" ]] && return 0
    kill -0 "$orvane_pid" 2>/dev/null || return 1
    sleep 0.02
  done
  return 1
}

# Waits up to $1 milliseconds for the program to end, then reaps it into `status`; false when it
# is still running.
ended_within() {
  local deadline=$(($(date +%s%N) / 1000000 + $1))
  while kill -0 "$orvane_pid" 2>/dev/null; do
    (($(date +%s%N) / 1000000 > deadline)) && return 1
    sleep 0.01
  done
  wait "$orvane_pid"
  status=$?
  forget_program
  return 0
}

# A voice of the player's own: layer 0 plays patch 40 (0x28) at volume 90.
own_voice() {
  printf '\x28\x5a\x00\x00\x00\x00\x01'
  for ((layer = 1; layer < 16; layer++)); do printf '\x00\x64\x00\x00\x00\x00\x00'; done
}

stop_and_expect_saved() {
  kill -TERM "$orvane_pid"
  ended_within 15000 || fail "the program did not end after SIGTERM"
  ((status == 0)) || fail "ended with status $status after SIGTERM"
}

if [[ $parts == all ]]; then
  step="FIFO as the voice argument"
  # Seen: the open waited on the pipe for ever, before any window, deaf to SIGTERM. Now the
  # pipe is a voice that cannot be read: the default voice, and the working voice stays.
  own_voice >"$settings/Orvane.orvset"
  cp "$settings/Orvane.orvset" "$work/own.orvset"
  mkfifo "$work/Pipe.orvane"
  launch "$work/Pipe.orvane"
  wait_window 150 || fail "no window with a FIFO as the voice argument"
  [[ $(xdotool getwindowname "$window") == Orvane ]] || fail "title $(xdotool getwindowname "$window")"
  stop_and_expect_saved
  [[ -p "$work/Pipe.orvane" ]] || fail "the FIFO was replaced"
  cmp -s "$settings/Orvane.orvset" "$work/own.orvset" ||
    fail "the voice argument that could not be read overwrote the working voice"
  grep -q '^RIGHT=[1-9]' "$settings/Orvane.ini" || fail "settings not written"

  step="FIFO as the working voice"
  rm "$settings/Orvane.orvset"
  mkfifo "$settings/Orvane.orvset"
  launch
  wait_window 150 || fail "no window with a FIFO as the working voice"
  stop_and_expect_saved
  [[ -p "$settings/Orvane.orvset" ]] || fail "the FIFO was replaced"
  rm "$settings/Orvane.orvset"

  step="stop while the window is being built"
  # Whenever it comes, a stop ends the program within a second: before the window is shown with
  # status 1 and nothing saved, after it with a normal close. Seen: a stop that came while the
  # window was being built waited for the event loop.
  before_window=0
  for delay in 0.05 0.1 0.15 0.2 0.25 0.3 0.4 0.5 0.7; do
    printf '[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=%d\n' "$output_index" >"$settings/Orvane.ini"
    rm -f "$settings/Orvane.orvset"
    launch
    sleep "$delay"
    kill -TERM "$orvane_pid"
    ended_within 1000 || fail "still running a second after SIGTERM ${delay} s into the start"
    # 143: the signal's own end, before the program's code runs (the libraries still loading).
    case $status in
      1 | 143)
        ((status == 1)) && ((++before_window))
        [[ $(cat "$settings/Orvane.ini") == "$(printf '[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=%d' "$output_index")" ]] ||
          fail "stopped ${delay} s into the start: settings changed"
        [[ ! -e "$settings/Orvane.orvset" ]] || fail "stopped ${delay} s into the start: voice written"
        ;;
      0) [[ -s "$settings/Orvane.orvset" ]] || fail "closed ${delay} s into the start without saving" ;;
      *) fail "stopped ${delay} s into the start: status $status" ;;
    esac
    echo "e2e stops: SIGTERM ${delay} s into the start: status $status"
  done
  ((before_window > 0)) || echo "e2e stops: no stop came while the window was being built"

  step="stale temporary files"
  touch -d '2 minutes ago' "$settings/.Orvane.ini.tmp-abcd1234" "$settings/.Orvane.orvset.tmp-0z9y8x7w" \
    "$settings/.bashrc.tmp-abcd1234" "$settings/notes.txt"
  touch "$settings/.Orvane.ini.tmp-fresh000"
  launch
  wait_window 150 || fail "no window"
  stop_and_expect_saved
  for gone in .Orvane.ini.tmp-abcd1234 .Orvane.orvset.tmp-0z9y8x7w; do
    [[ ! -e "$settings/$gone" ]] || fail "$gone was not removed"
  done
  for kept in .bashrc.tmp-abcd1234 notes.txt .Orvane.ini.tmp-fresh000; do
    [[ -e "$settings/$kept" ]] || fail "$kept was removed"
  done
  rm -f "$settings"/.*.tmp-* "$settings/notes.txt"
fi

step="kills during the exit save"
# Every value of the old settings carries a plus sign, which the program never writes, so each
# key tells whether it was written; the old working voice has 200 bytes, the new one 112.
old_settings=$(printf '[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=+%d\nMIDIINDEVINDEX=+0\nISHARDWAREMIDIKBDENABLED=+0\nPRESSEDKEYCOLOR=+12566463\nKEYBOARDTYPE=+1\n[POSITION]\nLEFT=+100\nTOP=+50\nRIGHT=+900\nBOTTOM=+250' "$output_index")
new_settings=${old_settings//=+/=}
own_voice >"$work/voice"
old_voice=$work/old.orvset
{ cat "$work/voice"; head -c 88 /dev/zero; } >"$old_voice"

# The exit save of an undisturbed close, from SIGTERM to the end of the process.
echo "$old_settings" >"$settings/Orvane.ini"
cp "$old_voice" "$settings/Orvane.orvset"
launch
wait_window 150 || fail "no window"
started=$(date +%s%N)
stop_and_expect_saved
echo "e2e stops: SIGTERM to the end of an undisturbed close: $((($(date +%s%N) - started) / 1000000)) ms"
[[ $(cat "$settings/Orvane.ini") == "$new_settings" ]] ||
  fail "settings after a close:"$'\n'"$(cat "$settings/Orvane.ini")"$'\n'"expected:"$'\n'"$new_settings"

# A pause of $1 milliseconds without starting a process, which would take milliseconds itself.
mkfifo "$work/never"
exec {never_fd}<>"$work/never"
pause_ms() {
  read -r -t "$(printf '0.%03d' "$1")" -u "$never_fd"
}

settings_old=0 settings_new=0 settings_mixed=0 voice_old=0 voice_new=0 voice_torn=0 temporaries=0
for ((run = 1; run <= kill_runs; run++)); do
  echo "$old_settings" >"$settings/Orvane.ini"
  cp "$old_voice" "$settings/Orvane.orvset"
  launch
  wait_window 150 || fail "no window in kill run $run ($(kill -0 "$orvane_pid" 2>/dev/null && echo running ||
    echo ended); X server $(xdpyinfo >/dev/null 2>&1 && echo answers || echo gone))"
  kill -TERM "$orvane_pid"
  pause_ms $((RANDOM % 31))
  kill -KILL "$orvane_pid" 2>/dev/null
  ended_within 5000 || fail "kill run $run: the program did not end"
  text=$(cat "$settings/Orvane.ini")
  if [[ $text == "$old_settings" ]]; then
    ((++settings_old))
  elif [[ $text == "$new_settings" ]]; then
    ((++settings_new))
  else
    ((++settings_mixed))
    echo "e2e stops: kill run $run left mixed settings:"$'\n'"$text"
  fi
  if cmp -s "$settings/Orvane.orvset" "$old_voice"; then
    ((++voice_old))
  elif cmp -s "$settings/Orvane.orvset" "$work/voice"; then
    ((++voice_new))
  else
    ((++voice_torn))
  fi
  if compgen -G "$settings/.*.tmp-*" >/dev/null; then
    ((++temporaries))
    rm -f "$settings"/.*.tmp-*
  fi
done
echo "e2e stops: $kill_runs kills 0-30 ms after SIGTERM: settings $settings_old wholly old," \
  "$settings_new wholly new, $settings_mixed mixed; working voice $voice_old old, $voice_new new," \
  "$voice_torn torn; $temporaries left temporary files"
((settings_mixed == 0)) || fail "$settings_mixed kills left the settings half old, half new"
((voice_torn == 0)) || fail "$voice_torn kills left a torn working voice"

echo "e2e stops passed"
