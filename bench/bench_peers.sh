#!/bin/sh
# What a user would otherwise pick for the same job: one comment into every
# image of a set, each written to NAME-out.EXT, from one process where the
# peer can do it from a list (exiftool), beside the tool and plain cp -r of
# the same files. hyperfine runs them side by side; the ratio is to cp ("-o"
# beside cp is timed by bench_small.sh).
# Argument: the Release build directory. Prints one Markdown section.
set -e
build=${1:-build}
tool=$(cd "$build" && pwd)/bin/emojitag
# A memory file system when there is one, so that disk write-back does not
# decide the figures.
base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/bench-peers.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

count=100
text='<emoji><yomi>abc</yomi><hyoki>def</hyoki></emoji>'
# A 400x300 photo-like picture (smooth gradients and noise), about 60 KB.
awk 'BEGIN { srand(5); printf "P6 400 300 255\n";
  for (y = 0; y < 300; y++) for (x = 0; x < 400; x++)
    printf "%c%c%c", (x + int(rand() * 40)) % 256, (y + int(rand() * 40)) % 256, (x + y) % 256 }' > p.ppm
cjpeg -quality 90 p.ppm > one.jpg
djpeg -gif p.ppm 2>/dev/null > one.gif || djpeg -gif one.jpg > one.gif
for kind in jpg gif; do
    mkdir -p "$kind"
    : > "$kind.csv"
    i=0
    while [ $i -lt $count ]; do
        cp "one.$kind" "$kind/img$i.$kind"
        printf '%s/img%d.%s,%s\n' "$kind" $i "$kind" "$text" >> "$kind.csv"
        i=$((i + 1))
    done
done

# The commands read the text from $T and run the tool as ./emojitag, so the
# report shows them as a user would type them.
export T="$text"
ln -s "$tool" emojitag
clean='rm -rf copy; rm -f jpg/*-out.* gif/*-out.*'
run() {  # title, then hyperfine commands
    title=$1
    shift
    hyperfine --style none --warmup 1 --runs 10 --time-unit millisecond --prepare "$clean" \
        --export-markdown res.md "$@" > /dev/null 2>&1
    echo "### $title"
    echo
    echo "| command | time relative to the first row |"
    echo "|:---|---:|"
    # Rows of hyperfine's table: | `cmd` | mean ± sd | min | max | relative |
    awk -F'|' 'NR > 2 {
        split($3, m, "±"); mean = m[1] + 0; sd = m[2] + 0
        if (base == 0) base = mean
        printf "|%s| %.2f ± %.2f |\n", $2, mean / base, sd / base }' res.md
    echo
}

echo "## The tool against the usual peers"
echo
echo "$count copies of one image (JPEG $(wc -c < one.jpg | tr -d ' ') bytes, GIF"
echo "$(wc -c < one.gif | tr -d ' ') bytes); each command puts one comment into every file and"
echo 'writes NAME-out.EXT; `$T` is the emoji text `'"$text"'`. Each figure is the'
echo "ratio of mean times to cp of the same files, hyperfine running all side by side"
echo "(10 runs each after a warm-up), with the spread of the runs as ±."
echo
run "JPEG" \
    "cp -r jpg copy" \
    "./emojitag jpg.csv" \
    "exiftool -q \"-Comment=\$T\" -o %d%f-out.%e jpg" \
    "for f in jpg/*.jpg; do wrjpgcom -comment \"\$T\" \"\$f\" > \"\${f%.jpg}-out.jpg\"; done"
run "GIF" \
    "cp -r gif copy" \
    "./emojitag gif.csv" \
    "exiftool -q \"-Comment=\$T\" -o %d%f-out.%e gif" \
    "for f in gif/*.gif; do gifsicle --no-warnings -c \"\$T\" \"\$f\" > \"\${f%.gif}-out.gif\"; done"
echo "Peers: exiftool in one process over the whole folder; wrjpgcom and gifsicle,"
echo "which take one file each, in a shell loop."
echo
echo "Command: \`sh bench/bench_peers.sh build\` (part of \`make bench\`)."
