#!/bin/bash
# Runs a command on $DISPLAY, or on a private Xvfb screen when there is no display.
set -euo pipefail
if [[ -n "${DISPLAY:-}" ]]; then
    exec "$@"
fi
for number in $(seq 90 130); do
    [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]] && continue
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
    for _ in $(seq 50); do
        [[ -e /tmp/.X11-unix/X$number ]] && break
        sleep 0.1
    done
    export DISPLAY=":$number"
    "$@"
    exit $?
done
echo "with-display.sh: no free display number" >&2
exit 1
