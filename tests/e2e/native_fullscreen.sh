#!/usr/bin/env bash
# Answering Yes on a display that has a 1280x720 mode runs full-screen at that size; Escape ends
# the run with exit code 0.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
program=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
[ -x "$program" ] || e2e_fail "no program at $program"

SDL_AUDIODRIVER=dummy "$program" &
pid=$!
box=$(e2e_wait_window '^Varnholt$' 30) || e2e_fail "the start-up question did not appear"
e2e_answer_yes_zenity "$box"
e2e_window_gone '^Varnholt$' 10 || e2e_fail "the question stayed open after Yes"
window=$(e2e_wait_window '^Ostrel$' 30) || e2e_fail "no window titled Ostrel"
if xdotool search --name '^BAD!!$' >/dev/null 2>&1; then e2e_fail "full-screen mode refused"; fi
size=$(e2e_window_size "$window")
position=$(e2e_window_position "$window")
[ "$size" = "1280x720" ] && [ "$position" = "0,0" ] ||
    e2e_fail "full-screen window is $size at $position, not 1280x720 at 0,0"
sleep 2
kill -0 "$pid" 2>/dev/null || e2e_fail "the demo ended before Escape"
e2e_hold_escape "$window"
e2e_wait_exit "$pid" 20
code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code after Escape"
echo "native: full-screen 1280x720, Escape ended the run with 0"
