#!/bin/sh
# "-o" again over many small pictures that already carry the texts of their
# list (nothing to replace: each stays as it is) against a first "-o" over
# the same pictures without texts (each replaced), in turns in one run, on a
# disk file system; and whether the re-tag left every picture's file and
# modification time as they were. Prints one Markdown section. Argument: the
# Release build directory.
set -e
build=$(cd "${1:-build}" && pwd)
tool="$build/bin/emojitag"
here=$(cd "$(dirname "$0")" && pwd)
count=${RETAG_BENCH_FILES:-3000}
rounds=${RETAG_BENCH_ROUNDS:-5}
if [ ! -x "$tool" ]; then
    echo "Error: $tool not built" >&2
    exit 1
fi

# In the build tree: a disk, not tmpfs, where a sync costs what it costs.
work=$(mktemp -d "$build/retag-bench-XXXXXX")
fstype=$(stat -f -c %T "$work")
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

. "$here/side_by_side.sh"
# Pictures of 96x72 noise (about 9 kB each), half JPEG, half GIF:
# `again` is tagged once before the rounds, `first` is put back to the
# untagged pictures before each round (untimed, and synced, so that the
# first run's flush does not also write the copies).
picture_sets 95 "$count" first again
bytes=$(cat first/* | wc -c)
untag() {
    _i=0
    while [ $_i -lt "$count" ]; do
        _kind=jpg
        [ $((_i % 2)) -eq 1 ] && _kind=gif
        cp "s.$_kind" "first/s$_i.$_kind"
        _i=$((_i + 1))
    done
    sync
}

firstRun() { "$tool" -o first.csv; }
retag() { "$tool" -o again.csv; }

# Tag `again` once and warm up; every picture must go through without a
# message.
"$tool" -o again.csv 2> err
sync
firstRun 2>> err
retag 2>> err
if [ -s err ]; then
    echo "emojitag reported errors:" >&2
    head err >&2
    exit 1
fi
stat -c '%i %y %n' again/* > stamps.before

ROTATE_PREPARE=untag rotate "$rounds" times retag firstRun
tRetag=$(median_ms 1 times)
tFirst=$(median_ms 2 times)
rRetag=$(ratio "$tRetag" "$tFirst")
stat -c '%i %y %n' again/* > stamps.after
kept=$(comm -12 stamps.before stamps.after | wc -l)
tagged=$(grep -la '<emoji>' first/* | wc -l)

echo "## Re-tagging: -o over pictures that already carry their texts"
echo
echo "$count pictures of 96x72 noise ($bytes bytes in all before tagging, half JPEG, half"
echo "GIF): \`emojitag -o\` over pictures that already hold exactly the texts of their"
echo "list (each stays as it is) against a first \`emojitag -o\` over the same pictures"
echo "without texts (each replaced durably), in turns; the untagged pictures are copied"
echo "back and synced before each round, untimed. Median of $rounds rounds after one"
echo "warm-up run of each; files on $fstype. Command: \`sh bench/bench_retag.sh build-bench\`."
echo
echo "| command | median (ms) | ratio | target |"
echo "|---|---:|---:|---|"
echo "| emojitag -o, texts already in place | $tRetag | $rRetag x first | at most 0.6: $(verdict "$rRetag" 0.6) |"
echo "| emojitag -o, first tagging | $tFirst | | |"
echo
echo "Pictures re-tagged $((rounds + 1)) times with file (inode) and modification time unchanged:"
echo "$kept of $count. Pictures tagged by the first run's last round: $tagged of $count."
