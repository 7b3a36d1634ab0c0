#!/bin/sh
# emojitag-list over a table of 100,000 rows, one per picture, against
# emojitag-list over the seven-row template of the same texts, in the same
# run. Prints one Markdown section. Argument: the Release build directory.
set -e
build=$(cd "${1:-build}" && pwd)
list="$build/bin/emojitag-list"
here=$(cd "$(dirname "$0")" && pwd)
count=${IMPORT_BENCH_ROWS:-100000}
rounds=${IMPORT_BENCH_ROUNDS:-7}

if [ -z "$TMPDIR" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then TMPDIR=/dev/shm; fi
work=$(mktemp -d "${TMPDIR:-/tmp}/import-bench-XXXXXX")
fstype=$(stat -f -c %T "$work")
trap 'rm -rf "$work"' EXIT

# The same pictures and texts both ways, in UTF-8 with a byte-order mark as
# spreadsheets save them; every fourth picture has no value.
perl -CS -e '
    my ($dir, $count) = @ARGV;
    my @fields = qw(yomi1 hyoki1 hinsi1 category1 type tag1 tagcont);
    open my $t, ">:raw:encoding(UTF-8)", "$dir/set.csv" or die;
    open my $g, ">:raw:encoding(UTF-8)", "$dir/template.csv" or die;
    print $t "\x{feff}file,", join(",", @fields), "\r\n";
    print $g "\x{feff}";
    for my $i (0 .. $count - 1) {
        my $name = sprintf "\x{732b}/i%06d.%s", $i, $i % 2 ? "gif" : "jpg";
        my @v = $i % 4 == 3 ? ("") x 7
              : ("\x{306d}\x{3053}$i", "\x{732b}", "", "\x{52d5}\x{7269}", "",
                 "\"\x{304b}\x{308f}\x{3044}\x{3044}, \x{5c0f}\x{3055}\x{3044}\"", "");
        print $t "$name,", join(",", @v), "\r\n";
        for my $f (0 .. 6) {
            print $g $f == 0 ? $name : "", ",$fields[$f]", ($v[$f] eq "" ? "" : ",$v[$f]"), "\r\n";
        }
    }' "$work" "$count"

. "$here/side_by_side.sh"
table() { "$list" -o "$work/from-table.csv" "$work/set.csv" 2> /dev/null; }
template() { "$list" -o "$work/from-template.csv" "$work/template.csv" 2> /dev/null; }

# Warm-up, and both give the same list.
table
template
if ! cmp -s "$work/from-table.csv" "$work/from-template.csv"; then
    echo "the table and the template give different lists" >&2
    exit 1
fi
lines=$(wc -l < "$work/from-table.csv")

alternate "$rounds" "$work/times" table template
tTable=$(median_ms 1 "$work/times")
tTemplate=$(median_ms 2 "$work/times")
ratio=$(ratio "$tTable" "$tTemplate")
verdict=$(verdict "$ratio" 2)
mTable=$(cd "$work" && peak_kib "$list" -o peak.csv set.csv)
mTemplate=$(cd "$work" && peak_kib "$list" -o peak.csv template.csv)

echo "## Importing a table: emojitag-list, one row per picture against seven"
echo
echo "$count pictures (Japanese folder name, four fields filled in three of four"
echo "pictures, one value with a comma), UTF-8 with a byte-order mark, CR LF: as a table"
echo "($(wc -c < "$work/set.csv") bytes) and as the seven-row template of the same texts"
echo "($(wc -c < "$work/template.csv") bytes); both give the same $lines lines. Per round, in"
echo "alternation: \`emojitag-list -o LIST.csv set.csv\` (reads the table twice: the rows of"
echo "each name first) and \`emojitag-list -o LIST.csv template.csv\`; median of $rounds rounds"
echo "after one warm-up run of each; files on $fstype. Peak resident size from GNU time (\`%M\`)."
echo "Command: \`sh bench/bench_import.sh build\`."
echo
echo "| command | median (ms) | peak (KiB) |"
echo "|---|---|---|"
echo "| emojitag-list set.csv (table) | $tTable | $mTable |"
echo "| emojitag-list template.csv | $tTemplate | $mTemplate |"
echo "| ratio table / template | $ratio (target at most 2: $verdict) | |"
