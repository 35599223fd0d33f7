#!/usr/bin/env bash
# The Windows build under Wine runs its whole 60-second show and ends by itself with exit code
# 0, silently (no sound card); the pictures taken at about 10, 30 and 55 seconds show the scene.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_windows
program=$E2E_WINDOWS_EXE
e2e_windows_line "$program"
out=${E2E_OUT:-$(mktemp -d)}
trap 'rm -rf "$out/wine"' EXIT

bash "$E2E_ROOT/scripts/screenshots.sh" --wine "$program" "$out"
code=$?
[ "$code" -eq 0 ] || e2e_fail "the show ended with exit code $code ($(tr '\n' ' ' <"$out/run.txt" 2>/dev/null))"
seconds=$(sed -n 's/^seconds \([0-9]*\).*/\1/p' "$out/run.txt")
[ "$seconds" -ge 55 ] || e2e_fail "the show ended after $seconds s, before its 60 seconds"
for t in 10 30 55; do
    e2e_check_scene_picture "$out/shot-$t.png"
done
echo "win32: full show ran ${seconds} s, exit 0, pictures in $out"
