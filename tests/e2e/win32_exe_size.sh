#!/usr/bin/env bash
# The Windows demo is size-coded: it stays below 128 KiB, with no packer and nothing left out.
# `cmake --build build/win32 --target size_report` shows where its bytes go.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=${OSTREL_WIN32_EXE:-$E2E_ROOT/build/win32/ostrel.exe}
[ -f "$program" ] || e2e_fail "no program at $program (build the win32 preset first)"
size=$(wc -c <"$program")
echo "win32: ostrel.exe is $size bytes" >&2
[ "$size" -lt 131072 ] || e2e_fail "ostrel.exe is $size bytes, not below 131072 (128 KiB)"
# No packer: the sections are the compiler's and linker's own.
i686-w64-mingw32-objdump -h "$program" | grep -q ' \.text ' ||
    e2e_fail "ostrel.exe has no plain .text section"
