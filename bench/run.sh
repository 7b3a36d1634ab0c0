#!/bin/sh
# Runs every benchmark of bench/ (each bench_*.sh prints one Markdown section)
# and writes bench/REPORT.md. Argument: the Release build directory.
set -e
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
report="$here/REPORT.md"
tmp=$(mktemp)
{
    echo "# Benchmark report"
    echo
    echo "Made by \`make bench\` on $(uname -m), $(nproc) cores, $(date -u +%Y-%m-%d)."
    echo "Every figure is a ratio measured side by side in one run."
    echo
} > "$tmp"
for b in "$here"/bench_*.sh; do
    [ -e "$b" ] || continue
    echo "running $(basename "$b")" >&2
    sh "$b" "$build" >> "$tmp"
    echo >> "$tmp"
done
# Copied, not moved: the report takes the umask, not mktemp's private mode.
cat "$tmp" > "$report"
rm -f "$tmp"
cat "$report"
