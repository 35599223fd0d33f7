#!/usr/bin/env bash
# xmrender --play's keys on a terminal, recorded through SDL's disk audio driver. Space pauses:
# the status line says so and the recording goes on in silence; Space again resumes at the very
# frame where the sound stopped, so the recording's sound is still the song's, frame for frame.
# With several songs and --loop, the status line counts the passes of the song heard, n goes on
# to the next song, and Right moves the time shown 5 s on. The terminal is a pseudo-terminal from
# script(1); keys are written to its input through a pipe, and every wait polls the status line
# for what it must come to show, with a time limit.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
xmrender=${OSTREL_XMRENDER:-$(dirname "$program")/xmrender}
long=$E2E_ROOT/assets/ostrel.xm        # a minute
short=$E2E_ROOT/tests/fuzz/corpus/tune.xm # 1.68 s, then passes of 0.72 s
[ -x "$xmrender" ] || e2e_fail "no xmrender at $xmrender"

scratch=$(mktemp -d)
pid=
trap 'exec 3>&- 2>/dev/null; [ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT

# play NAME ARGS...: xmrender --play ARGS on a pseudo-terminal, its sound in NAME.raw and what
# the terminal shows in NAME.log.
play() {
    local name=$1
    shift
    rm -f "$scratch/keys" && mkfifo "$scratch/keys"
    log=$scratch/$name.log
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$scratch/$name.raw" \
        script -q -c "'$xmrender' --play $*; echo \"exit=\$?\"" /dev/null \
        <"$scratch/keys" >"$log" 2>&1 &
    pid=$!
    exec 3>"$scratch/keys"
}

press() { printf '%b' "$1" >&3; }

# The last whole status line shown.
status() { tr '\r' '\n' <"$log" | grep -E 'order .* [0-9]+:[0-9]{2}\.[0-9] / [0-9]+:[0-9]{2}\.[0-9] ' | tail -n 1; }

# The time the status line shows, in tenths of a second.
shown_tenths() { status | sed -E 's/.* ([0-9]+):([0-9]{2})\.([0-9]) \/ .*/\1 \2 \3/' | awk '{ print ($1 * 60 + $2) * 10 + $3 }'; }

# until WHAT CONDITION...: waits up to 10 s for the condition (a command) to hold.
until_shown() {
    local what=$1 i
    shift
    for ((i = 0; i < 100; i++)); do
        "$@" && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    e2e_fail "$what (status line: $(status))"
}
shows() { status | grep -Eq "$1"; }
shows_not() { status | grep -q row && ! status | grep -Eq "$1"; }
time_from() {
    local tenths
    tenths=$(shown_tenths)
    [ -n "$tenths" ] && [ "$tenths" -ge "$1" ]
}

# Stops with q: exit code 0.
quit() {
    press q
    e2e_wait_exit "$pid" 10
    local code=$?
    pid=
    exec 3>&-
    [ "$code" -eq 0 ] && grep -q "exit=0" "$log" || e2e_fail "q did not end xmrender with 0: $(tail -c 300 "$log")"
}

bytes() { stat -c %s "$1"; }

# --- Space: pause and resume ---
"$xmrender" "$long" -o "$scratch/long.wav" --quiet || e2e_fail "xmrender failed"
play pause "'$long'"
until_shown "no status line" time_from 10
press ' '
until_shown "Space did not pause" shows paused
paused_at=$(shown_tenths)
sleep 0.5
silent_from=$(bytes "$scratch/pause.raw")
sleep 1
silent_to=$(bytes "$scratch/pause.raw")
[ "$silent_to" -gt "$silent_from" ] || e2e_fail "the device stopped writing while paused"
sound=$(tail -c +$((silent_from + 1)) "$scratch/pause.raw" | head -c $((silent_to - silent_from)) | tr -d '\0' | wc -c)
[ "$sound" -eq 0 ] || e2e_fail "paused, yet $sound sound bytes were played"
[ "$(shown_tenths)" -eq "$paused_at" ] || e2e_fail "the time went on while paused: $(status)"
press ' '
until_shown "Space did not resume" shows_not paused
until_shown "the time did not go on after resuming" time_from $((paused_at + 10))
quit
[ "$(tail -c +$((silent_to + 1)) "$scratch/pause.raw" | tr -d '\0' | wc -c)" -gt 0 ] ||
    e2e_fail "no sound was recorded after resuming"
frames=$(compare_recording "$scratch/pause.raw" "$scratch/long.wav" "$scratch") || exit 1
echo "Space: paused at $((paused_at / 10)).$((paused_at % 10)) s in silence, resumed exactly there ($frames sound frames)"

# --- passes, n and Right ---
play songs "'$short'" "'$long'" --loop
until_shown "no pass count while looping" shows '^\[1/2\] .* pass 2 '
press n
until_shown "n did not go on to the next song" shows '^\[2/2\] .* pass 1 '
until_shown "the next song does not play" time_from 10
before=$(shown_tenths)
press '\033[C'
until_shown "Right did not move 5 s on" time_from $((before + 45))
after=$(shown_tenths)
[ "$after" -le $((before + 65)) ] || e2e_fail "Right moved from $before to $after tenths, not 5 s"
quit
echo "passes counted, n went to the second song, Right moved from $before to $after tenths of a second"
