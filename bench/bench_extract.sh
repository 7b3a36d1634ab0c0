#!/bin/sh
# emojitag-extract over a directory of a few thousand small tagged images,
# against `cat` of the same files to /dev/null in the same run. Prints one
# Markdown section. Argument: the Release build directory.
set -e
build=$(cd "${1:-build}" && pwd)
tool="$build/bin/emojitag"
extract="$build/bin/emojitag-extract"
here=$(cd "$(dirname "$0")" && pwd)
count=${EXTRACT_BENCH_FILES:-3000}
rounds=${EXTRACT_BENCH_ROUNDS:-15}

. "$here/side_by_side.sh"
memory_work extract

# Half GIF, half JPEG, each tagged by emojitag from one list.
text='<emoji><yomi1>abc</yomi1><hyoki1>def</hyoki1><hinsi1>noun</hinsi1></emoji>'
tagged_tiny_set "$count" "$text"
bytes=$(cat "$work"/src/* | wc -c)

extract() { (cd "$work" && "$extract" src > /dev/null); }
readall() { (cd "$work" && cat src/* > /dev/null); }

# Warm the page cache and check that every text comes back without a message.
(cd "$work" && "$extract" src > back.csv 2> err)
readall
if [ -s "$work/err" ] || [ "$(wc -l < "$work/back.csv")" -ne "$count" ]; then
    echo "emojitag-extract did not list every image:" >&2
    head "$work/err" >&2
    exit 1
fi

# The two commands in alternation; medians in milliseconds.
alternate "$rounds" "$work/times" extract readall
tExtract=$(median_ms 1 "$work/times")
tCat=$(median_ms 2 "$work/times")
ratio=$(ratio "$tExtract" "$tCat")
verdict=$(verdict "$ratio" 1.5)

echo "## Reading the texts back: emojitag-extract against cat"
echo
echo "$count images ($bytes bytes in all; half tests/data/tiny.gif, half tests/data/tiny.jpg),"
echo "each tagged by \`emojitag -o\`, in one directory. Per round, in alternation:"
echo "\`emojitag-extract src > /dev/null\` (walks, sorts, reads every file to its end,"
echo "writes every list line) and \`cat src/* > /dev/null\`; median of $rounds rounds after"
echo "one warm-up run of each; files on $fstype. Command: \`sh bench/bench_extract.sh build\`."
echo
echo "| command | median (ms) |"
echo "|---|---|"
echo "| emojitag-extract src | $tExtract |"
echo "| cat src/* | $tCat |"
echo "| ratio emojitag-extract / cat | $ratio (target at most 1.5: $verdict) |"
