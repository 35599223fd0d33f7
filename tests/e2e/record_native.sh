#!/usr/bin/env bash
# The native demo's sound, recorded by SDL's disk driver while the demo runs its whole
# 60-second show, is xmrender's rendering of the built-in song over the whole
# recorded span: every chunk once, in order, none repeated or skipped. Before the ring is handed
# over and after the device is reset, SDL writes silence; the comparison starts at the first
# sound and accepts only silence after the last matching byte.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_own_display "$@"
program=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
xmrender=${OSTREL_XMRENDER:-$(dirname "$program")/tools/xmrender/xmrender}
[ -x "$program" ] || e2e_fail "no program at $program"
[ -x "$xmrender" ] || e2e_fail "no xmrender at $xmrender"
show_seconds=60
bytes_per_second=176400 # 44,100 frames of 4 bytes
chunk_bytes=3536        # 884 frames

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Offset of the first frame of FILE that is not silent (its size when all of it is silent).
first_sound() {
    local out n
    out=$(LC_ALL=C cmp "$1" /dev/zero 2>&1)
    n=$(sed -n 's/.* differ: [a-z]* \([0-9]*\),.*/\1/p' <<<"$out")
    if [ -z "$n" ]; then stat -c %s "$1"; else echo $(((n - 1) / 4 * 4)); fi
}

# Compares the recording with xmrender's WAV data from their first sounds on; prints how many
# bytes of the recording matched.
compare_recording() {
    local recorded=$1 wav=$2 a b size out d
    tail -c +45 "$wav" >"$scratch/expected.raw"
    a=$(first_sound "$recorded")
    b=$(first_sound "$scratch/expected.raw")
    tail -c +$((a + 1)) "$recorded" >"$scratch/recorded.trim"
    tail -c +$((b + 1)) "$scratch/expected.raw" >"$scratch/expected.trim"
    size=$(stat -c %s "$scratch/recorded.trim")
    out=$(LC_ALL=C cmp "$scratch/recorded.trim" "$scratch/expected.trim" 2>&1)
    if [ -z "$out" ] || grep -q "EOF on $scratch/recorded.trim" <<<"$out"; then
        echo "$size"
        return 0
    fi
    grep -q "EOF on" <<<"$out" && e2e_fail "xmrender's output is shorter than the recording"
    d=$(sed -n 's/.* differ: [a-z]* \([0-9]*\),.*/\1/p' <<<"$out")
    [ -n "$d" ] || e2e_fail "cannot compare: $out"
    # after the device's reset only silence may follow
    tail -c +"$d" "$scratch/recorded.trim" | cmp -s -n $((size - d + 1)) - /dev/zero ||
        e2e_fail "the recording differs from xmrender in chunk $(((d - 1) / chunk_bytes)) of the sound (byte $((d - 1))) and is not silent after it"
    echo $((d - 1))
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
[ "$matched" -ge $(((show_seconds - 10) * bytes_per_second)) ] ||
    e2e_fail "only $matched bytes of sound matched xmrender, in $recorded recorded bytes"
echo "native: $matched bytes ($((matched / chunk_bytes)) chunks) of the recording equal xmrender's rendering"
