#!/bin/sh
# Many small pictures, the tool's everyday case: the plain run against the
# stdio copy floor (copy_floor: every listed file copied to NAME-out.EXT with
# fopen, fread, fwrite and fclose, nothing checked or parsed) and "-o"
# against cp -r of the same files, all four in turns in one run. Prints one
# Markdown section. Argument: the Release build directory (with the bench).
set -e
build=$(cd "${1:-build}" && pwd)
tool="$build/bin/emojitag"
floor="$build/bench/copy_floor"
here=$(cd "$(dirname "$0")" && pwd)
count=${SMALL_BENCH_FILES:-3000}
rounds=${SMALL_BENCH_ROUNDS:-15}
if [ ! -x "$floor" ]; then
    echo "Error: $floor not built (configure with -DEMOJITAG_BENCH=ON)" >&2
    exit 1
fi

# On tmpfs when there is one, so that the figures show the programs' own
# cost rather than the latency of the disk under them.
if [ -z "$TMPDIR" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then TMPDIR=/dev/shm; fi
work=$(mktemp -d "${TMPDIR:-/tmp}/small-bench-XXXXXX")
fstype=$(stat -f -c %T "$work")
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

. "$here/side_by_side.sh"
# 96x72 noise, half JPEG and half GIF, a few kB each: one set for the plain
# run (its outputs go beside the inputs), one for "-o" and cp.
picture_sets 75 "$count" plain rep
bytes=$(cat plain/* | wc -c)

plain() { "$tool" plain.csv; }
floor() { "$floor" plain.csv; }
replace() { "$tool" -o rep.csv; }
copy() { cp -r rep copy; }
# Before each round (untimed): the copy goes, and a new text for "-o", so
# that every picture is replaced.
clean() {
    rm -rf copy
    flip_texts rep
}

# Warm up; every picture must go through without a message.
plain 2> err
replace 2>> err
floor
copy
if [ -s err ]; then
    echo "emojitag reported errors:" >&2
    head err >&2
    exit 1
fi

ROTATE_PREPARE=clean rotate "$rounds" times plain floor replace copy
tPlain=$(median_ms 1 times)
tFloor=$(median_ms 2 times)
tReplace=$(median_ms 3 times)
tCopy=$(median_ms 4 times)
rPlain=$(ratio "$tPlain" "$tFloor")
rReplace=$(ratio "$tReplace" "$tCopy")

echo "## Small pictures: the plain run against the stdio floor, -o against cp"
echo
echo "$count pictures of 96x72 ($bytes bytes in all, half JPEG, half GIF), one emoji"
echo "list naming each. Per round, in turns: \`emojitag list.csv\` (rewrites every"
echo "NAME-out.EXT), \`copy_floor list.csv\` (copies every listed file to NAME-out.EXT"
echo "with fopen, fread, fwrite and fclose), \`emojitag -o list.csv\` over a second set and"
echo "\`cp -r\` of that set; median of $rounds rounds after one warm-up run of each; files"
echo "on $fstype. Command: \`sh bench/bench_small.sh build-bench\`."
echo
echo "| command | median (ms) | ratio | target |"
echo "|---|---:|---:|---|"
echo "| emojitag list.csv | $tPlain | $rPlain x copy_floor | at most 1.1: $(verdict "$rPlain" 1.1) |"
echo "| copy_floor list.csv | $tFloor | | |"
echo "| emojitag -o list.csv | $tReplace | $rReplace x cp | at most 1.2: $(verdict "$rReplace" 1.2) |"
echo "| cp -r set copy | $tCopy | | |"
