#!/usr/bin/env bash
# Fails when a tracked C or C++ source differs from what the root .clang-format makes of it.
# The generated asset arrays are left out: their generators lay them out.
set -uo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' | grep -v '^assets/')
[ ${#files[@]} -gt 0 ] || { echo "check-format: no sources found" >&2; exit 1; }
if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "check-format: run clang-format -i on the files above" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files formatted"
