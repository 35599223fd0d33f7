#!/usr/bin/env bash
# The Windows build under Wine: the question is answered No, a window titled "Ostrel" appears
# in the 1280x720 screen, and Escape ends the run with exit code 0.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
program=${OSTREL_WIN32_EXE:-$E2E_ROOT/build/win32/ostrel.exe}
[ -f "$program" ] || e2e_fail "no program at $program (build the win32 preset first)"

scratch=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; rm -rf "$scratch"' EXIT
e2e_wine_env "$scratch"
e2e_start_windowed wine "$program"
pid=$E2E_PID
window=$E2E_WINDOW
# Windowed, the frame the system adds to the plain overlapped style is taken from the 1280x720
# outer size, so the client area is a little smaller and sits just inside the screen.
size=$(e2e_window_size "$window")
position=$(e2e_window_position "$window")
w=${size%x*} h=${size#*x} x=${position%,*} y=${position#*,}
echo "win32: client area $size at $position" >&2
[ $((x + w)) -le 1280 ] && [ $((y + h)) -le 720 ] && [ "$w" -ge 1260 ] && [ "$h" -ge 660 ] ||
    e2e_fail "window client area $size at $position does not fill a 1280x720 window"
sleep 2
kill -0 "$pid" 2>/dev/null || e2e_fail "the demo ended before Escape"

e2e_hold_escape "$window"
e2e_wait_exit "$pid" 30
code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code after Escape"
echo "win32: question answered No, window shown, Escape ended the run with 0"
