#!/usr/bin/env bash
# Runs a command on a display of its own: a fresh Xvfb server, ended when the command ends.
# Each test process gets its own screen, so real pointer and key input never crosses tests.
# With --wm first, a window manager (openbox) runs on it too.
set -euo pipefail
wm=0
if [[ "${1:-}" == "--wm" ]]; then
    wm=1
    shift
fi
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -f "$fifo"' EXIT
read -r -t 20 number <"$fifo" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"
if [[ $wm == 1 ]]; then
    openbox --sm-disable >/dev/null 2>&1 &
    manager=$!
    trap 'kill $manager 2>/dev/null; kill $server 2>/dev/null; wait 2>/dev/null; rm -f "$fifo"' EXIT
    for _ in $(seq 50); do  # until openbox owns the screen
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.1
    done
fi
"$@"
