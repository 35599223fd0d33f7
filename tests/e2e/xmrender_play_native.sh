#!/usr/bin/env bash
# xmrender --play on the native build, through SDL's disk audio driver: the recording is exactly
# the song-length render of the same song and passes, byte for byte, followed only by silence,
# and the run ends by itself with exit code 0 once the end has been heard. The song is longer
# than the two-second ring, so the audio thread's refills are in the recording too.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
xmrender=${OSTREL_XMRENDER:-$(dirname "$program")/xmrender}
song=$E2E_ROOT/tests/fuzz/corpus/tune.xm
[ -x "$xmrender" ] || e2e_fail "no xmrender at $xmrender"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# 1.68 s, then three passes of 0.72 s from the restart position: 3.84 s in all.
"$xmrender" "$song" --loops 4 -o "$scratch/expected.wav" --quiet || e2e_fail "xmrender failed"
start=$(date +%s)
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$scratch/played.raw" \
    "$xmrender" "$song" --loops 4 --play --quiet >"$scratch/play.log" 2>&1 &
e2e_wait_exit $! 60
code=$?
elapsed=$(($(date +%s) - start))
[ "$code" -eq 0 ] || e2e_fail "xmrender --play ended with exit code $code: $(cat "$scratch/play.log")"
[ "$elapsed" -le 15 ] || e2e_fail "xmrender --play took $elapsed s for a song of 3.84 s"

e2e_check_exact_recording "$scratch/played.raw" "$scratch/expected.wav" "$scratch"
echo "native --play: the recording is the rendered song, then silence; done in about $elapsed s"
