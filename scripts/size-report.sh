#!/usr/bin/env bash
# Where the bytes of a linked program go, from the map file the linker wrote beside it:
#   scripts/size-report.sh PROGRAM MAPFILE
# Prints the file size, the size of each output section, and the bytes each archive member or
# object file brings into the code (.text) and read-only data (.rdata/.rodata), largest first.
set -euo pipefail
program=$1
map=$2
[ -f "$program" ] && [ -f "$map" ] || { echo "size-report: usage: $0 PROGRAM MAPFILE" >&2; exit 2; }

echo "$(basename "$program"): $(wc -c <"$program") bytes"
awk '
function hex(s,    n, i, c) {
    n = 0; s = tolower(s); sub(/^0x/, "", s)
    for (i = 1; i <= length(s); i++) { c = index("0123456789abcdef", substr(s, i, 1)) - 1; n = n * 16 + c }
    return n
}
function owner(path) { n = split(path, parts, "/"); return parts[n] }
function add(section, size, path,    kind) {
    if (size == 0) return
    if (section ~ /^\.text/) kind = "code"
    else if (section ~ /^\.(rdata|rodata)/) kind = "rodata"
    else if (section ~ /^\.data/) kind = "data"
    else if (section ~ /^\.(eh_frame|eh_fram)/) kind = "unwind"
    else return
    bytes[kind "\t" owner(path)] += size
    total[kind] += size
}
# An input section is listed as " .name 0xADDR 0xSIZE file", or with its name alone on one line
# and the rest on the next when the name is long.
/^ \.[^ ]+ +0x[0-9a-f]+ +0x[0-9a-f]+ / { if (hex($2) != 0) add($1, hex($3), $4); next }
/^ \.[^ ]+$/ { pending = $1; next }
pending != "" && /^ +0x[0-9a-f]+ +0x[0-9a-f]+ / { if (hex($1) != 0) add(pending, hex($2), $3); pending = ""; next }
{ pending = "" }
END {
    for (k in total) printf "%-8s %8d bytes\n", k, total[k] > "/dev/stderr"
    for (key in bytes) { split(key, f, "\t"); printf "%8d  %-7s %s\n", bytes[key], f[1], f[2] }
}' "$map" 2>/tmp/size-report.$$ | sort -rn | head -n 40 > /tmp/size-report-rows.$$
echo "By kind:"
sort /tmp/size-report.$$
echo "Largest contributions (bytes, kind, object):"
cat /tmp/size-report-rows.$$
rm -f /tmp/size-report.$$ /tmp/size-report-rows.$$
