#!/usr/bin/env bash
# Fails when a tracked C or C++ source differs from what the root .clang-format makes of it.
# The generated asset arrays are left out: their generators lay them out.
#
# The check runs one pinned clang-format release, called by its versioned name: another release
# lays out some constructs differently, and the check would then fail on sources nobody changed.
# scripts/setup-debian.sh installs it (Debian 12's clang-format-14). Format a file with
# "clang-format-14 -i FILE".
set -uo pipefail
cd "$(dirname "$0")/.."
clang_format=clang-format-14
if ! command -v "$clang_format" >/dev/null; then
    echo "check-format: $clang_format not found; install it with scripts/setup-debian.sh" >&2
    exit 1
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' | grep -v '^assets/')
[ ${#files[@]} -gt 0 ] || { echo "check-format: no sources found" >&2; exit 1; }
if ! "$clang_format" --dry-run --Werror "${files[@]}"; then
    echo "check-format: run $clang_format -i on the files above" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files formatted by $($clang_format --version | sed -n 's/.*version \([0-9.]*\).*/clang-format \1/p')"
