#!/usr/bin/env bash
# The native demo's sound, recorded by SDL's disk driver while the demo runs its whole
# 60-second show, is xmrender's rendering of the built-in song over the whole
# recorded span: every chunk once, in order, none repeated or skipped. Before the ring is handed
# over and after the device is reset SDL writes silence, so silent frames are left out of the
# comparison.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
program=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
xmrender=${OSTREL_XMRENDER:-$(dirname "$program")/xmrender}
[ -x "$program" ] || e2e_fail "no program at $program"
[ -x "$xmrender" ] || e2e_fail "no xmrender at $xmrender"
show_seconds=60

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

E2E_LOG="$scratch/program.log" e2e_start_windowed native "$program" SDL_AUDIODRIVER=disk \
    SDL_DISKAUDIOFILE="$scratch/played.raw"
pid=$E2E_PID
window=$E2E_WINDOW
# The whole show: it ends by itself after its 60 seconds and stops the music on the way out.
e2e_wait_exit "$pid" $((show_seconds + 60))
code=$?
[ "$code" -eq 0 ] || e2e_fail "the show ended with exit code $code"
[ -s "$scratch/played.raw" ] || e2e_fail "nothing was recorded"

e2e_check_recording native "$scratch/played.raw" "$xmrender" "$show_seconds" "$scratch"
