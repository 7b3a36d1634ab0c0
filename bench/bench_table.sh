#!/bin/sh
# emojitag-extract --table over a directory of a few thousand small tagged
# images, against the plain listing of the same images in the same run.
# Prints one Markdown section. Argument: the Release build directory.
set -e
build=$(cd "${1:-build}" && pwd)
tool="$build/bin/emojitag"
extract="$build/bin/emojitag-extract"
here=$(cd "$(dirname "$0")" && pwd)
count=${TABLE_BENCH_FILES:-3000}
rounds=${TABLE_BENCH_ROUNDS:-15}

. "$here/side_by_side.sh"
memory_work table

# Half GIF, half JPEG, each tagged by emojitag from one list; every tenth
# picture has a further field, every hundredth none at all.
text='<emoji><yomi1>abc</yomi1><hyoki1>def</hyoki1><hinsi1>noun</hinsi1><tag1>a, b</tag1></emoji>'
more='<emoji><yomi1>abc</yomi1><tag1>x</tag1><yomi2>ghi</yomi2></emoji>'
tagged_tiny_set "$count" "$text" "$more"
bytes=$(cat "$work"/src/* | wc -c)

table() { (cd "$work" && "$extract" --table src > /dev/null); }
listing() { (cd "$work" && "$extract" src > /dev/null 2>&1 || true); }

# Warm the page cache and check that every picture has its row, without a
# message.
(cd "$work" && "$extract" --table src > back.csv 2> err)
listing
if [ -s "$work/err" ] || [ "$(wc -l < "$work/back.csv")" -ne $((count + 1)) ]; then
    echo "emojitag-extract --table did not give every picture its row:" >&2
    head "$work/err" >&2
    exit 1
fi

mTable=$(cd "$work" && peak_kib "$extract" --table src)
mListing=$(cd "$work" && peak_kib "$extract" src)

# The two commands in alternation; medians in milliseconds.
alternate "$rounds" "$work/times" table listing
tTable=$(median_ms 1 "$work/times")
tListing=$(median_ms 2 "$work/times")
ratio=$(ratio "$tTable" "$tListing")
verdict=$(verdict "$ratio" 1.5)

echo "## The set as a table: emojitag-extract --table against the plain listing"
echo
echo "$count images ($bytes bytes in all; half tests/data/tiny.gif, half tests/data/tiny.jpg),"
echo "tagged by \`emojitag -o\` (one in ten with a further field, one in a hundred without"
echo "text), in one directory. Per round, in alternation: \`emojitag-extract --table src > /dev/null\`"
echo "(walks, reads every file, keeps the rows, writes the header and every row) and"
echo "\`emojitag-extract src > /dev/null\`; median of $rounds rounds after one warm-up run of each;"
echo "peak resident size of one run each (GNU time \`%M\`); files on $fstype."
echo "Command: \`sh bench/bench_table.sh build\`."
echo
echo "| command | median (ms) | peak memory (KiB) |"
echo "|---|---|---|"
echo "| emojitag-extract --table src | $tTable | $mTable |"
echo "| emojitag-extract src | $tListing | $mListing |"
echo "| ratio --table / listing | $ratio (target at most 1.5: $verdict) | |"
