#!/usr/bin/env bash
# The Windows build under Wine: the question is answered No, a window titled "Ostrel" appears
# whose client area is exactly the 1280x720 scene, and Escape ends the run with exit code 0.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
E2E_SCREEN=$E2E_WINE_WINDOWED_SCREEN
e2e_own_display "$@"
e2e_windows
program=$E2E_WINDOWS_EXE
[ -f "$program" ] || e2e_fail "no program at $program (build the win${E2E_WINDOWS_BITS} preset first)"
e2e_windows_line "$program"

scratch=$(mktemp -d)
trap 'e2e_wine_stop; rm -rf "$scratch"' EXIT
e2e_wine_env "$scratch"
e2e_start_windowed wine "$program"
pid=$E2E_PID
window=$E2E_WINDOW
# Wine's X window is the Windows window's client area: the caption and border the system draws
# around it lie outside, between the window's corner (0,0) and the client area's. The window is
# sized from that frame, so the client area is the whole scene, not the 1280x720 outer size less
# the frame (1274x695), which would cut off the scene's top.
size=$(e2e_window_size "$window")
position=$(e2e_window_position "$window")
x=${position%,*} y=${position#*,}
echo "win32: client area $size at $position" >&2
[ "$size" = 1280x720 ] || e2e_fail "window client area is $size, not the 1280x720 scene"
[ "$x" -gt 0 ] && [ "$y" -gt 0 ] ||
    e2e_fail "client area at $position: the window shows no frame around it"
sleep 2
kill -0 "$pid" 2>/dev/null || e2e_fail "the demo ended before Escape"

e2e_hold_escape "$window"
e2e_wait_exit "$pid" 30
code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code after Escape"
echo "win32: question answered No, window shown, Escape ended the run with 0"
