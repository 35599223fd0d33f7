#!/usr/bin/env bash
# The Windows tests' choice of exe and loader: a machine whose 32-bit loader starts runs the
# 32-bit exe under Wine's wrapper; one whose 32-bit loader cannot start (here a file the kernel
# refuses with "Exec format error", as where 32-bit emulation is off) runs the 64-bit exe under
# the 64-bit loader, in a 64-bit prefix. The probe takes well under a second either way.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf '\177ELF\1\1\1garbage' >"$scratch/refused-loader"
chmod +x "$scratch/refused-loader"
printf '#!/bin/sh\necho "ld.so stand-in 1.0"\n' >"$scratch/working-loader"
chmod +x "$scratch/working-loader"

# choose LOADER: prints bits, loader, exe, xmrender, WINEARCH and the milliseconds taken.
choose() (
    unset E2E_WINDOWS_BITS WINELOADER WINESERVER WINEARCH
    E2E_LOADER32=$1
    start=$(date +%s%N)
    e2e_windows
    echo "$E2E_WINDOWS_BITS $E2E_WINE $E2E_WINDOWS_EXE $E2E_WINDOWS_XMRENDER ${WINEARCH:-none} ${WINELOADER:-none} $((($(date +%s%N) - start) / 1000000))"
)

export OSTREL_WIN32_EXE=/b/win32/ostrel.exe OSTREL_WIN64_EXE=/b/win64/ostrel.exe
read -r bits loader exe xmrender arch wineloader ms <<<"$(choose "$scratch/working-loader")"
[ "$bits $loader $exe $xmrender $arch $wineloader" = \
    "32 wine /b/win32/ostrel.exe /b/win32/xmrender.exe none none" ] ||
    e2e_fail "with a working 32-bit loader: $bits $loader $exe $xmrender $arch $wineloader"
[ "$ms" -lt 500 ] || e2e_fail "the probe took $ms ms"

read -r bits loader exe xmrender arch wineloader ms <<<"$(choose "$scratch/refused-loader")"
[ "$bits $loader $exe $xmrender $arch $wineloader" = \
    "64 /usr/lib/wine/wine64 /b/win64/ostrel.exe /b/win64/xmrender.exe win64 /usr/lib/wine/wine64" ] ||
    e2e_fail "with a refused 32-bit loader: $bits $loader $exe $xmrender $arch $wineloader"
[ "$ms" -lt 500 ] || e2e_fail "the probe took $ms ms"
line=$(E2E_LOADER32=$scratch/refused-loader && unset E2E_WINDOWS_BITS && e2e_windows && e2e_windows_line "$exe")
grep -q "^windows: $exe under /usr/lib/wine/wine64, 64-bit: .*the 32-bit exe was not run" <<<"$line" ||
    e2e_fail "the 64-bit choice does not say that the 32-bit exe was not run"
echo "windows loader choice: 32-bit with a working loader, 64-bit with a refused one"
