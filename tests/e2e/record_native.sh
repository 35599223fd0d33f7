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

# The sound frames of a raw 16-bit stereo file, one per line, without its silent frames.
sound_frames() { od -An -v -w4 -tx4 "$1" | grep -v '^ 00000000$'; }

# Compares the recording with xmrender's WAV data frame by frame, leaving out every silent frame
# on both sides: the silence before the ring is handed over, after the device's reset, and any
# the output path inserts when it runs dry. Every sound frame of the recording must be the next
# sound frame of xmrender's output, so a chunk repeated or skipped shows up at once. Prints the
# number of sound frames that matched.
compare_recording() {
    local recorded=$1 wav=$2 out line frames
    tail -c +45 "$wav" >"$scratch/expected.raw"
    sound_frames "$recorded" >"$scratch/recorded.frames"
    sound_frames "$scratch/expected.raw" >"$scratch/expected.frames"
    frames=$(wc -l <"$scratch/recorded.frames")
    out=$(LC_ALL=C cmp "$scratch/recorded.frames" "$scratch/expected.frames" 2>&1)
    if [ -z "$out" ] || grep -q "EOF on $scratch/recorded.frames" <<<"$out"; then
        echo "$frames"
        return 0
    fi
    grep -q "EOF on" <<<"$out" && e2e_fail "xmrender's output is shorter than the recording"
    line=$(sed -n 's/.* differ: [a-z]* [0-9]*, line \([0-9]*\).*/\1/p' <<<"$out")
    [ -n "$line" ] || e2e_fail "cannot compare: $out"
    e2e_fail "sound frame $line of the recording ($(sed -n "${line}p" "$scratch/recorded.frames")) is not the next one of xmrender's ($(sed -n "${line}p" "$scratch/expected.frames")), about $(((line - 1) / 884)) chunks into the sound"
}

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$scratch/played.raw" "$program" >"$scratch/program.log" 2>&1 &
pid=$!
box=$(e2e_wait_window '^Varnholt$' 30) || e2e_fail "the start-up question did not appear"
e2e_answer_no_zenity "$box"
window=$(e2e_wait_window '^Ostrel$' 30) || e2e_fail "no window titled Ostrel"
# The whole show: it ends by itself after its 60 seconds and stops the music on the way out.
e2e_wait_exit "$pid" $((show_seconds + 60))
code=$?
[ "$code" -eq 0 ] || e2e_fail "the show ended with exit code $code"
[ -s "$scratch/played.raw" ] || e2e_fail "nothing was recorded"

recorded=$(stat -c %s "$scratch/played.raw")
"$xmrender" --quiet -o "$scratch/expected.wav" --seconds $((recorded / bytes_per_second + 5)) ||
    e2e_fail "xmrender failed"
matched=$(compare_recording "$scratch/played.raw" "$scratch/expected.wav") || exit 1
# Well beyond the two seconds of the pre-rendered ring: the audio thread's refills were heard.
[ "$matched" -ge $(((show_seconds - 10) * 44100)) ] ||
    e2e_fail "only $matched sound frames matched xmrender, in $recorded recorded bytes"
echo "native: all $matched sound frames of the recording ($recorded bytes) follow xmrender's rendering"
