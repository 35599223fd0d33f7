# Helpers shared by the end-to-end scripts: a display of their own, windows found by name,
# answering the start-up question, and waiting for the program's exit with a time limit.
# Sourced, not run. Nothing here installs anything.

E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_SCREEN=${E2E_SCREEN:-"-screen 0 1280x720x24 +extension GLX"}

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

# Prints the id of the first window whose name matches the pattern; fails after the timeout.
e2e_wait_window() {
    local pattern=$1 seconds=$2 id i
    for ((i = 0; i < seconds * 4; i++)); do
        id=$(xdotool search --name "$pattern" 2>/dev/null | head -1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
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

# Scratch Wine prefix and home for this run; sound goes nowhere (no card, no .asoundrc), so
# waveOutOpen fails and the demo runs silently.
e2e_wine_env() {
    local scratch=$1
    mkdir -p "$scratch/home"
    export WINEPREFIX="$scratch/prefix" HOME="$scratch/home" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# Checks one picture of the running scene: the clear colour (20, 17, 99) fills much of it but
# not all (rings, lines and dots are drawn over it), and some pixels are the green of the wavy
# lines. Prints the two measures.
e2e_check_scene_picture() {
    local picture=$1 measures
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
