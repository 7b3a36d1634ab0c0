#!/bin/sh
# emojitag-extract --html (the contact sheet) over a directory of a few
# thousand small tagged images, against the plain listing of the same files
# in the same run. Prints one Markdown section. Argument: the Release build
# directory.
set -e
build=$(cd "${1:-build}" && pwd)
tool="$build/bin/emojitag"
extract="$build/bin/emojitag-extract"
here=$(cd "$(dirname "$0")" && pwd)
count=${SHEET_BENCH_FILES:-3000}
rounds=${SHEET_BENCH_ROUNDS:-15}

. "$here/side_by_side.sh"
memory_work sheet

# Half GIF, half JPEG, each tagged by emojitag from one list with a text of
# the template's seven fields.
text='<emoji><yomi1>abc</yomi1><hyoki1>def</hyoki1><hinsi1>noun</hinsi1><category1>face</category1><type>emoji</type><tag1>x&amp;y</tag1><tagcont>z</tagcont></emoji>'
tagged_tiny_set "$count" "$text"

sheet() { (cd "$work" && "$extract" --html sheet.html src); }
listing() { (cd "$work" && "$extract" src > /dev/null); }

# Warm the page cache and check that every picture has its card, without a
# message.
(cd "$work" && "$extract" --html sheet.html src 2> err)
listing
cards=$(grep -c '^<article class="card ok"' "$work/sheet.html" || true)
if [ -s "$work/err" ] || [ "$cards" -ne "$count" ]; then
    echo "emojitag-extract --html did not show every picture ($cards cards):" >&2
    head "$work/err" >&2
    exit 1
fi
bytes=$(wc -c < "$work/sheet.html")

# The two commands in alternation; medians in milliseconds.
alternate "$rounds" "$work/times" sheet listing
tSheet=$(median_ms 1 "$work/times")
tList=$(median_ms 2 "$work/times")
ratio=$(ratio "$tSheet" "$tList")
verdict=$(verdict "$ratio" 1.5)

echo "## The contact sheet: emojitag-extract --html against the listing"
echo
echo "$count images (half tests/data/tiny.gif, half tests/data/tiny.jpg), each tagged by"
echo "\`emojitag -o\` with the template's seven fields, in one directory. Per round, in"
echo "alternation: \`emojitag-extract --html sheet.html src\` (a card per picture, with its"
echo "size read from the file's head; $bytes bytes of page) and \`emojitag-extract src >"
echo "/dev/null\`; median of $rounds rounds after one warm-up run of each; files on $fstype."
echo "Command: \`sh bench/bench_sheet.sh build\`."
echo
echo "| command | median (ms) |"
echo "|---|---|"
echo "| emojitag-extract --html sheet.html src | $tSheet |"
echo "| emojitag-extract src | $tList |"
echo "| ratio sheet / listing | $ratio (target at most 1.5: $verdict) |"
