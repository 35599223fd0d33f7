# Helpers shared by the end-to-end scripts: a display of their own, windows found by name,
# answering the start-up question, and waiting for the program's exit with a time limit.
# Sourced, not run. Nothing here installs anything.

E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_SCREEN=${E2E_SCREEN:-"-screen 0 1280x720x24 +extension GLX"}
# The Windows build's window holds a 1280x720 client area inside the caption and border that
# the system draws around it, so the whole window only fits a larger screen: on one of 1280x720
# the system shrinks it to the screen and the client area with it. Set as E2E_SCREEN before
# e2e_own_display.
E2E_WINE_WINDOWED_SCREEN="-screen 0 1600x900x24 +extension GLX"

e2e_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Re-runs the calling script under its own virtual X server, once.
e2e_own_display() {
    if [ -z "${E2E_INSIDE_XVFB:-}" ]; then
        E2E_INSIDE_XVFB=1 exec xvfb-run -a -s "$E2E_SCREEN" bash "$0" "$@"
    fi
}

# Prints the id of the first window whose name matches the pattern; fails after the timeout,
# or at once when the process PID, if given, has ended. e2e_wait_window PATTERN SECONDS [PID]
e2e_wait_window() {
    local pattern=$1 seconds=$2 pid=${3:-} id i
    for ((i = 0; i < seconds * 4; i++)); do
        id=$(xdotool search --name "$pattern" 2>/dev/null | head -1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then return 1; fi
        sleep 0.25
    done
    return 1
}

e2e_window_gone() {
    local pattern=$1 seconds=$2 i
    for ((i = 0; i < seconds * 4; i++)); do
        xdotool search --name "$pattern" >/dev/null 2>&1 || return 0
        sleep 0.25
    done
    return 1
}

# "WIDTHxHEIGHT" and "X,Y" of a window.
e2e_window_size() { xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: *//p'; }
e2e_window_position() { xdotool getwindowgeometry "$1" | sed -n 's/.*Position: *\([0-9-]*,[0-9-]*\).*/\1/p'; }

# Waits for a process to end; its exit code is the result, 124 when it had to be killed.
e2e_wait_exit() {
    local pid=$1 seconds=$2 i
    for ((i = 0; i < seconds * 10; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            return $?
        fi
        sleep 0.1
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 124
}

# Answers the native build's question (zenity's dialog) with its No button. Escape would close
# the dialog without a choice, which is not a No, so the button itself is clicked: the rightmost
# of the two at the bottom of the dialog.
e2e_answer_no_zenity() {
    local box=$1 size w h
    size=$(e2e_window_size "$box")
    w=${size%x*}
    h=${size#*x}
    xdotool mousemove --window "$box" $((w - 45)) $((h - 22)) click 1
}

# Holds Escape down for half a second, as a person does. A press and release sent back to back
# would both be taken as messages before the loop's next idle pass, which is where the key is
# looked at, and the run would go on.
e2e_hold_escape() {
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool keydown --window "$1" Escape
    sleep 0.5
    xdotool keyup --window "$1" Escape
}

# Answers zenity's Yes/No dialog with Yes, the leftmost button.
e2e_answer_yes_zenity() {
    local size h
    size=$(e2e_window_size "$1")
    h=${size#*x}
    xdotool mousemove --window "$1" 45 $((h - 22)) click 1
}

# Answers the Windows message box with No through its keyboard accelerator.
e2e_answer_no_wine() {
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool key --window "$1" n
}

# --- Running the Windows build ---------------------------------------------------------------
# The 32-bit exe is the product, and where the kernel runs 32-bit programs the tests run it under
# Wine's 32-bit loader. Some kernels have their 32-bit emulation switched off: nothing 32-bit can
# start there, and Debian's wine wrapper, which picks the 32-bit loader whenever wine32 is
# installed, fails at once with "Exec format error". There the tests run the same sources built
# for 64-bit Windows (the win64 preset) under the 64-bit loader, in a 64-bit prefix. The checks
# are the same for both. The probe asks the 32-bit dynamic loader its version, which either runs
# or fails at once; E2E_LOADER32 names another loader to probe (the probe's own test does).
E2E_LOADER32=${E2E_LOADER32:-/lib/ld-linux.so.2}
E2E_WINE32=${E2E_WINE32:-wine}
E2E_WINE64=${E2E_WINE64:-/usr/lib/wine/wine64}
E2E_WINESERVER64=${E2E_WINESERVER64:-/usr/lib/wine/wineserver64}

# Decides once how this machine runs Windows programs and sets: E2E_WINDOWS_BITS (32 or 64),
# E2E_WINE (the loader), E2E_WINESERVER, E2E_WINDOWS_EXE (the demo) and E2E_WINDOWS_XMRENDER.
# The decision is exported, so a script re-run under its own display does not probe again.
e2e_windows() {
    if [ -z "${E2E_WINDOWS_BITS:-}" ]; then
        if timeout 5 "$E2E_LOADER32" --version >/dev/null 2>&1; then
            E2E_WINDOWS_BITS=32
        else
            E2E_WINDOWS_BITS=64
        fi
        export E2E_WINDOWS_BITS
    fi
    if [ "$E2E_WINDOWS_BITS" = 32 ]; then
        E2E_WINE=$E2E_WINE32
        E2E_WINESERVER=wineserver
        E2E_WINDOWS_EXE=${OSTREL_WIN32_EXE:-$E2E_ROOT/build/win32/ostrel.exe}
    else
        # The wrapper would still pick the 32-bit loader: the 64-bit pair is named directly.
        E2E_WINE=$E2E_WINE64
        E2E_WINESERVER=$E2E_WINESERVER64
        E2E_WINDOWS_EXE=${OSTREL_WIN64_EXE:-$E2E_ROOT/build/win64/ostrel.exe}
        export WINELOADER=$E2E_WINE64 WINESERVER=$E2E_WINESERVER64 WINEARCH=win64
    fi
    E2E_WINDOWS_XMRENDER=$(dirname "$E2E_WINDOWS_EXE")/xmrender.exe
}

# The one line each Windows test prints: which exe, and under which loader.
e2e_windows_line() {
    local why="this machine runs 32-bit programs"
    [ "$E2E_WINDOWS_BITS" = 32 ] ||
        why="this machine runs no 32-bit programs ($E2E_LOADER32 does not start), so the 32-bit exe was not run"
    echo "windows: $1 under $E2E_WINE, $E2E_WINDOWS_BITS-bit: $why"
}

# Runs a Windows program under the chosen loader: e2e_wine PROGRAM ARGS...
e2e_wine() { "$E2E_WINE" "$@"; }

# Ends this run's Wine processes (the scripts' exit traps).
e2e_wine_stop() { "$E2E_WINESERVER" -k 2>/dev/null || true; }

# e2e_wait_window for the window of the background program E2E_PID, which gives up at once
# when that program has ended: no window can appear any more. e2e_expect_window PATTERN SECONDS
e2e_expect_window() { e2e_wait_window "$1" "$2" "$E2E_PID"; }

# After e2e_expect_window gave up: fails, quoting the program's exit code and the end of its log
# (E2E_LOG) when it has ended, which under Wine holds the loader's own message.
e2e_window_missing() {
    local what=$1 code
    if kill -0 "$E2E_PID" 2>/dev/null; then e2e_fail "$what did not appear"; fi
    wait "$E2E_PID"
    code=$?
    e2e_fail "$what did not appear: the program ended with exit code $code$(
        [ -f "${E2E_LOG:-}" ] && printf ': %s' "$(tail -n 5 "$E2E_LOG" | tr '\n' ' ')")"
}

# Starts a Windows program in the background under the chosen loader, its output in E2E_LOG
# (a file in the scratch folder unless set): E2E_PID is the process.
e2e_wine_start() {
    E2E_LOG=${E2E_LOG:-$WINEPREFIX.log}
    e2e_wine "$@" >"$E2E_LOG" 2>&1 &
    E2E_PID=$!
}

# Runs a Windows program to its end, its standard error in a file beside the prefix; when it
# fails, the test fails with Wine's or the program's own message. e2e_wine_run WHAT PROGRAM ARGS...
e2e_wine_run() {
    local what=$1 errors=$WINEPREFIX.stderr
    shift
    e2e_wine "$@" 2>"$errors" ||
        e2e_fail "$what failed with exit code $?: $(tail -n 5 "$errors" | tr '\n' ' ')"
}

# Scratch Wine prefix and home for this run; sound goes nowhere (no card, no .asoundrc), so
# waveOutOpen fails and the demo runs silently.
e2e_wine_env() {
    local scratch=$1
    mkdir -p "$scratch/home"
    export WINEPREFIX="$scratch/prefix" HOME="$scratch/home" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# After e2e_wine_env: wave-out plays into FILE through ALSA's file plugin, bit for bit, as raw
# 16-bit stereo frames from the ring's first byte (and about four times faster than real time).
e2e_wine_record_to() {
    cat >"$HOME/.asoundrc" <<ASOUND
pcm.!default { type file slave.pcm "null" file "$1" format "raw" }
ASOUND
}

# Checks one picture of the running scene: it is the whole 1280x720 scene, the clear colour
# (20, 17, 99) fills much of it but not all (rings, lines and dots are drawn over it), and some
# pixels are the green of the wavy lines. Prints the two measures.
e2e_check_scene_picture() {
    local picture=$1 measures size
    size=$(identify -format %wx%h "$picture") || e2e_fail "cannot read $picture"
    [ "$size" = 1280x720 ] || e2e_fail "$picture is $size, not the whole 1280x720 scene"
    # One line per colour: "count: (r,g,b...". Summed by awk, which is much faster than -fx.
    measures=$(convert "$picture" -alpha off -format %c histogram:info:- | awk '
        {
            count = $1 + 0
            split(substr($2, 2), c, ",")
            r = c[1] + 0; g = c[2] + 0; b = c[3] + 0
            total += count
            if ((r - 20) ^ 2 < 16 && (g - 17) ^ 2 < 16 && (b - 99) ^ 2 < 16) background += count
            if (g > 120 && g > 1.5 * r && g > 1.5 * b) green += count
        }
        END { if (total > 0) printf "%.4f %d\n", background / total, green }') ||
        e2e_fail "cannot read $picture"
    [ -n "$measures" ] || e2e_fail "cannot read $picture"
    local background=${measures% *} green=${measures#* }
    echo "$picture: background fraction $background, green pixels $green" >&2
    awk -v f="$background" 'BEGIN { exit !(f > 0.30 && f < 0.995) }' ||
        e2e_fail "$picture does not look like the scene (background fraction $background)"
    [ "$green" -ge 100 ] || e2e_fail "$picture shows no green lines ($green green pixels)"
}

# The sound frames of a raw 16-bit stereo file, one per line, without its silent frames.
sound_frames() { od -An -v -w4 -tx4 "$1" | grep -v '^ 00000000$'; }

# Compares the recording with xmrender's WAV data frame by frame, leaving out every silent frame
# on both sides: the silence before the ring is handed over, after the device's reset, and any
# the output path inserts when it runs dry. Every sound frame of the recording must be the next
# sound frame of xmrender's output, so a chunk repeated or skipped shows up at once. Prints the
# number of sound frames that matched; scratch is a folder for the work files.
compare_recording() {
    local recorded=$1 wav=$2 scratch=$3 out line frames
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

# Checks a recording of live playback byte for byte: once the silence before the device started
# is left out, it is the WAV's data exactly (its own leading silence left out too), followed by
# nothing but silence. e2e_check_exact_recording RAW WAV SCRATCH
e2e_check_exact_recording() {
    local raw=$1 wav=$2 scratch=$3 data lead_raw lead_wav size rest
    tail -c +45 "$wav" >"$scratch/exact.raw"
    # Leading silent frames, counted in bytes.
    lead_raw=$(od -An -v -w4 -tx4 "$raw" | awk '$1 != "00000000" { print (NR - 1) * 4; exit }')
    lead_wav=$(od -An -v -w4 -tx4 "$scratch/exact.raw" | awk '$1 != "00000000" { print (NR - 1) * 4; exit }')
    [ -n "$lead_raw" ] || e2e_fail "the recording is silent"
    [ -n "$lead_wav" ] || e2e_fail "the rendered song is silent"
    size=$(($(stat -c %s "$scratch/exact.raw") - lead_wav))
    tail -c +$((lead_wav + 1)) "$scratch/exact.raw" >"$scratch/exact.song"
    tail -c +$((lead_raw + 1)) "$raw" | head -c "$size" >"$scratch/exact.heard"
    cmp "$scratch/exact.heard" "$scratch/exact.song" ||
        e2e_fail "the recording is not the rendered song byte for byte"
    rest=$(tail -c +$((lead_raw + size + 1)) "$raw" | tr -d '\0' | wc -c)
    [ "$rest" -eq 0 ] || e2e_fail "after the song's end the recording holds $rest sound bytes"
}

# Starts a program in the background and answers its start-up question No, the way the build
# at hand shows it: E2E_PID is the process, E2E_WINDOW the demo's window. The program's output
# goes to E2E_LOG. Native: e2e_start_windowed native PROGRAM [VAR=value...]; Windows build:
# e2e_start_windowed wine PROGRAM (in a prefix set up by e2e_wine_env, loader chosen by e2e_windows).
e2e_start_windowed() {
    local kind=$1 program=$2 box
    shift 2
    if [ "$kind" = wine ]; then
        e2e_wine_start "$program"
    else
        env "$@" "$program" >"${E2E_LOG:-/dev/stdout}" 2>&1 &
        E2E_PID=$!
    fi
    # Under Wine the first start creates the scratch prefix, which takes a while.
    box=$(e2e_expect_window '^Varnholt$' "$([ "$kind" = wine ] && echo 180 || echo 30)") ||
        e2e_window_missing "the start-up question"
    if [ "$kind" = wine ]; then e2e_answer_no_wine "$box"; else e2e_answer_no_zenity "$box"; fi
    e2e_window_gone '^Varnholt$' 10 || e2e_fail "the question stayed open after No"
    E2E_WINDOW=$(e2e_expect_window '^Ostrel$' 60) || e2e_window_missing "a window titled Ostrel"
}

# After a recorded run of the whole show: xmrender's rendering of the built-in song must match
# the recording (see compare_recording) over well beyond the two seconds of the pre-rendered
# ring, so the audio thread's refills were heard too. e2e_check_recording LABEL RAW XMRENDER
# SHOW-SECONDS SCRATCH
e2e_check_recording() {
    local label=$1 raw=$2 xmrender=$3 show_seconds=$4 scratch=$5 recorded matched
    recorded=$(stat -c %s "$raw")
    # 176,400 bytes a second: 44,100 frames of 4 bytes.
    "$xmrender" --quiet -o "$scratch/expected.wav" --seconds $((recorded / 176400 + 5)) ||
        e2e_fail "xmrender failed"
    matched=$(compare_recording "$raw" "$scratch/expected.wav" "$scratch") || exit 1
    [ "$matched" -ge $(((show_seconds - 10) * 44100)) ] ||
        e2e_fail "only $matched sound frames matched xmrender, in $recorded recorded bytes"
    echo "$label: all $matched sound frames of the recording ($recorded bytes) follow xmrender's rendering"
}
