#!/bin/sh
# JPEG embedding beside a plain cp of the same files, in one run: a few large
# JPEGs (tens of MB) and a few thousand small ones. Prints one Markdown
# section. Argument: the Release build directory.
set -e
build=${1:-build}
tool=$(cd "$build" && pwd)/bin/emojitag
runs=15
# A memory file system when there is one, so that disk write-back does not
# decide the figures.
base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/bench-jpg.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

# Nanoseconds one run of "$@" takes.
elapsed() {
    s=$(date +%s%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s%N)
    echo $((e - s))
}

# Times the command in $1 and the one in $2 (run through sh) in turns,
# `runs` times each after one warm-up run each, so that load on the machine
# falls on both alike; sets t1 and t2 to the medians in seconds.
pair() {
    sh -c "$1" >/dev/null 2>&1
    sh -c "$2" >/dev/null 2>&1
    : > a.times
    : > b.times
    i=0
    while [ $i -lt $runs ]; do
        elapsed sh -c "$1" >> a.times
        elapsed sh -c "$2" >> b.times
        i=$((i + 1))
    done
    t1=$(sort -n a.times | awk '{ t[NR] = $1 } END { printf "%.4f", t[int((NR + 1) / 2)] / 1e9 }')
    t2=$(sort -n b.times | awk '{ t[NR] = $1 } END { printf "%.4f", t[int((NR + 1) / 2)] / 1e9 }')
}

# Large: noise-like pictures at high quality give tens of MB of scan data.
mkdir large small copy-large copy-small
{ printf 'P6\n6000 4000\n255\n'; head -c 72000000 /dev/urandom; } > big.ppm
cjpeg -quality 95 -restart 8 big.ppm > large/a.jpg
cjpeg -quality 90 -progressive big.ppm > large/b.jpg
rm big.ppm
cp large/a.jpg large/c.jpg
text='<emoji><t>bench</t></emoji>'
for f in a b c; do echo "large/$f.jpg,$text"; done > large.csv
large_bytes=$(cat large/a.jpg large/b.jpg large/c.jpg | wc -c)

# Small: 3000 files of a few KB.
{ printf 'P6\n96 72\n255\n'; head -c 20736 /dev/urandom; } > small.ppm
cjpeg -quality 75 small.ppm > s0.jpg
wrjpgcom -comment "<emoji>old</emoji>" s0.jpg > s1.jpg
cjpeg -quality 60 -progressive small.ppm > s2.jpg
n=0
while [ $n -lt 3000 ]; do
    cp "s$((n % 3)).jpg" "small/f$n.jpg"
    echo "small/f$n.jpg,$text"
    n=$((n + 1))
done > small.csv
small_bytes=$(cat small/*.jpg | wc -c)

pair "'$tool' large.csv" "cp large/a.jpg large/b.jpg large/c.jpg copy-large/"
tool_large=$t1 cp_large=$t2
# A first run: no earlier outputs to write over (both remove them first).
pair "rm -f large/*-out.jpg; '$tool' large.csv" \
    "rm -f copy-large/*; cp large/a.jpg large/b.jpg large/c.jpg copy-large/"
tool_first=$t1 cp_first=$t2
pair "'$tool' small.csv" "cp small/*.jpg copy-small/"
tool_small=$t1 cp_small=$t2

# The timed outputs must be right: same pixels, text in place.
djpeg large/b.jpg > in.ppm
djpeg large/b-out.jpg > out.ppm
cmp -s in.ppm out.ppm || { echo "bench_jpg: large/b-out.jpg decodes differently" >&2; exit 1; }
rdjpgcom small/f1-out.jpg | grep -qx "$text" || { echo "bench_jpg: text missing" >&2; exit 1; }

mb() { awk -v b="$1" -v t="$2" 'BEGIN { printf "%.0f", b / t / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "## JPEG embedding"
echo
echo "\`bench/bench_jpg.sh\`: emojitag on an emoji list against \`cp\` of the same files into"
echo "another directory, both overwriting their previous outputs (emojitag writes over them and"
echo "cuts them to length, cp empties them first), except on the first-run row, where both remove"
echo "them first; each through \`sh -c\`; the two run in turns, $runs times each after one warm-up"
echo "run each; medians; files in $base."
echo "Large: 3 files, $((large_bytes / 1000000)) MB in all (6000x4000 noise, cjpeg baseline with"
echo "restart markers and progressive). Small: 3000 files, $((small_bytes / 1000)) kB in all (96x72,"
echo "baseline, progressive, with an old emoji comment)."
echo
echo "| set | emojitag (s) | cp (s) | emojitag MB/s | cp MB/s | result | target |"
echo "|---|---|---|---|---|---|---|"
echo "| large | $tool_large | $cp_large | $(mb "$large_bytes" "$tool_large") | $(mb "$large_bytes" "$cp_large") | time $(ratio "$tool_large" "$cp_large") x cp | at most 1.1 |"
echo "| large, first run | $tool_first | $cp_first | $(mb "$large_bytes" "$tool_first") | $(mb "$large_bytes" "$cp_first") | time $(ratio "$tool_first" "$cp_first") x cp | at most 1.1 |"
echo "| small | $tool_small | $cp_small | $(mb "$small_bytes" "$tool_small") | $(mb "$small_bytes" "$cp_small") | time $(ratio "$tool_small" "$cp_small") x cp | at most 1.5 |"
