#!/usr/bin/env bash
# The Windows build under Wine: answering Yes on a display with a 1280x720 mode changes to it and
# shows a frameless 1280x720 window at 0,0; Escape ends the run with exit code 0.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
program=${OSTREL_WIN32_EXE:-$E2E_ROOT/build/win32/ostrel.exe}
[ -f "$program" ] || e2e_fail "no program at $program (build the win32 preset first)"

scratch=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; rm -rf "$scratch"' EXIT
e2e_wine_env "$scratch"
wine "$program" 2>/dev/null &
pid=$!
box=$(e2e_wait_window '^Varnholt$' 180) || e2e_fail "the start-up question did not appear"
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key --window "$box" y
window=$(e2e_wait_window '^Ostrel$' 60) || e2e_fail "no window titled Ostrel"
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
