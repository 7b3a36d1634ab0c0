#!/bin/sh
# Template run ("-f") on a tree of 100,000 image files in 1,000 folders,
# side by side with `find DIR -type f` on the same tree (warm cache).
# Argument: the Release build directory. Prints one Markdown section.
set -e
build=${1:-build}
tool="$(cd "$build" && pwd)/bin/emojitag"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 10 top folders of 100 folders each (1,000 leaf folders), 100 files in each
# leaf: a quarter each .gif, .JPG, .jpeg and .png (the last are not listed).
names=""
i=0
while [ $i -lt 25 ]; do
    names="$names f$i.gif g$i.JPG h$i.jpeg k$i.png"
    i=$((i + 1))
done
a=0
while [ $a -lt 10 ]; do
    b=0
    while [ $b -lt 100 ]; do
        leaf="$work/tree/top$a/dir$b"
        mkdir -p "$leaf"
        (cd "$leaf" && touch $names)
        b=$((b + 1))
    done
    a=$((a + 1))
done
files=$(find "$work/tree" -type f | wc -l)

cd "$work"
hyperfine --style none --warmup 2 --runs 10 --export-json times.json \
    -n emojitag "'$tool' -f tree list.csv" \
    -n find "find tree -type f > found.txt" > /dev/null
groups=$(($(wc -l < list.csv) / 7))

# mean and standard deviation (ms) of a command from hyperfine's JSON
timing() {
    tr -d ' \n' < times.json | sed 's/"command"/\n&/g' | grep "\"command\":\"$1\"" |
        sed 's/.*"mean":\([0-9.e+-]*\),"stddev":\([0-9.e+-]*\),.*/\1 \2/' |
        awk '{ printf "%.1f %.1f", $1 * 1000, $2 * 1000 }'
}
set -- $(timing emojitag)
tool_ms=$1 tool_sd=$2
set -- $(timing find)
find_ms=$1 find_sd=$2
ratio=$(awk -v a="$tool_ms" -v b="$find_ms" 'BEGIN { printf "%.2f", a / b }')

echo "## Template run: directory walk"
echo
echo "Tree of $files files in 1,000 leaf folders (10 x 100), of which $groups are listed;"
echo "warm cache, hyperfine, 2 warm-up runs and 10 timed runs each."
echo
echo "| command | mean (ms) | std dev (ms) |"
echo "|---|---|---|"
echo "| \`emojitag -f tree list.csv\` | $tool_ms | $tool_sd |"
echo "| \`find tree -type f > found.txt\` | $find_ms | $find_sd |"
echo
echo "Ratio emojitag / find: **$ratio** (target: at most 1.5)."
