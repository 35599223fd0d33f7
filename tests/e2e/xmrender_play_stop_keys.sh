#!/usr/bin/env bash
# xmrender --play on a terminal stops early and cleanly on q, Escape and Ctrl-C: exit code 0
# within moments of the key, long before the 60-second song ends, and the terminal is given back
# as it was (canonical input, echo). The terminal is a pseudo-terminal from script(1); keys are
# written to its input through a pipe.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=${OSTREL_EXE:-$E2E_ROOT/build/linux/ostrel}
xmrender=${OSTREL_XMRENDER:-$(dirname "$program")/xmrender}
[ -x "$xmrender" ] || e2e_fail "no xmrender at $xmrender"

scratch=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null; rm -rf "$scratch"' EXIT
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$scratch/played.raw"

# press NAME KEY-BYTES: plays the built-in song, presses the key after two seconds, and checks
# the exit code and the terminal's modes afterwards.
press() {
    local name=$1 key=$2 pid code start elapsed
    rm -f "$scratch/keys" && mkfifo "$scratch/keys"
    # stty runs on the same terminal after xmrender has ended.
    script -q -c "'$xmrender' --play; echo \"exit=\$?\"; stty -a" /dev/null \
        <"$scratch/keys" >"$scratch/$name.log" 2>&1 &
    pid=$!
    exec 3>"$scratch/keys"
    sleep 2
    grep -q "row" "$scratch/$name.log" || e2e_fail "$name: no status line after two seconds"
    start=$(date +%s)
    printf '%b' "$key" >&3
    e2e_wait_exit "$pid" 20
    code=$?
    elapsed=$(($(date +%s) - start))
    exec 3>&-
    [ "$code" -eq 0 ] || e2e_fail "$name: script ended with $code"
    grep -q "exit=0" "$scratch/$name.log" || e2e_fail "$name: xmrender did not exit with 0: $(tail -c 400 "$scratch/$name.log")"
    [ "$elapsed" -le 5 ] || e2e_fail "$name: xmrender took $elapsed s to stop"
    grep -Eq '(^|[^-])icanon' "$scratch/$name.log" && grep -Eq '(^|[ ;])echo ' "$scratch/$name.log" ||
        e2e_fail "$name: the terminal was left without canonical input or echo"
    echo "$name: stopped with exit code 0 within $elapsed s, terminal restored"
}

press q 'q'
press escape '\033'
press ctrl-c '\003'
