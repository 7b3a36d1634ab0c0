#!/bin/sh
# Whole-run benchmark of GIF embedding: one emoji list naming a few thousand
# small GIFs made by independent tools, against copying the same files with
# cp in the same run. Prints one Markdown section. Argument: the build dir.
set -e
build=$(cd "${1:-build}" && pwd)
tool="$build/bin/emojitag"
here=$(cd "$(dirname "$0")" && pwd)
count=${GIF_BENCH_FILES:-3000}
rounds=${GIF_BENCH_ROUNDS:-15}

# On tmpfs when there is one, so that the figures show the programs' own
# cost rather than the latency of the disk under them.
if [ -z "$TMPDIR" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then TMPDIR=/dev/shm; fi
work=$(mktemp -d "${TMPDIR:-/tmp}/gif-bench-XXXXXX")
fstype=$(stat -f -c %T "$work")
trap 'rm -rf "$work"' EXIT
mkdir "$work/src" "$work/copy" "$work/made"
sh "$here/../tests/data/gif/make_real_gifs.sh" "$work/made"

# Replicate the made files under distinct names, and name each in the list.
text='<emoji><yomi>abc</yomi><hyoki>def</hyoki><hinsi>noun</hinsi></emoji>'
perl -e '
    my ($dir, $count, $text, @kinds) = @ARGV;
    my @data = map { local $/; open my $f, "<:raw", $_ or die; <$f> } @kinds;
    open my $list, ">", "$dir/list.csv" or die;
    for my $i (0 .. $count - 1) {
        open my $g, ">:raw", "$dir/src/g$i.gif" or die;
        print $g $data[$i % @data];
        close $g;
        print $list "src/g$i.gif,$text\n";
    }' "$work" "$count" "$text" "$work"/made/*.gif
bytes=$(cat "$work"/src/g*.gif | wc -c)

. "$here/side_by_side.sh"
embed() { (cd "$work" && "$tool" list.csv); }
copy() { cp -f "$work"/src/g*.gif "$work/copy/"; }

# Warm the page cache and check that every file was embedded without message.
embed 2> "$work/err"
copy
if [ -s "$work/err" ]; then
    echo "emojitag reported errors:" >&2
    cat "$work/err" >&2
    exit 1
fi

# The two commands in alternation; medians in milliseconds.
alternate "$rounds" "$work/times" embed copy
tEmbed=$(median_ms 1 "$work/times")
tCopy=$(median_ms 2 "$work/times")
ratio=$(ratio "$tEmbed" "$tCopy")
verdict=$(verdict "$ratio" 1.5)

echo "## GIF embedding: whole run against cp"
echo
echo "$count GIFs ($bytes bytes in all, $(ls "$work/made" | wc -l) kinds made by djpeg, gifsicle,"
echo "gifbuild and exiftool), one emoji list naming each. Per round, in alternation:"
echo "\`emojitag list.csv\` (writes every *-out.gif) and \`cp -f src/*.gif copy/\`;"
echo "median of $rounds rounds after one warm-up run of each; files on $fstype."
echo
echo "| command | median (ms) |"
echo "|---|---|"
echo "| emojitag list.csv | $tEmbed |"
echo "| cp -f src/*.gif copy/ | $tCopy |"
echo "| ratio emojitag / cp | $ratio (target at most 1.5: $verdict) |"
