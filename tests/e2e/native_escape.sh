#!/usr/bin/env bash
# The native demo starts, the start-up question is answered No, a 1280x720 window titled
# "Ostrel" appears, and Escape ends the run with exit code 0.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
program=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
[ -x "$program" ] || e2e_fail "no program at $program"

e2e_start_windowed native "$program" SDL_AUDIODRIVER=dummy
pid=$E2E_PID
window=$E2E_WINDOW
size=$(e2e_window_size "$window")
[ "$size" = "1280x720" ] || e2e_fail "window is $size, not 1280x720"
sleep 2
kill -0 "$pid" 2>/dev/null || e2e_fail "the demo ended before Escape"

e2e_hold_escape "$window"
e2e_wait_exit "$pid" 20
code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code after Escape"
echo "native: question answered No, 1280x720 window, Escape ended the run with 0"
