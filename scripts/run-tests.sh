#!/usr/bin/env bash
# Everything CI does, from a fresh clone on Debian 12: installs whatever is missing (through
# sudo when not root), builds the linux, sanitize, win32 and win64 presets, and runs the unit tests of
# the linux and sanitize builds (test presets linux and sanitize) and the end-to-end tests (test
# preset e2e: each under its own virtual X server, the Windows build under Wine: the 32-bit exe
# where the kernel runs 32-bit programs, the 64-bit one where it does not). Ends with
# ctest's summaries; the exit code is non-zero when a build or any test failed. Needs no display
# and no input.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/setup-debian.sh demo dev win32 e2e || exit 1

status=0
step() {
    echo "== $*" >&2
    "$@" || status=1
}

for preset in linux sanitize win32 win64; do
    step cmake --preset "$preset" || true
    step cmake --build --preset "$preset" -j"$jobs"
done
# The 32-bit exe is the product: where the bytes go, whichever exe the Windows tests run.
step cmake --build --preset win32 --target size_report
# Stop here if a build failed: the tests would only repeat it.
if [ $status -ne 0 ]; then
    echo "run-tests: a build failed" >&2
    exit 1
fi

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
# The unit tests run in parallel; the end-to-end tests (the e2e preset, in the linux build) one
# at a time, as each starts its own X server and measures real time.
source tests/e2e/lib.sh
e2e_windows
echo "== $(e2e_windows_line "build/win$E2E_WINDOWS_BITS/*.exe")" >&2
for preset in linux sanitize e2e; do
    echo "== ctest $preset" >&2
    ctest --preset "$preset" -j"$jobs" 2>&1 | tee "$logs/$preset.log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done

# ctest's own summaries of the three runs, last.
for preset in linux sanitize e2e; do
    echo
    echo "== summary: $preset"
    sed -n '/tests passed, /,$p' "$logs/$preset.log"
done
exit $status
