#!/usr/bin/env bash
# The Windows build's sound under Wine, written to a file by ALSA's file plugin while the demo
# runs its whole 60-second show, is xmrender's rendering of the built-in
# song over the whole recorded span: every chunk once, in order, none repeated or skipped. The
# plugin's null device takes the sound faster than real time, so the recording is longer than
# the run; only its content is compared. After the device's reset only silence may follow.
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
chunk_bytes=3536        # 884 frames

scratch=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; rm -rf "$scratch"' EXIT
e2e_wine_env "$scratch"
cat >"$HOME/.asoundrc" <<ASOUND
pcm.!default { type file slave.pcm "null" file "$scratch/played.raw" format "raw" }
ASOUND

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
    tail -c +"$d" "$scratch/recorded.trim" | cmp -s -n $((size - d + 1)) - /dev/zero ||
        e2e_fail "the recording differs from xmrender in chunk $(((d - 1) / chunk_bytes)) of the sound (byte $((d - 1))) and is not silent after it"
    echo $((d - 1))
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
[ "$matched" -ge $(((show_seconds - 10) * bytes_per_second)) ] ||
    e2e_fail "only $matched bytes of sound matched xmrender, in $recorded recorded bytes"
echo "win32: $matched bytes ($((matched / chunk_bytes)) chunks) of the recording equal xmrender's rendering"
