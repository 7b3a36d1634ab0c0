#!/bin/sh
# Peak memory of the tool: its resident size stays bounded by its static
# buffers whatever the input. Peak resident sizes come from GNU time (%M);
# cp of the same files and exiftool doing the same job are measured beside it.
# Argument: the Release build directory. Prints one Markdown section.
set -e
build=${1:-build}
tool=$(cd "$build" && pwd)/bin/emojitag
# A memory file system when there is one, so that disk write-back does not
# decide the figures.
base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/bench-memory.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
here=$(cd "$(dirname "$0")" && pwd)
. "$here/side_by_side.sh"
cd "$work"

text='<emoji><yomi>abc</yomi><hyoki>def</hyoki></emoji>'
# Noise compresses badly: a 1500x1500 picture gives multi-megabyte files.
head -c 6750000 /dev/urandom > n.raw
(printf 'P6 1500 1500 255\n'; cat n.raw) > n.ppm
cjpeg -quality 98 n.ppm > big.jpg
djpeg -gif big.jpg > big.gif
# The longest text a list line can carry: 32767 bytes of double-byte CP932.
wide=$(awk 'BEGIN { s = "<emoji><a>"; while (length(s) < 32700) s = s "\202\240"; print s "</a></emoji>" }')

max=0
row() {  # case, input bytes, peak KiB
    printf '| %s | %s | %s |\n' "$1" "$2" "$3"
    [ "$3" -gt "$max" ] && max=$3
    return 0
}
job() {  # case, input bytes, the tool's list line
    printf '%s\n' "$3" > list.csv
    row "$1" "$2" "$(peak_kib "$tool" list.csv)"
}

bytes() { wc -c < "$1" | tr -d ' '; }
bss=$(size -A "$tool" | awk '$1 == ".bss" { print $2 }')

echo "## Peak memory"
echo
echo "Peak resident size (GNU time \`%M\`, KiB) of one run of \`emojitag LIST\`. The limit is"
echo "8 MiB (8192 KiB) on any input; the tool's static buffers (.bss) take $((bss / 1024)) KiB."
echo
echo "| case | input bytes | peak KiB |"
echo "|---|---:|---:|"
job "large JPEG" "$(bytes big.jpg)" "big.jpg,$text"
job "large GIF" "$(bytes big.gif)" "big.gif,$text"
job "longest text into the large JPEG" "$(bytes big.jpg)" "big.jpg,$wide"
job "longest text into the large GIF" "$(bytes big.gif)" "big.gif,$wide"
awk 'BEGIN { for (i = 0; i < 100000; i++) printf "missing%d.jpg,<a/>\n", i }' > many.csv
row "100000 lines naming missing images" "$(bytes many.csv)" "$(peak_kib "$tool" many.csv)"
echo
if [ "$max" -lt 8192 ]; then
    echo "Highest peak: $max KiB, under the 8 MiB bound."
else
    echo "Highest peak: $max KiB, OVER the 8 MiB bound."
fi
echo
echo "For comparison, the same large JPEG:"
echo
echo "| command | peak KiB |"
echo "|---|---:|"
printf '| `cp` | %s |\n' "$(peak_kib cp big.jpg copy.jpg)"
printf '| `exiftool -Comment=TEXT -o NEW` | %s |\n' "$(peak_kib exiftool -q -Comment="$text" -o new.jpg big.jpg)"
printf '| `wrjpgcom -comment TEXT` | %s |\n' "$(peak_kib sh -c "wrjpgcom -comment '$text' big.jpg > w.jpg")"
echo
echo "Command: \`sh bench/bench_memory.sh build\` (part of \`make bench\`)."
