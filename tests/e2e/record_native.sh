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
xmrender=${OSTREL_XMRENDER:-$(dirname "$program")/tools/xmrender/xmrender}
[ -x "$program" ] || e2e_fail "no program at $program"
[ -x "$xmrender" ] || e2e_fail "no xmrender at $xmrender"
show_seconds=60
bytes_per_second=176400 # 44,100 frames of 4 bytes

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

recorded=$(stat -c %s "$scratch/played.raw")
"$xmrender" --quiet -o "$scratch/expected.wav" --seconds $((recorded / bytes_per_second + 5)) ||
    e2e_fail "xmrender failed"
matched=$(compare_recording "$scratch/played.raw" "$scratch/expected.wav" "$scratch") || exit 1
# Well beyond the two seconds of the pre-rendered ring: the audio thread's refills were heard.
[ "$matched" -ge $(((show_seconds - 10) * 44100)) ] ||
    e2e_fail "only $matched sound frames matched xmrender, in $recorded recorded bytes"
echo "native: all $matched sound frames of the recording ($recorded bytes) follow xmrender's rendering"
