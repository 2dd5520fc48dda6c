#!/usr/bin/env bash
# Starts and stops the editor many times on a real X server, as users do: an empty start closed
# through its window, a file named on the command line closed once it shows, and a file killed
# with SIGTERM while it loads. Any other ending (an abort, a crash, a non-zero exit after a
# close, an error in standard error) fails the run; what the editor printed is kept.
#
#   start_stop.sh BIN_DIR [CYCLES]     CYCLES of each kind (default 200)
set -uo pipefail

bin=$(cd "$1" && pwd)
cycles=${2:-200}

if [ -z "${TESS_STRESS_DISPLAY:-}" ]; then
  # A display of our own, with a window manager to deliver the close as a user's click does.
  export TESS_STRESS_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

export QT_QPA_PLATFORM=xcb
unset QT_FATAL_WARNINGS
# Under the sanitizers a memory error still aborts the run and is reported; what the X libraries
# keep until the process ends is no fault of a start or a stop.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
work=$(mktemp -d)
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done

file="$work/big.spr"
"$bin/make_stress_file" "$file" 120000 57BBD603 || exit 1

failures=0
runs=0
log="$work/stderr.txt"

# The window of process $1 whose title matches $2, waited for up to 20 s; empty when none came.
window_of() {
  local pid=$1 title=$2 id
  for _ in $(seq 400); do
    id=$(xdotool search --all --onlyvisible --pid "$pid" --name "$title" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return
    fi
    kill -0 "$pid" 2>/dev/null || return
    sleep 0.05
  done
}

# Waits up to 20 s for process $1 and sets `status` to its exit status (128 + signal when killed),
# or "hung". Not in a subshell: only the shell that started it can wait for it.
status_of() {
  local pid=$1
  for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    status=hung
    return
  fi
  wait "$pid"
  status=$?
}

fail() {
  failures=$((failures + 1))
  echo "FAIL: $1 (cycle $2): $3"
  sed 's/^/  | /' "$log" | head -n 40
}

check() {
  local kind=$1 cycle=$2 status=$3 allowed=$4
  runs=$((runs + 1))
  if ! [[ " $allowed " == *" $status "* ]]; then
    fail "$kind" "$cycle" "ended with $status, expected one of: $allowed"
  elif grep -Eqi 'assert|fatal|abort|terminate called|sanitizer|segmentation' "$log"; then
    fail "$kind" "$cycle" "said something alarming on standard error"
  fi
}

for cycle in $(seq "$cycles"); do
  # An empty start, closed through the window manager as the close button does.
  "$bin/tessaline" 2>"$log" &
  pid=$!
  id=$(window_of "$pid" '^Tessaline$')
  [ -n "$id" ] && wmctrl -i -c "$id"
  status_of "$pid"
  check "empty start, closed" "$cycle" "$status" "0"

  # A file named on the command line, closed once its title shows it.
  "$bin/tessaline" "$file" 2>"$log" &
  pid=$!
  id=$(window_of "$pid" '^Tessaline \(10\.98\) - file: ')
  [ -n "$id" ] && wmctrl -i -c "$id"
  status_of "$pid"
  check "file opened, closed" "$cycle" "$status" "0"

  # A file still loading, ended by the session: SIGTERM somewhere in the first 0.3 s.
  "$bin/tessaline" "$file" 2>"$log" &
  pid=$!
  window_of "$pid" '^Tessaline' >/dev/null
  sleep "0.$((RANDOM % 300))"
  kill -TERM "$pid" 2>/dev/null
  status_of "$pid"
  check "file loading, SIGTERM" "$cycle" "$status" "0 143"
done

echo "$runs passed, $failures failed"
[ "$failures" -eq 0 ]
