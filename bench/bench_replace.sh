#!/bin/sh
# "-o" over many small pictures against the replace floor (replace_floor:
# every listed file replaced by a copy of itself through an exclusive
# temporary file beside it, its mode set and a rename, nothing parsed), the
# two in turns in one run over two like sets. On the disk file system of the
# build tree, not on tmpfs: creating and renaming a file there is the cost
# that "-o" must add to a copy, and where it shows. Prints one Markdown
# section. Argument: the Release build directory (with the bench).
set -e
build=$(cd "${1:-build}" && pwd)
tool="$build/bin/emojitag"
floor="$build/bench/replace_floor"
here=$(cd "$(dirname "$0")" && pwd)
count=${REPLACE_BENCH_FILES:-3000}
rounds=${REPLACE_BENCH_ROUNDS:-5}
if [ ! -x "$floor" ]; then
    echo "Error: $floor not built (configure with -DEMOJITAG_BENCH=ON)" >&2
    exit 1
fi

work=$(mktemp -d "$build/replace-bench-XXXXXX")
fstype=$(df -PT "$work" | awk 'NR == 2 { print $2 }')
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

. "$here/side_by_side.sh"
# 96x72 noise, half JPEG and half GIF, a few kB each: one set for the tool,
# one for the floor.
picture_sets 75 "$count" tool floor
bytes=$(cat tool/* | wc -c)

replace() { "$tool" -o tool.csv; }
floor() { "$floor" floor.csv; }

# Warm up; every picture must go through without a message. From then on
# the tool replaces its own comment, so both sets keep their sizes.
replace 2> err
floor
if [ -s err ]; then
    echo "emojitag reported errors:" >&2
    head err >&2
    exit 1
fi

# A new text before each round (untimed), so that every picture is replaced.
retext() { flip_texts tool; }
ROTATE_PREPARE=retext rotate "$rounds" times replace floor
tReplace=$(median_ms 1 times)
tFloor=$(median_ms 2 times)
rReplace=$(ratio "$tReplace" "$tFloor")

echo "## Small pictures replaced in place: -o against the replace floor"
echo
echo "$count pictures of 96x72 ($bytes bytes in all, half JPEG, half GIF), one emoji"
echo "list naming each. Per round, in turns: \`emojitag -o list.csv\` and \`replace_floor"
echo "list.csv\` over a second set (opens each file, creates a temporary file beside it"
echo "exclusively, copies in 64 KiB blocks, sets the mode on its descriptor, closes both"
echo "and renames it over the file); median of $rounds rounds after one warm-up run of each;"
echo "files on $fstype, in the build tree. Command: \`sh bench/bench_replace.sh build-bench\`."
echo
echo "| command | median (ms) | ratio | target |"
echo "|---|---:|---:|---|"
echo "| emojitag -o list.csv | $tReplace | $rReplace x replace_floor | at most 1.1: $(verdict "$rReplace" 1.1) |"
echo "| replace_floor list.csv | $tFloor | | |"
