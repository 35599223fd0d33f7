#!/usr/bin/env bash
# The Windows build under Wine: answering Yes on a display with a 1280x720 mode changes to it and
# shows a frameless 1280x720 window at 0,0; Escape ends the run with exit code 0.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
e2e_windows
program=$E2E_WINDOWS_EXE
[ -f "$program" ] || e2e_fail "no program at $program (build the win${E2E_WINDOWS_BITS} preset first)"
e2e_windows_line "$program"

scratch=$(mktemp -d)
trap 'e2e_wine_stop; rm -rf "$scratch"' EXIT
e2e_wine_env "$scratch"
e2e_wine_start "$program"
pid=$E2E_PID
box=$(e2e_expect_window '^Varnholt$' 180) || e2e_window_missing "the start-up question"
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key --window "$box" y
window=$(e2e_expect_window '^Ostrel$' 60) || e2e_window_missing "a window titled Ostrel"
if xdotool search --name '^BAD!!$' >/dev/null 2>&1; then e2e_fail "full-screen mode refused"; fi
size=$(e2e_window_size "$window")
position=$(e2e_window_position "$window")
[ "$size" = "1280x720" ] && [ "$position" = "0,0" ] ||
    e2e_fail "full-screen window is $size at $position, not 1280x720 at 0,0"
sleep 2
kill -0 "$pid" 2>/dev/null || e2e_fail "the demo ended before Escape"
e2e_hold_escape "$window"
e2e_wait_exit "$pid" 30
code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code after Escape"
echo "win32: full-screen 1280x720 popup window, Escape ended the run with 0"
