#!/bin/sh
# "-o" over many small pictures on a disk file system: the durable
# replacement (write-back started per picture, one flush for a batch, the
# renames, each folder synced once) against the same program with no sync at
# all and with one fsync per picture, in turns in one run. Prints one
# Markdown section. Argument: the Release build directory (with the bench).
set -e
build=$(cd "${1:-build}" && pwd)
tool="$build/bin/emojitag"
nosync="$build/bench/emojitag-nosync"
fsync="$build/bench/emojitag-fsync"
here=$(cd "$(dirname "$0")" && pwd)
count=${DURABLE_BENCH_FILES:-3000}
rounds=${DURABLE_BENCH_ROUNDS:-11}
for p in "$nosync" "$fsync"; do
    if [ ! -x "$p" ]; then
        echo "Error: $p not built (configure with -DEMOJITAG_BENCH=ON)" >&2
        exit 1
    fi
done

# In the build tree: a disk, not tmpfs, where a sync costs what it costs.
work=$(mktemp -d "$build/durable-bench-XXXXXX")
fstype=$(stat -f -c %T "$work")
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

. "$here/side_by_side.sh"
# 20 kB pictures (noise, so that they stay that big), half JPEG, half GIF;
# one set per program, each replaced in place every round.
picture_sets 95 "$count" durable nosync fsync
bytes=$(cat durable/* | wc -c)
sync

durable() { "$tool" -o durable.csv; }
none() { "$nosync" -o nosync.csv; }
each() { "$fsync" -o fsync.csv; }

# Warm up; every picture must go through without a message.
durable 2> err
none 2>> err
each 2>> err
if [ -s err ]; then
    echo "emojitag reported errors:" >&2
    head err >&2
    exit 1
fi

# New texts before each round (untimed), so that every picture is replaced.
retext() { flip_texts durable nosync fsync; }
ROTATE_PREPARE=retext rotate "$rounds" times durable none each
tDurable=$(median_ms 1 times)
tNone=$(median_ms 2 times)
tEach=$(median_ms 3 times)
rNone=$(ratio "$tDurable" "$tNone")
rEach=$(ratio "$tEach" "$tDurable")

echo "## Durable -o: batched syncs against none and against one fsync per picture"
echo
echo "$count pictures of about 20 kB ($bytes bytes in all, half JPEG, half GIF), each set"
echo "replaced in place by \`emojitag -o\` in every round, in turns: the tool as built"
echo "(write-back started per picture, one flush for each batch of 128, the renames, each"
echo "folder synced once), the same code with no sync at all (\`emojitag-nosync\`) and"
echo "with one fsync per picture before its rename (\`emojitag-fsync\`); median of $rounds"
echo "rounds after one warm-up run of each; files on $fstype. Command:"
echo "\`sh bench/bench_durable.sh build-bench\`."
echo
echo "| command | median (ms) | ratio | target |"
echo "|---|---:|---:|---|"
echo "| emojitag -o (durable) | $tDurable | $rNone x no sync | at most 1.2: $(verdict "$rNone" 1.2) |"
echo "| emojitag-nosync -o | $tNone | | |"
echo "| emojitag-fsync -o | $tEach | durable is $rEach x faster | at least 1.5: $(awk -v r="$rEach" 'BEGIN {print (r >= 1.5) ? "met" : "NOT met"}') |"
