# side_by_side.sh - sourced by the bench scripts that time a command against
# its baseline: both run in alternation, so that both see the same machine
# state, and the medians and their ratio are reported.

now() { date +%s%N; }

# memory_work NAME: a fresh directory in $work for this benchmark, on tmpfs
# when there is one (so that the figures show the programs' own cost rather
# than the latency of the disk under them), removed at the end; $fstype is
# its file system.
memory_work() {
    if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then TMPDIR=/dev/shm; fi
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1-bench-XXXXXX")
    fstype=$(stat -f -c %T "$work")
    trap 'rm -rf "$work"' EXIT
}

# tagged_tiny_set COUNT TEXT [MORE]: in $work, src/ with COUNT copies of
# tests/data/tiny.gif and tiny.jpg in turns, each tagged by $tool -o from
# list.csv with TEXT; with MORE, every tenth picture gets MORE instead and
# every hundredth no text at all.
tagged_tiny_set() {
    mkdir "$work/src"
    perl -e '
        my ($dir, $count, $text, $more, $gif, $jpg) = @ARGV;
        my @data = map { local $/; open my $f, "<:raw", $_ or die; <$f> } ($gif, $jpg);
        my @sfx = ("gif", "jpg");
        open my $list, ">", "$dir/list.csv" or die;
        for my $i (0 .. $count - 1) {
            my $name = sprintf "src/i%05d.%s", $i, $sfx[$i % 2];
            open my $g, ">:raw", "$dir/$name" or die;
            print $g $data[$i % 2];
            close $g;
            next if $more ne "" && $i % 100 == 99;
            print $list "$name,\"", ($more ne "" && $i % 10 == 9 ? $more : $text), "\"\n";
        }' "$work" "$1" "$2" "${3:-}" "$here/../tests/data/tiny.gif" "$here/../tests/data/tiny.jpg"
    (cd "$work" && "$tool" -o list.csv)
}

# rotate ROUNDS TIMES_FILE CMD...: runs the shell functions in turns, each
# round in the same order; writes one line of nanoseconds a round, a column
# per command. A function named by ROTATE_PREPARE runs untimed before each
# round (to remove what the round before made).
rotate() {
    _rounds=$1 _file=$2
    shift 2
    : > "$_file"
    _r=0
    while [ $_r -lt "$_rounds" ]; do
        [ -z "${ROTATE_PREPARE:-}" ] || $ROTATE_PREPARE
        _line=""
        for _cmd in "$@"; do
            t0=$(now); $_cmd; t1=$(now)
            _line="$_line${_line:+ }$((t1 - t0))"
        done
        echo "$_line" >> "$_file"
        _r=$((_r + 1))
    done
}

# alternate ROUNDS TIMES_FILE CMD BASELINE: rotate with two commands.
alternate() { rotate "$@"; }

# median_ms COLUMN TIMES_FILE: the median of a column, in milliseconds.
median_ms() {
    cut -d' ' -f"$1" "$2" | sort -n |
        awk '{v[NR] = $1} END {m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f", m / 1e6}'
}

# ratio A B and verdict RATIO TARGET: A / B to two places; "met" or "NOT met".
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN {print (r <= t) ? "met" : "NOT met"}'; }

# peak_kib CMD...: the peak resident size in KiB (GNU time %M) of one run of
# CMD in the current directory, its output and status set aside.
peak_kib() {
    /usr/bin/time -f '%M' -o .peak "$@" > /dev/null 2>&1 || true
    tail -n 1 .peak  # after a line of its own for a status other than 0
    rm -f .peak
}

# picture_sets QUALITY COUNT SET...: in the current directory, one source
# picture of 96x72 noise as JPEG (cjpeg QUALITY) and GIF, and for each SET a
# folder SET/ of COUNT copies, half JPEG and half GIF, with its emoji list
# SET.csv naming each with the same text.
picture_sets() {
    _quality=$1 _count=$2
    shift 2
    _text='<emoji><yomi>abc</yomi><hyoki>def</hyoki></emoji>'
    { printf 'P6 96 72 255\n'; head -c 20736 /dev/urandom; } > s.ppm
    cjpeg -quality "$_quality" s.ppm > s.jpg
    djpeg -gif s.jpg > s.gif
    for _set in "$@"; do
        mkdir "$_set"
        _i=0
        while [ $_i -lt "$_count" ]; do
            _kind=jpg
            [ $((_i % 2)) -eq 1 ] && _kind=gif
            cp "s.$_kind" "$_set/s$_i.$_kind"
            printf '%s/s%d.%s,%s\n' "$_set" $_i "$_kind" "$_text" >> "$_set.csv"
            _i=$((_i + 1))
        done
    done
}

# flip_texts SET...: puts in each SET.csv the other of two texts of the same
# length, so that the next "-o" over SET rewrites every picture (one that
# already holds its line's text is left as it is) and the sizes stay.
flip_texts() {
    for _set in "$@"; do
        _from=abc _to=xyz
        grep -q '<yomi>xyz</yomi>' "$_set.csv" && _from=xyz _to=abc
        sed "s|<yomi>$_from</yomi>|<yomi>$_to</yomi>|" "$_set.csv" > "$_set.csv.new"
        mv "$_set.csv.new" "$_set.csv"
    done
}
