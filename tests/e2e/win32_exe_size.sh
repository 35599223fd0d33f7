#!/usr/bin/env bash
# The Windows demo is the 32-bit exe, checked here without running it, on any machine: a PE32
# program for i386 that needs only Windows' own DLLs, size-coded below 128 KiB with no packer
# and nothing left out. `cmake --build build/win32 --target size_report` shows where its bytes go.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
program=${OSTREL_WIN32_EXE:-$E2E_ROOT/build/win32/ostrel.exe}
[ -f "$program" ] || e2e_fail "no program at $program (build the win32 preset first)"
headers=$(i686-w64-mingw32-objdump -p "$program") || e2e_fail "cannot read $program"
grep -q 'file format pei-i386' <<<"$headers" && grep -q '(PE32)' <<<"$headers" ||
    e2e_fail "ostrel.exe is not a PE32 program for i386"
# Windows' own libraries only: nothing of mingw's or anyone else's to ship beside the exe.
imports=$(sed -n 's/.*DLL Name: *//p' <<<"$headers" | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
for dll in $imports; do
    case $dll in
        KERNEL32.DLL | USER32.DLL | GDI32.DLL | OPENGL32.DLL | GLU32.DLL | WINMM.DLL | MSVCRT.DLL) ;;
        *) e2e_fail "ostrel.exe needs $dll, which is not one of Windows' own libraries" ;;
    esac
done
size=$(wc -c <"$program")
echo "win32: ostrel.exe is $size bytes, PE32 i386, imports $imports" >&2
[ "$size" -lt 131072 ] || e2e_fail "ostrel.exe is $size bytes, not below 131072 (128 KiB)"
# No packer: the sections are the compiler's and linker's own.
grep -q ' \.text ' <<<"$(i686-w64-mingw32-objdump -h "$program")" ||
    e2e_fail "ostrel.exe has no plain .text section"
