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
program=${OSTREL_WIN32_EXE:-$E2E_ROOT/build/win32/ostrel.exe}
native=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
# The native xmrender writes the same bytes as the Windows one.
xmrender=${OSTREL_XMRENDER:-$(dirname "$native")/tools/xmrender/xmrender}
[ -f "$program" ] || e2e_fail "no program at $program (build the win32 preset first)"
[ -x "$xmrender" ] || e2e_fail "no xmrender at $xmrender"
show_seconds=60
bytes_per_second=176400 # 44,100 frames of 4 bytes

scratch=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; rm -rf "$scratch"' EXIT
e2e_wine_env "$scratch"
cat >"$HOME/.asoundrc" <<ASOUND
pcm.!default { type file slave.pcm "null" file "$scratch/played.raw" format "raw" }
ASOUND

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

wine "$program" >"$scratch/program.log" 2>&1 &
pid=$!
# The first start creates the scratch prefix, which takes a while.
box=$(e2e_wait_window '^Varnholt$' 180) || e2e_fail "the start-up question did not appear"
e2e_answer_no_wine "$box"
window=$(e2e_wait_window '^Ostrel$' 60) || e2e_fail "no window titled Ostrel"
# The whole show: it ends by itself after its 60 seconds and stops the music on the way out.
e2e_wait_exit "$pid" $((show_seconds + 60))
code=$?
[ "$code" -eq 0 ] || e2e_fail "the show ended with exit code $code"
[ -s "$scratch/played.raw" ] || e2e_fail "nothing was recorded (did waveOutOpen fail?)"

recorded=$(stat -c %s "$scratch/played.raw")
"$xmrender" --quiet -o "$scratch/expected.wav" --seconds $((recorded / bytes_per_second + 5)) ||
    e2e_fail "xmrender failed"
matched=$(compare_recording "$scratch/played.raw" "$scratch/expected.wav") || exit 1
[ "$matched" -ge $(((show_seconds - 10) * 44100)) ] ||
    e2e_fail "only $matched sound frames matched xmrender, in $recorded recorded bytes"
echo "win32: all $matched sound frames of the recording ($recorded bytes) follow xmrender's rendering"
