# Shared by the end-to-end test and the measurements: a private X server (Xvfb) and JACK server
# (dummy driver), stopped with every other process listed in `pids` when the script ends.
# Sourcing scripts set `orvane` and `list_outputs`, and use `work` for logs and `settings` as the
# program's settings directory; exit 77 means a tool is missing (skipped). A script that brings
# its own display server sets `e2e_display=none` first. ORVANE_E2E_JACK_PREFIX names the JACK
# servers (default orvane-e2e), for machines whose JACK servers are shared out by name.

e2e_tools=(jackd jack_lsp)
[[ ${e2e_display:-xvfb} == xvfb ]] && e2e_tools+=(Xvfb xdotool xdpyinfo)
for tool in "${e2e_tools[@]}"; do
  command -v "$tool" >/dev/null || { echo "e2e: $tool missing, skipped"; exit 77; }
done

work=$(mktemp -d /tmp/orvane-e2e.XXXXXX)
pids=()
cleanup() {
  # Stop every process this test started, newest first, then remove its files.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null && { timeout 5 tail --pid="${pids[i]}" -f /dev/null || kill -9 "${pids[i]}" 2>/dev/null; }
  done
  rm -rf "$work"
}
trap cleanup EXIT

# The check under way, named in a failure; scripts set it as they go.
step=start
fail() {
  echo "e2e FAILED in step $step: $*"
  for log in "$work"/*.log; do echo "--- $log"; tail -n 20 "$log"; done
  # Where the program stands, or how it ended (127: reaped already, by a test that expected it).
  if [[ -z "${orvane_pid:-}" ]]; then
    :
  elif kill -0 "$orvane_pid" 2>/dev/null; then
    if command -v gdb >/dev/null; then
      echo "--- the program's threads"
      timeout 60 gdb -p "$orvane_pid" -batch -nx -ex "thread apply all bt 15" 2>/dev/null | grep -E '^(Thread|#)'
    fi
  else
    local status=0
    wait "$orvane_pid" 2>/dev/null || status=$?
    if ((status > 128)); then
      echo "--- the program had ended by signal $((status - 128))"
    elif ((status != 127)); then
      echo "--- the program had ended with status $status"
    fi
  fi
  exit 1
}

# Waits until a command succeeds, up to $1 tenths of a second.
wait_for() {
  local tenths=$1
  shift
  for ((t = 0; t < tenths; t++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
# The same for the shell condition $2, evaluated anew at every try: `wait_for 9 test "$(cmd)"`
# would test what the command printed once, before the first try.
wait_until() { wait_for "$1" eval "$2"; }

# --- X server on a free display ---
if [[ ${e2e_display:-xvfb} == xvfb ]]; then
  # Xvfb picks the display itself and writes its number: lock files in /tmp tell nothing where /tmp
  # is private to this test while X's abstract sockets are shared by the whole machine.
  exec {display_fd}>"$work/display"
  # -noreset: when its last client goes the server would reset, refusing a program that connects
  # meanwhile ("could not connect to display"), as a test that kills and starts it in turn meets.
  Xvfb -displayfd "$display_fd" -screen 0 1280x800x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  exec {display_fd}>&-
  wait_for 100 test -s "$work/display" || fail "Xvfb did not start"
  display=:$(head -n 1 "$work/display")
  export DISPLAY=$display
  wait_for 100 xdpyinfo || fail "Xvfb did not start"
  xset r on 2>/dev/null || true  # auto-repeat on: holding a key must still play once
fi

# --- JACK server of our own ---
# ORVANE_E2E_JACK_PREFIX: the server name's beginning, for machines whose JACK table is shared.
export JACK_DEFAULT_SERVER=${ORVANE_E2E_JACK_PREFIX:-orvane-e2e}-$$
export JACK_NO_START_SERVER=1
# 1024 frames (21 ms) unless the caller sets another period (the latency measure uses a
# musician's 64): without real-time scheduling, on a loaded machine, clients miss short
# deadlines and JACK then drops that cycle's MIDI, which would make the checks judge the
# scheduler, not the program. A virtual machine whose host takes a CPU away for 5-8 ms made
# the built-in synthesizer miss even 5.3 ms ones.
start_jackd() {
  jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p "${jack_period:-1024}" >>"$work/jackd.log" 2>&1 &
  jack_pid=$!
  pids+=("$jack_pid")
}
start_jackd
wait_for 100 jack_lsp || fail "jackd did not start"

# --- the program ---
settings="$work/settings"
mkdir -p "$settings"
export ORVANE_SETTINGS_DIR=$settings
export ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0

# Points the program's MIDI output at the JACK port named $1 in a fresh settings file and sets
# `output_index` to the index stored there (the built-in synthesizer comes first: number + 1).
use_output_port() {
  local device
  device=$("$list_outputs" 2>"$work/list.log" |
    awk -F'\t' -v port="$1" 'index($0, port) { print $1; exit }')
  [[ -n "$device" ]] || fail "no output device for the port $1: $("$list_outputs" 2>&1)"
  output_index=$((device + 1))
  printf '[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=%d\n' "$output_index" >"$settings/Orvane.ini"
}

# Starts a JACK MIDI receiver on the port $1 that writes what it gets to $work/$2.txt; $3 names
# its JACK client (default orvane-e2e).
start_receiver() {
  "$receiver" "$1" "$work/$2.txt" ${3:+"$3"} >"$work/$2.log" 2>&1 &
  pids+=($!)
  wait_for 100 grep -q ready "$work/$2.log" || fail "receiver $1 did not start"
}

# The usual set-up: a receiver on orvane-e2e-in ($work/received.txt) as the program's output.
receive_program_output() {
  start_receiver orvane-e2e-in received
  use_output_port orvane-e2e-in
}

# Waits until the receiver has got exactly $2 (lines of hex bytes); $1 names the check.
expect_received() {
  local what=$1 expected=$2
  # The file is read anew at every try.
  wait_for 30 sh -c '[ "$(cat "$1")" = "$2" ]' _ "$work/received.txt" "$expected" ||
    fail "$what: received $(tr '\n' '|' <"$work/received.txt"), expected $(tr '\n' '|' <<<"$expected")"
}

# Starts the program, waits for its main window and gives it the keyboard focus.
start_orvane() {
  "$orvane" >>"$work/orvane.log" 2>&1 &
  orvane_pid=$!
  pids+=("$orvane_pid")
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$orvane_pid" --class orvane | head -1)
  [[ -n "$window" ]] || fail "no main window"
  if [[ -n "${window_manager:-}" ]]; then
    xdotool windowactivate --sync "$window" || fail "cannot activate the window"
  else
    xdotool windowfocus --sync "$window" || fail "cannot focus the window"
  fi
  sleep 0.3
}

# The visible window of the program titled exactly $1, or nothing; waits up to $2 tenths.
window_named() {
  local found
  for ((t = 0; t < ${2:-30}; t++)); do
    # Not the main window: a box titled as the main window ("Orvane") may not be mapped yet.
    found=$(xdotool search --all --onlyvisible --pid "$orvane_pid" --name "^$1\$" 2>/dev/null |
      grep -vx "${window:-none}" | tail -1)
    [[ -n "$found" ]] && { echo "$found"; return 0; }
    sleep 0.1
  done
  return 1
}

# Waits until window $1 has the keyboard focus, as a newly shown box or dialog takes it.
wait_focus() {
  wait_for 30 sh -c '[ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]' _ "$1"
}

# Starts the program where it shows the message box titled $1 before any window.
start_orvane_until_box() {
  "$orvane" >>"$work/orvane.log" 2>&1 &
  orvane_pid=$!
  pids+=("$orvane_pid")
  box=$(window_named "$1" 200) || fail "no \"$1\" box at the start"
}

# Waits up to 15 s for the program to end and checks its exit status ($1, default 0).
expect_exit() {
  local expected=${1:-0}
  timeout 15 tail --pid="$orvane_pid" -f /dev/null || fail "orvane did not end"
  wait "$orvane_pid"
  local status=$?
  [[ $status -eq $expected ]] || fail "orvane ended with status $status, expected $expected"
}

# The outer rectangle of a window as "left top right bottom", the window manager's frame
# included (the program stores that rectangle).
outer_rect() {
  local x y w h l=0 r=0 t=0 b=0 extents
  eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print "x=" $NF} /Absolute upper-left Y/ {print "y=" $NF}
    /^ *Width:/ {print "w=" $NF} /^ *Height:/ {print "h=" $NF}')"
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -o '[0-9]*, [0-9]*, [0-9]*, [0-9]*$' || true)
  [[ -n "$extents" ]] && IFS=', ' read -r l r t b <<<"$extents"
  echo "$((x - l)) $((y - t)) $((x + w + r)) $((y + h + b))"
}

# The [POSITION] lines the program writes for the rectangle "left top right bottom".
position_lines() {
  local rect
  read -ra rect <<<"$1"
  printf '[POSITION]\nLEFT=%d\nTOP=%d\nRIGHT=%d\nBOTTOM=%d\n' "${rect[@]}"
}

# A settings file that points the output at the receiver and holds the rectangle $1.
settings_with_position() {
  { printf '[COMMON_SETTINGS]\nMIDIOUTDEVINDEX=%d\n' "$output_index"; position_lines "$1"; } >"$settings/Orvane.ini"
}

# Starts the program with the saved rectangle $1, expects its window at $2 and, after Alt+F4,
# $2 stored again.
expect_placed_and_stored() {
  settings_with_position "$1"
  start_orvane
  [[ $(outer_rect "$window") == "$2" ]] || fail "saved $1 placed at $(outer_rect "$window")"
  xdotool key alt+F4
  expect_exit
  grep -qzF "$(position_lines "$2")" "$settings/Orvane.ini" || fail "saved $1 written back as $(tail -5 "$settings/Orvane.ini")"
}
