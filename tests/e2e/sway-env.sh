# Shared by the Wayland end-to-end tests: a headless sway of our own (run as an unprivileged user
# when the test runs as root, since sway refuses root), its XWayland, the private JACK server of
# e2e-env.sh, and the input sender `wayland_input` (virtual keyboard and pointer, a window that
# takes the focus). Exit 77 when sway cannot start here, with the reason.
# Sourcing scripts set `orvane`, `receiver`, `list_outputs` and `wayland_input`.

e2e_display=none
source "$(dirname "${BASH_SOURCE[0]}")/e2e-env.sh"

skip() {
  echo "e2e wayland: $*, skipped"
  exit 77
}

for tool in sway swaymsg grim convert; do
  command -v "$tool" >/dev/null || skip "$tool missing"
done

# sway runs in its own runtime directory; $work must let its user reach it.
chmod 711 "$work"
runtime="$work/sway-runtime"
mkdir -m 700 "$runtime"
run_as=()
if ((EUID == 0)); then
  sway_user=orvane-sway
  if ! id -u "$sway_user" >/dev/null 2>&1; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$sway_user" \
      >/dev/null 2>&1 || skip "no unprivileged user for sway (useradd failed)"
  fi
  chown "$sway_user" "$runtime"
  run_as=(setpriv --reuid="$sway_user" --regid="$(id -g "$sway_user")" --clear-groups)
fi
# XWayland's socket goes there; a fresh private /tmp may lack it.
[[ -d /tmp/.X11-unix ]] || { mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix; }

cat >"$runtime/config" <<'CONFIG'
output HEADLESS-1 resolution 1280x800 position 0 0
default_border none
default_floating_border none
focus_follows_mouse no
xwayland enable
CONFIG
chmod 644 "$runtime/config"

"${run_as[@]}" env -i PATH="$PATH" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" \
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c "$runtime/config" >"$work/sway.log" 2>&1 &
pids+=($!)
wait_for 100 sh -c "ls '$runtime'/wayland-* '$runtime'/sway-ipc.*.sock" ||
  skip "sway did not start: $(grep -m1 -iE 'error|fail' "$work/sway.log" || tail -1 "$work/sway.log")"
# The program and the tools connect as clients of their own runtime directory.
export WAYLAND_DISPLAY
WAYLAND_DISPLAY=$(ls -d "$runtime"/wayland-? | head -1)
export SWAYSOCK
SWAYSOCK=$(ls "$runtime"/sway-ipc.*.sock | head -1)
export XDG_RUNTIME_DIR="$work/xdg"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
wait_for 50 swaymsg -t get_outputs || skip "sway does not answer"

# sway's XWayland display, as sway gives it to the programs it starts.
xwayland_display() {
  swaymsg exec "echo \$DISPLAY > $runtime/display" >/dev/null
  wait_for 50 test -s "$runtime/display" || return 1
  cat "$runtime/display"
}

# The input sender with the keymap of the XKB layout $1, as a coprocess answering each command.
start_input() {
  if [[ -n "${INPUT_PID:-}" ]]; then
    exec {INPUT[1]}>&-
    wait "$INPUT_PID" 2>/dev/null
  fi
  coproc INPUT { "$wayland_input" "$1" 2>"$work/input.log"; }
  pids+=("$INPUT_PID")
  local answer
  read -r -t 10 answer <&"${INPUT[0]}"
  [[ $answer == ready ]] || fail "input sender for $1: $answer $(cat "$work/input.log")"
}

# Sends one command to the input sender and waits until the compositor has seen it.
input() {
  local answer
  echo "$*" >&"${INPUT[1]}"
  read -r -t 10 answer <&"${INPUT[0]}" || fail "input sender gave no answer to: $*"
  [[ $answer == ok ]] || fail "input sender: $* -> $answer"
}

# evdev key codes of the positions used here (a position, whatever the layout prints on it)
readonly KEY_Q=16 KEY_W=17 KEY_ENTER=28 KEY_Z=44 KEY_LEFTSHIFT=42 KEY_CAPSLOCK=58

# True when sway's focused window is the program's.
program_focused() {
  swaymsg "[con_id=__focused__ pid=$orvane_pid] nop" >/dev/null 2>&1
}

# The colour of the screen pixel at $1 $2 as "r,g,b".
pixel_at() {
  grim "$work/pixel.png" || return 1
  convert "$work/pixel.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}
