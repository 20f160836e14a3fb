#!/usr/bin/env bash
# Runs a command inside its own Xvfb server on a free display, so that every
# OpenGL test gets a real window without touching the user's display.
set -u
[ $# -ge 1 ] || { echo "usage: with_display.sh COMMAND [ARGS...]" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "with_display.sh: Xvfb is not installed (run tools/setup.sh)" >&2; exit 1; }

display_file=$(mktemp)
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -f "$display_file"; }
trap cleanup EXIT

for _ in $(seq 1 200); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "with_display.sh: Xvfb failed to start" >&2; exit 1; }
  sleep 0.05
done
[ -s "$display_file" ] || { echo "with_display.sh: Xvfb did not report a display" >&2; exit 1; }

export DISPLAY=":$(head -n 1 "$display_file")"
# Messages must never wait for a click in a test.
export ORJ_MESSAGES=stderr
"$@"
