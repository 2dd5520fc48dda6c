#!/usr/bin/env bash
# Runs on an X display (xvfb-run): starts PROGRAM with its arguments and waits until one of its
# top-level windows carries a name containing TEXT, as a desktop's task bar would show it.
# Prints that window's line and exits 0; exits 1 when no such window shows within SECONDS or the
# program ends first.
#   wait_for_title.sh SECONDS TEXT PROGRAM [ARGUMENT...]
set -euo pipefail

seconds=$1
text=$2
shift 2

"$@" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT

for ((tick = 0; tick < seconds * 4; tick++)); do
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "wait_for_title: $1 ended before showing its window" >&2
    exit 1
  fi
  if line=$(xwininfo -root -tree 2>/dev/null | grep -F -- "$text"); then
    echo "$line" | head -n 1
    exit 0
  fi
  sleep 0.25
done
echo "wait_for_title: no window named \"$text\" within ${seconds}s; the windows were:" >&2
xwininfo -root -tree | grep '"' >&2 || true
exit 1
