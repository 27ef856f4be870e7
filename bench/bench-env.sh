# Shared by the benchmark scripts (sourced): a private work folder, the processes started in it,
# stopped in reverse order at exit, and a wait for a condition.
# Usage: source bench/bench-env.sh NAME   (the work folder is a mktemp folder named after NAME)
work=$(mktemp -d "/tmp/orvane-$1.XXXXXX")
pids=()
stop() {
  local pid=$1
  kill "$pid" 2>/dev/null && { timeout 5 tail --pid="$pid" -f /dev/null || kill -9 "$pid"; }
}
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop "${pids[i]}" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
wait_for() {  # tenths of a second, command
  local tenths=$1
  shift
  for ((t = 0; t < tenths; t++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
