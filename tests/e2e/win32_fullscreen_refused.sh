#!/usr/bin/env bash
# The Windows build under Wine on a display without a 1280x720 mode (here 1024x768): answering
# Yes shows "BAD!!", opens no window and ends with exit code 0.
set -uo pipefail
E2E_SCREEN="-screen 0 1024x768x24 +extension GLX"
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
bad=$(e2e_expect_window '^BAD!!$' 30) || e2e_window_missing "a BAD!! box for the refused mode"
if xdotool search --name '^Ostrel$' >/dev/null 2>&1; then e2e_fail "a window was opened"; fi
xdotool windowfocus --sync "$bad" 2>/dev/null || true
xdotool key --window "$bad" Return
e2e_wait_exit "$pid" 30
code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code after the refused mode"
echo "win32: refused full-screen mode shown as BAD!!, no window, exit 0"
