#!/usr/bin/env bash
# The Windows build's sound under Wine, written to a file by ALSA's file plugin while the demo
# runs its whole 60-second show, is xmrender's rendering of the built-in
# song over the whole recorded span: every chunk once, in order, none repeated or skipped. The
# plugin's null device takes the sound faster than real time, so the recording is longer than
# the run; only its content is compared. Wine's output inserts silence when it runs dry under
# load, so silent frames are left out of the comparison.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
e2e_windows
program=$E2E_WINDOWS_EXE
native=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
# The native xmrender writes the same bytes as the Windows one.
xmrender=${OSTREL_XMRENDER:-$(dirname "$native")/xmrender}
[ -f "$program" ] || e2e_fail "no program at $program (build the win${E2E_WINDOWS_BITS} preset first)"
e2e_windows_line "$program"
[ -x "$xmrender" ] || e2e_fail "no xmrender at $xmrender"
show_seconds=60

scratch=$(mktemp -d)
trap 'e2e_wine_stop; rm -rf "$scratch"' EXIT
e2e_wine_env "$scratch"
e2e_wine_record_to "$scratch/played.raw"

E2E_LOG="$scratch/program.log" e2e_start_windowed wine "$program"
pid=$E2E_PID
window=$E2E_WINDOW
# The whole show: it ends by itself after its 60 seconds and stops the music on the way out.
e2e_wait_exit "$pid" $((show_seconds + 60))
code=$?
[ "$code" -eq 0 ] || e2e_fail "the show ended with exit code $code"
[ -s "$scratch/played.raw" ] || e2e_fail "nothing was recorded (did waveOutOpen fail?)"

e2e_check_recording win32 "$scratch/played.raw" "$xmrender" "$show_seconds" "$scratch"
