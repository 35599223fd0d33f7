#!/usr/bin/env bash
# The Windows build of xmrender, run under Wine, writes the same bytes as the native one: for
# the built-in song (memory stream) and for a module read from a file (file stream), WAV and
# positions file alike, for a number of seconds and for the song's own length (which each build
# finds on its own), to a file and to standard output. Both builds do their floating point in SSE2 and call no C library
# function whose last bit could differ.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_windows
native=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
native_xmrender=$(dirname "$native")/xmrender
windows_xmrender=$E2E_WINDOWS_XMRENDER
[ -x "$native_xmrender" ] || e2e_fail "no xmrender at $native_xmrender"
[ -f "$windows_xmrender" ] || e2e_fail "no xmrender.exe at $windows_xmrender (build the win${E2E_WINDOWS_BITS} preset first)"
e2e_windows_line "$windows_xmrender"

scratch=$(mktemp -d)
trap 'e2e_wine_stop; rm -rf "$scratch"' EXIT
e2e_wine_env "$scratch"

# render_both NAME SONG-FILE-OR-"" OPTIONS...
render_both() {
    local name=$1 song=$2 native_song=() windows_song=()
    shift 2
    if [ -n "$song" ]; then
        native_song=("$song")
        # Wine maps the Unix root to drive Z:.
        windows_song=("Z:$song")
    fi
    "$native_xmrender" "${native_song[@]}" "$@" -o "$scratch/$name-native.wav" --positions "$scratch/$name-native.txt" \
        --quiet || e2e_fail "native xmrender failed on $name"
    e2e_wine_run "xmrender.exe on $name" "$windows_xmrender" "${windows_song[@]}" "$@" \
        -o "Z:$scratch/$name-windows.wav" --positions "Z:$scratch/$name-windows.txt" --quiet
    cmp "$scratch/$name-native.wav" "$scratch/$name-windows.wav" ||
        e2e_fail "the two builds wrote different WAV files for $name"
    cmp "$scratch/$name-native.txt" "$scratch/$name-windows.txt" ||
        e2e_fail "the two builds wrote different positions for $name"
    echo "$name: $(stat -c %s "$scratch/$name-native.wav") identical bytes"
}

render_both builtin "" --seconds 90
render_both tune "$E2E_ROOT/tests/fuzz/corpus/tune.xm" --seconds 20 --rate 48000
render_both builtin-length ""
render_both tune-passes "$E2E_ROOT/tests/fuzz/corpus/tune.xm" --loops 3

# Standard output in binary mode: no byte of the WAV turned into a line end.
e2e_wine_run "xmrender.exe -o -" "$windows_xmrender" -o - --quiet >"$scratch/stdout-windows.wav"
cmp "$scratch/builtin-length-native.wav" "$scratch/stdout-windows.wav" ||
    e2e_fail "xmrender.exe wrote other bytes to standard output"
echo "standard output: $(stat -c %s "$scratch/stdout-windows.wav") identical bytes"
