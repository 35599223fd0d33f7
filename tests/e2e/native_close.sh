#!/usr/bin/env bash
# The native demo runs windowed, and closing its window (the close request a window manager
# sends) ends the run with exit code 0.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
program=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
closer=${OSTREL_CLOSE_WINDOW:?the close_window helper}
[ -x "$program" ] || e2e_fail "no program at $program"

e2e_start_windowed native "$program" SDL_AUDIODRIVER=dummy
pid=$E2E_PID
window=$E2E_WINDOW
sleep 2
kill -0 "$pid" 2>/dev/null || e2e_fail "the demo ended before the window was closed"

"$closer" "$window" || e2e_fail "could not ask the window to close"
e2e_wait_exit "$pid" 20
code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code after closing the window"
echo "native: closing the window ended the run with 0"
