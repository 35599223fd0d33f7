#!/usr/bin/env bash
# xmrender.exe --play under Wine, through wave-out and ALSA's file plugin: the recording holds
# the song-length render of the same song and passes, every sound frame in order and nothing
# after the end but silence, and the run ends by itself with exit code 0. Wine's output inserts
# silence when it runs dry under load, and the plugin's null device takes the sound faster than
# real time, so only the sound frames are compared, not where the silence falls.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_windows
native=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
windows_xmrender=$E2E_WINDOWS_XMRENDER
native_xmrender=$(dirname "$native")/xmrender
song=$E2E_ROOT/tests/fuzz/corpus/tune.xm
[ -f "$windows_xmrender" ] || e2e_fail "no xmrender.exe at $windows_xmrender (build the win${E2E_WINDOWS_BITS} preset first)"
[ -x "$native_xmrender" ] || e2e_fail "no xmrender at $native_xmrender"
e2e_windows_line "$windows_xmrender"

scratch=$(mktemp -d)
trap 'e2e_wine_stop; rm -rf "$scratch"' EXIT
e2e_wine_env "$scratch"
e2e_wine_record_to "$scratch/played.raw"

# The native build renders the same bytes as the Windows one (xmrender_win32_same_bytes.sh).
"$native_xmrender" "$song" --loops 4 -o "$scratch/expected.wav" --quiet || e2e_fail "xmrender failed"
E2E_LOG=$scratch/play.log e2e_wine_start "$windows_xmrender" "Z:$song" --loops 4 --play --quiet
# The first start creates the scratch prefix, which takes a while.
e2e_wait_exit "$E2E_PID" 240
code=$?
[ "$code" -eq 0 ] || e2e_fail "xmrender.exe --play ended with exit code $code: $(cat "$scratch/play.log")"
[ -s "$scratch/played.raw" ] || e2e_fail "nothing was recorded (did waveOutOpen fail?)"

tail -c +45 "$scratch/expected.wav" >"$scratch/expected.raw"
sound_frames "$scratch/played.raw" >"$scratch/played.frames"
sound_frames "$scratch/expected.raw" >"$scratch/expected.frames"
cmp "$scratch/played.frames" "$scratch/expected.frames" ||
    e2e_fail "the sound frames of the recording are not those of the rendered song"
echo "win32 --play: all $(wc -l <"$scratch/expected.frames") sound frames of the song, in order, and nothing after its end"
