#!/usr/bin/env bash
# Runs a command inside its own Xvfb server on a free display, so that every
# OpenGL test gets a real window without touching the user's display. The
# command starts only once the server answers a client (xdpyinfo), which on a
# loaded machine can be seconds after it has named its display.
set -u
[ $# -ge 1 ] || { echo "usage: with_display.sh COMMAND [ARGS...]" >&2; exit 2; }
for tool in Xvfb xdpyinfo; do
  command -v "$tool" >/dev/null || { echo "with_display.sh: $tool is not installed (run tools/setup.sh)" >&2; exit 1; }
done

# How long a starting server may take before the run counts as failed.
start_limit_seconds=60

display_file=$(mktemp)
# -noreset: by default the server starts over each time its last client leaves
# (xdpyinfo below, or one program before the next), dropping every client that
# connects meanwhile; a program's window start would then fail now and then.
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset 9>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -f "$display_file"; }
trap cleanup EXIT

ready=0
deadline=$((SECONDS + start_limit_seconds))
while [ $SECONDS -lt $deadline ]; do
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "with_display.sh: Xvfb failed to start" >&2; exit 1; }
  # The number ends in a newline once it is whole.
  if [ "$(tail -c 1 "$display_file" | od -An -c | tr -d ' ')" = '\n' ] &&
     xdpyinfo -display ":$(head -n 1 "$display_file")" >/dev/null 2>&1; then
    ready=1
    break
  fi
  sleep 0.05
done
[ $ready -eq 1 ] || { echo "with_display.sh: Xvfb did not answer within ${start_limit_seconds}s" >&2; exit 1; }

export DISPLAY=":$(head -n 1 "$display_file")"
# Messages must never wait for a click in a test.
export ORJ_MESSAGES=stderr
"$@"
