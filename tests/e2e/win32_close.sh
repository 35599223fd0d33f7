#!/usr/bin/env bash
# The Windows build under Wine runs windowed, and closing its window (WM_CLOSE through Wine's
# handling of the close request) ends the run with exit code 0.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
e2e_windows
program=$E2E_WINDOWS_EXE
closer=${OSTREL_CLOSE_WINDOW:?the close_window helper}
[ -f "$program" ] || e2e_fail "no program at $program (build the win${E2E_WINDOWS_BITS} preset first)"
e2e_windows_line "$program"

scratch=$(mktemp -d)
trap 'e2e_wine_stop; rm -rf "$scratch"' EXIT
e2e_wine_env "$scratch"
e2e_start_windowed wine "$program"
pid=$E2E_PID
window=$E2E_WINDOW
sleep 2
kill -0 "$pid" 2>/dev/null || e2e_fail "the demo ended before the window was closed"

"$closer" "$window" || e2e_fail "could not ask the window to close"
e2e_wait_exit "$pid" 30
code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code after closing the window"
echo "win32: closing the window ended the run with 0"
