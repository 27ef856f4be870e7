#!/usr/bin/env bash
# The real program answers --help and --version with no display and no sound system: the X11
# platform is forced and no display is named, so anything that started Qt first would abort.
# Usage: run-text-requests.sh ORVANE VERSION
set -uo pipefail
orvane=$1
version=$2
out=$(mktemp -d "${TMPDIR:-/tmp}/orvane-text.XXXXXX")
trap 'rm -rf "$out"' EXIT
bare=(env -u DISPLAY -u WAYLAND_DISPLAY -u PULSE_SERVER -u JACK_DEFAULT_SERVER QT_QPA_PLATFORM=xcb
  ORVANE_SETTINGS_DIR="$out/settings")

fail() {
  echo "text requests FAILED: $*"
  exit 1
}

"${bare[@]}" "$orvane" --help >"$out/help" 2>"$out/err" || fail "--help ended with status $?: $(cat "$out/err")"
head -1 "$out/help" | grep -q '^Usage: orvane \[VOICE-FILE\]$' || fail "--help printed: $(head -3 "$out/help")"
[[ ! -s "$out/err" ]] || fail "--help wrote to standard error: $(cat "$out/err")"

"${bare[@]}" "$orvane" --version >"$out/version" 2>"$out/err" || fail "--version ended with status $?"
[[ "$(cat "$out/version")" == "Tellak Orvane $version" ]] || fail "--version printed: $(cat "$out/version")"

# Neither answer touches the settings, and a failed write is no success.
[[ ! -e "$out/settings" ]] || fail "a text request created the settings directory"
if [[ -w /dev/full ]]; then
  "${bare[@]}" "$orvane" --version >/dev/full 2>"$out/err" && fail "--version into /dev/full ended with status 0"
  grep -q 'cannot write' "$out/err" || fail "no note of the failed write: $(cat "$out/err")"
fi
echo "text requests: --help and --version answer without a display"
