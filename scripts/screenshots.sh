#!/usr/bin/env bash
# Runs the whole 60-second show under a virtual X server, answers the start-up question with No,
# and takes pictures of the window at about 10, 30 and 55 seconds.
#
#   scripts/screenshots.sh [--wine] [PROGRAM] OUTDIR
#
# PROGRAM defaults to build/linux/ostrel (with --wine: the Windows build this machine runs,
# build/win32/ostrel.exe, or build/win64/ostrel.exe where no 32-bit programs run). Writes
# OUTDIR/shot-10.png, shot-30.png, shot-55.png and OUTDIR/run.txt (exit code and run time), and
# exits with the program's exit code (124 when it did not end by itself within 90 seconds).
# For the README: scripts/screenshots.sh /tmp/shots && cp /tmp/shots/shot-30.png docs/screenshot.png
set -uo pipefail
source "$(dirname "$0")/../tests/e2e/lib.sh"
# The Windows build's window, frame and all, needs a screen larger than its client area.
if [ "${1:-}" = "--wine" ]; then E2E_SCREEN=$E2E_WINE_WINDOWED_SCREEN; fi
e2e_own_display "$@"

wine=0
if [ "${1:-}" = "--wine" ]; then
    wine=1
    shift
fi
if [ $# -ge 2 ]; then
    program=$1
    shift
elif [ $wine -eq 1 ]; then
    e2e_windows
    program=$E2E_WINDOWS_EXE
else
    program=$E2E_ROOT/build/linux/ostrel
fi
out=${1:?usage: screenshots.sh [--wine] [PROGRAM] OUTDIR}
mkdir -p "$out"
[ -f "$program" ] || e2e_fail "no program at $program"

E2E_LOG=$out/program.log
if [ $wine -eq 1 ]; then
    e2e_windows
    e2e_windows_line "$program" >&2
    e2e_wine_env "$out/wine"
    e2e_wine_start "$program"
else
    SDL_AUDIODRIVER=dummy "$program" >"$E2E_LOG" 2>&1 &
    E2E_PID=$!
fi
pid=$E2E_PID

box=$(e2e_expect_window '^Varnholt$' 180) || e2e_window_missing "the start-up question"
if [ $wine -eq 1 ]; then e2e_answer_no_wine "$box"; else e2e_answer_no_zenity "$box"; fi
window=$(e2e_expect_window '^Ostrel$' 60) || e2e_window_missing "a window titled Ostrel"
now_ms() { echo $(($(date +%s%N) / 1000000)); }
start=$(now_ms)

# Sleeps until the given number of seconds after the window appeared.
at() {
    local wait=$((start + $1 * 1000 - $(now_ms)))
    if [ $wait -gt 0 ]; then sleep "$((wait / 1000)).$(printf %03d $((wait % 1000)))"; fi
}
for t in 10 30 55; do
    at "$t"
    import -window "$window" "$out/shot-$t.png" 2>/dev/null || e2e_fail "no picture at $t s"
    echo "screenshots: $out/shot-$t.png" >&2
done

e2e_wait_exit "$pid" 35
code=$?
elapsed=$(($(now_ms) - start))
printf 'exit %d\nseconds %d.%d\n' "$code" $((elapsed / 1000)) $((elapsed % 1000 / 100)) | tee "$out/run.txt" >&2
if [ $wine -eq 1 ]; then e2e_wine_stop; fi
exit "$code"
