#!/usr/bin/env bash
# On a display without a 1280x720 mode (here 1024x768), answering Yes shows "BAD!!" with the
# refusal text, opens no window (no fallback to windowed mode) and ends with exit code 0.
set -uo pipefail
E2E_SCREEN="-screen 0 1024x768x24 +extension GLX"
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
program=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
[ -x "$program" ] || e2e_fail "no program at $program"

SDL_AUDIODRIVER=dummy "$program" &
pid=$!
box=$(e2e_wait_window '^Varnholt$' 30) || e2e_fail "the start-up question did not appear"
e2e_answer_yes_zenity "$box"
bad=$(e2e_wait_window '^BAD!!$' 30) || e2e_fail "no BAD!! box for the refused mode"
ps -eo args | grep -q "[T]he requested fullscreen mode is not supported by your hardware." ||
    e2e_fail "the BAD!! box does not carry the refusal text"
if xdotool search --name '^Ostrel$' >/dev/null 2>&1; then e2e_fail "a window was opened"; fi
# OK sits where No does: the rightmost button at the bottom.
e2e_answer_no_zenity "$bad"
e2e_wait_exit "$pid" 20
code=$?
[ "$code" -eq 0 ] || e2e_fail "exit code $code after the refused mode"
echo "native: refused full-screen mode shown as BAD!!, no window, exit 0"
