#!/bin/sh
# The Windows build under wine, run against the POSIX build on the same
# inputs: usage: wine_table.sh POSIX_TOOL WINDOWS_TOOL
#
# wine runs with the ja_JP.UTF-8 locale, so the programs see the Japanese
# ANSI code page (932) and take CP932 names in the lists byte for byte, while
# the files on disk carry the same names in UTF-8. Each row compares what the
# two builds produce: output bytes, template lists (after CR LF -> LF) and
# messages (with CR removed: standard error is a text stream on Windows, so
# its lines end in CR LF). Skipped as a whole only when wine cannot start.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
posix=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
windows=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")

WINEPREFIX=$(dirname "$(dirname "$windows")")/wine
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
LANG=ja_JP.UTF-8
LC_ALL=ja_JP.UTF-8
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES LANG LC_ALL

work=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT

skip_all() {
    echo "wine table skipped: wine cannot start ($1)"
    exit 0
}
command -v wine >/dev/null 2>&1 || skip_all "no wine launcher"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$work/wineboot.log" 2>&1 || skip_all "wineboot failed: $(tail -1 "$work/wineboot.log")"
fi
wineserver -p30 2>/dev/null # one server for all rows, gone 30 s after the last
wine cmd /c exit 0 >/dev/null 2>&1 || skip_all "wine cmd does not run"

passed=0
failed=0

# row NAME COMMAND...: a row passes when COMMAND succeeds.
row() {
    row_name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok      $row_name"
    else
        failed=$((failed + 1))
        echo "FAILED  $row_name"
    fi
}

run_posix() { (cd "$work/$1" && shift && "$posix" "$@"); }
run_windows() { (cd "$work/$1" && shift && wine "$windows" "$@"); }

# The pictures and their CP932 emoji texts. The Japanese names hold the
# CP932 bytes 0x95 0x5C and 0x83 0x5C, whose second byte is the backslash.
images="tiny.gif tiny.jpg star.gif 猫.gif 表.jpg ソ.gif"
text='"<emoji><yomi>ねこ</yomi><hyoki>猫</hyoki></emoji>"'

# make_tree DIR: the pictures and two lists of them and a missing name, with
# CP932 texts: for POSIX with the names in UTF-8 as on disk, for Windows all
# in CP932 with CR LF line ends, as a Windows editor saves it.
make_tree() {
    mkdir -p "$work/$1"
    for name in $images; do
        case $name in
        star.gif) cp "$root/examples/images/star.gif" "$work/$1/$name" ;;
        *.gif) cp "$root/tests/data/tiny.gif" "$work/$1/$name" ;;
        *) cp "$root/tests/data/tiny.jpg" "$work/$1/$name" ;;
        esac
    done
    for name in $images missing.gif; do
        printf '%s,' "$name"
        printf '%s\n' "$text" | iconv -f UTF-8 -t CP932
    done >"$work/$1/utf8.csv"
    for name in $images missing.gif; do
        printf '%s,%s\r\n' "$name" "$text" | iconv -f UTF-8 -t CP932
    done >"$work/$1/cp932.csv"
}

# same_files A B NAME...: each NAME has the same bytes in trees A and B.
same_files() {
    a=$1 b=$2
    shift 2
    for f in "$@"; do
        cmp -s "$work/$a/$f" "$work/$b/$f" || return 1
    done
}

no_crlf() { tr -d '\r' <"$1"; }

# Embedding run: the outputs beside the inputs, same bytes, same messages.
make_tree posix
make_tree windows
run_posix posix utf8.csv 2>"$work/posix.err"
run_windows windows cp932.csv 2>"$work/windows.err"
for name in $images; do
    out=$(echo "$name" | sed 's/\./-out./')
    row "embedding run: $out has the POSIX build's bytes" same_files posix windows "$out"
done
same_messages() { [ -s "$1" ] && no_crlf "$2" | cmp -s "$1" -; }
row "embedding run: same messages (CR removed)" same_messages "$work/posix.err" "$work/windows.err"
# Again over older, longer outputs: each is written over and cut to length.
for name in tiny-out.gif tiny-out.jpg; do
    head -c 100000 /dev/zero | tr '\0' x >"$work/windows/$name"
done
run_windows windows cp932.csv 2>/dev/null
row "embedding run over longer older outputs: the new bytes only" \
    same_files posix windows tiny-out.gif tiny-out.jpg

# "-o": the inputs take the outputs' bytes and no "-out" file stays; a
# read-only picture is replaced and stays read-only.
make_tree posix-o
make_tree windows-o
chmod a-w "$work/posix-o/tiny.gif" "$work/windows-o/tiny.gif"
run_posix posix-o -o utf8.csv 2>/dev/null
run_windows windows-o -o cp932.csv 2>/dev/null
# replaced_like_posix NAME: NAME in the "-o" tree holds the POSIX build's
# output of the embedding run (and for a read-only picture, its mode too).
replaced_like_posix() {
    cmp -s "$work/posix/$(echo "$1" | sed 's/\./-out./')" "$work/windows-o/$1" &&
        [ "$(stat -c %a "$work/posix-o/$1")" = "$(stat -c %a "$work/windows-o/$1")" ]
}
no_out_left() { ! ls "$work/windows-o" | grep -q -- -out; }
for name in $images; do
    label="-o: $name holds the POSIX build's output"
    [ "$name" = tiny.gif ] && label="$label (read-only: replaced, stays read-only)"
    row "$label" replaced_like_posix "$name"
done
row "-o: no -out file is left" no_out_left

# "-o" over more pictures than one batch holds, in two folders named in
# turns: "a/pN.gif" and, on Windows with a backslash, "表\ソN.gif", whose
# CP932 names hold the byte 0x5C in both parts. Each picture, with a text of
# its own, holds the POSIX build's bytes, and no temporary file is left.
for side in posix windows; do
    mkdir -p "$work/batch-$side/a" "$work/batch-$side/表"
    for i in $(seq 1 70); do
        cp "$root/tests/data/tiny.gif" "$work/batch-$side/a/p$i.gif"
        cp "$root/tests/data/tiny.gif" "$work/batch-$side/表/ソ$i.gif"
    done
done
for i in $(seq 1 70); do
    printf 'a/p%s.gif,<emoji><a>%s</a></emoji>\n表/ソ%s.gif,<emoji><b>%s</b></emoji>\n' $i $i $i $i \
        >>"$work/batch-posix/list.csv"
    printf 'a/p%s.gif,<emoji><a>%s</a></emoji>\r\n表\\ソ%s.gif,<emoji><b>%s</b></emoji>\r\n' $i $i $i $i |
        iconv -f UTF-8 -t CP932 >>"$work/batch-windows/list.csv"
done
run_posix batch-posix -o list.csv 2>/dev/null
run_windows batch-windows -o list.csv 2>/dev/null
batch_like_posix() {
    for i in $(seq 1 70); do
        same_files batch-posix batch-windows "a/p$i.gif" "表/ソ$i.gif" || return 1
    done
    ! cmp -s "$root/tests/data/tiny.gif" "$work/batch-windows/表/ソ70.gif" &&
        [ -z "$(find "$work/batch-windows" -name '.*' | head -1)" ]
}
row "-o in a batch over two folders: the POSIX build's pictures, no temporary file" batch_like_posix

# What a copy keeps, as on POSIX: a read-only picture gives a read-only
# NAME-out.EXT (its attributes, as the permission bits on POSIX); a read-only
# template list is replaced and stays read-only (ReplaceFileA keeps the old
# list's attributes and security); a directory named in the list makes no
# output and is not found.
for side in posix windows; do
    d="$work/keep-$side"
    mkdir -p "$d/dir.gif" "$d/t"
    : >"$d/t/a.gif"
    cp "$root/tests/data/tiny.gif" "$d/ro.gif"
    printf 'old\n' >"$d/t.csv"
    chmod a-w "$d/ro.gif" "$d/t.csv"
    printf 'ro.gif,<emoji><a>1</a></emoji>\r\ndir.gif,<emoji><a>1</a></emoji>\r\n' >"$d/list.csv"
done
run_posix keep-posix list.csv 2>"$work/keep-posix.err"
run_posix keep-posix -f t t.csv
run_windows keep-windows list.csv 2>"$work/keep-windows.err"
run_windows keep-windows -f t t.csv
same_mode() { [ "$(stat -c %a "$work/keep-posix/$1")" = "$(stat -c %a "$work/keep-windows/$1")" ]; }
replaced_read_only() {
    [ "$(no_crlf "$work/keep-windows/t.csv")" = "$(cat "$work/keep-posix/t.csv")" ] && same_mode t.csv
}
not_found_no_output() {
    same_messages "$work/keep-posix.err" "$work/keep-windows.err" &&
        grep -q 'dir.gif: not found' "$work/keep-posix.err" && [ ! -e "$work/keep-windows/dir-out.gif" ]
}
row "plain run: a read-only picture gives a read-only -out file" same_mode ro-out.gif
row "template list: a read-only list is replaced and stays read-only" replaced_read_only
row "a directory named in the list: not found, no output" not_found_no_output

# emojitag-extract: the texts of the replaced pictures come back as the same
# CP932 list, line for line (names as the ANSI interface gives them on
# Windows, converted from UTF-8 on POSIX by default; in the order of their
# characters on both), and the check of the list finds each picture's text.
extract_posix="$(dirname "$posix")/emojitag-extract"
extract_windows="$(dirname "$windows")/emojitag-extract.exe"
(cd "$work/posix-o" && "$extract_posix" -o ../posix-back.csv .)
(cd "$work/windows-o" && wine "$extract_windows" -o ../windows-back.csv .)
same_list_file() { [ -s "$1" ] && cmp -s "$1" "$2"; }
row "extract: the POSIX build's list" same_list_file "$work/posix-back.csv" "$work/windows-back.csv"
# Names whose CP932 bytes and UTF-8 bytes sort differently (あ 0x82A0 after
# Ａ 0x8260 in CP932, before it by code point), half-width katakana (one
# byte in CP932, three in UTF-8) and numbers of different lengths: the same
# order on both.
order_names="あ.gif Ａ.gif a.gif ｱ.gif e_239.gif e_2279.gif"
for side in posix windows; do
    mkdir -p "$work/order-$side"
    for name in $order_names; do cp "$work/posix-o/tiny.gif" "$work/order-$side/$name"; done
done
(cd "$work/order-posix" && "$extract_posix" -o ../order-posix.csv .)
(cd "$work/order-windows" && wine "$extract_windows" -o ../order-windows.csv .)
row "extract: names in the POSIX build's order (characters, numbers)" \
    same_list_file "$work/order-posix.csv" "$work/order-windows.csv"
(cd "$work/windows-o" && wine "$extract_windows" --check cp932.csv) >"$work/windows.check" 2>/dev/null
only_missing() { [ "$(no_crlf "$1")" = "7:missing.gif: not found" ]; }
row "extract: --check finds every picture's text" only_missing "$work/windows.check"

# emojitag-list: a CP932 template with Japanese names, as Excel saves it (CR
# LF, quotes doubled), makes the POSIX build's list, with the same message
# for a refused value (in CP932, the console's code page); the list tags the
# pictures as on POSIX and passes the check; the texts read back come back as
# the POSIX build's template, group for group.
list_posix="$(dirname "$posix")/emojitag-list"
list_windows="$(dirname "$windows")/emojitag-list.exe"
make_template() {
    make_tree "$1"
    for name in $images; do
        printf '%s,yomi1,ねこ\r\n,hyoki1,"猫,""かわいい"""\r\n,hinsi1\r\n,category1\r\n' "$name"
        printf ',type\r\n,tag1,a&b<c>\r\n,tagcont\r\n'
    done | iconv -f UTF-8 -t CP932 >"$work/$1/template.csv"
    printf 'bad.gif,yomi1,\205\100\r\n' >>"$work/$1/template.csv"
}
make_template list-posix
make_template list-windows
(cd "$work/list-posix" && "$list_posix" -o list.csv template.csv) 2>"$work/list-posix.err"
(cd "$work/list-windows" && wine "$list_windows" -o list.csv template.csv) 2>"$work/list-windows.err"
same_list() { [ -s "$work/list-posix/list.csv" ] && same_files list-posix list-windows list.csv; }
row "emojitag-list: the POSIX build's list of a CP932 template" same_list
same_cp932_messages() { [ -s "$1" ] && no_crlf "$2" | iconv -f CP932 -t UTF-8 | cmp -s "$1" -; }
row "emojitag-list: the same message for a refused value" \
    same_cp932_messages "$work/list-posix.err" "$work/list-windows.err"
run_posix list-posix -o list.csv 2>/dev/null
run_windows list-windows -o list.csv 2>/dev/null
row "emojitag-list: the list tags the pictures as on POSIX" same_files list-posix list-windows $images
(cd "$work/list-windows" && wine "$list_windows" --check list.csv) >"$work/list-windows.check" 2>&1
row "emojitag-list: --check finds nothing" test ! -s "$work/list-windows.check"
(cd "$work/list-posix" && "$extract_posix" . | "$list_posix" --template -o back.csv -)
(cd "$work/list-windows" && wine "$extract_windows" . | wine "$list_windows" --template -o back.csv -)
row "emojitag-list --template: the texts come back as the POSIX build's template" \
    same_list_file "$work/list-posix/back.csv" "$work/list-windows/back.csv"
# groups FILE: one line per seven-line group, sorted (the template walk
# takes the entries in the platform's order).
groups() { paste -d '|' - - - - - - - <"$1" | sort; }
same_groups() { [ -s "$1" ] && [ "$(groups "$1")" = "$(groups "$2")" ]; }
# Standard input is read as a list file is, byte for byte: a Ctrl-Z in a
# text and a CR before the line end do not end or change anything.
printf 'a.jpg,"<emoji><a>1\0322</a></emoji>"\r\nb.gif,"<emoji><b>x</b></emoji>"\r\n' >"$work/stdin.csv"
"$list_posix" --template --utf-8 - <"$work/stdin.csv" >"$work/stdin-posix.csv"
wine "$list_windows" --template --utf-8 - <"$work/stdin.csv" >"$work/stdin-windows.csv" 2>/dev/null
same_stdin() { [ -s "$1" ] && no_crlf "$2" | cmp -s "$1" -; }
row "emojitag-list --template -: standard input as the POSIX build reads it" \
    same_stdin "$work/stdin-posix.csv" "$work/stdin-windows.csv"

# emojitag-extract --html: the contact sheet of the same pictures, in a
# folder beside theirs, is the POSIX build's page byte for byte but for the
# separators of the paths it shows (the Windows run is given backslashes):
# the CP932 names shown and linked in UTF-8, the links relative.
for side in posix windows; do
    mkdir -p "$work/sheet-$side/pics" "$work/sheet-$side/out"
    for name in $images; do cp "$work/$side-o/$name" "$work/sheet-$side/pics/"; done
done
(cd "$work/sheet-posix" && "$extract_posix" --html out/sheet.html ./pics)
(cd "$work/sheet-windows" && wine "$extract_windows" --html 'out\sheet.html' '.\pics') 2>/dev/null
same_sheet() {
    [ -s "$1" ] && grep -q '<article class="card ok"' "$1" &&
        tr '\\' / <"$2" | cmp -s "$1" -
}
row "extract --html: the POSIX build's sheet but for separators" same_sheet \
    "$work/sheet-posix/out/sheet.html" "$work/sheet-windows/out/sheet.html"

# Template list: the same groups as the POSIX build (the order of entries is
# the platform's), CR LF line ends, "." and ".." skipped, subdirectories
# walked (a directory named like a picture too), a link back to an ancestor
# walked once, Japanese names written in CP932.
mkdir -p "$work/tree/t/sub/deeper" "$work/tree/t/dir.gif" "$work/tree/t/表"
for name in a.GIF sub/b.jpg c.JPEG d.png e x.gif.bak .gif dir.gif/f.jpeg sub/deeper/g.jpg 表/猫.gif; do
    : >"$work/tree/t/$name"
done
ln -s .. "$work/tree/t/sub/up"
run_posix tree -f t posix.csv
run_windows tree -f t windows.csv
no_crlf "$work/tree/windows.csv" | iconv -f CP932 -t UTF-8 >"$work/tree/windows-lf.csv"
all_crlf() { [ -s "$1" ] && [ "$(grep -c "$(printf '\r')\$" "$1")" = "$(wc -l <"$1")" ]; }
row "template list: every line ends in CR LF" all_crlf "$work/tree/windows.csv"
row "template list: the POSIX build's groups" same_groups "$work/tree/posix.csv" "$work/tree/windows-lf.csv"

# Names with no CP932 form (wine gives the UTF-8 names on disk to the
# program in UTF-16): the template names them as a name no list line can
# carry and leaves them out (a folder with all it holds), never as "?".
mkdir -p "$work/wide/t/𠮷"
for name in 田.jpg 𠮷田.jpg 𠮷/a.gif; do
    : >"$work/wide/t/$name"
done
run_windows wide -f t windows.csv 2>"$work/wide/windows.err"
wide_named() {
    [ "$(no_crlf "$work/wide/windows.csv" | iconv -f CP932 -t UTF-8 | grep -v '^,')" = "t/田.jpg,yomi1" ] &&
        [ "$(no_crlf "$work/wide/windows.err" | iconv -f CP932 -t UTF-8 | sort)" = "$(printf '%s\n' \
            'Error: t/??: name cannot be listed' 'Error: t/??田.jpg: name cannot be listed')" ]
}
row "template list: a name with no CP932 form is named and left out" wide_named
(cd "$work/wide" && wine "$extract_windows" t) 2>"$work/wide/extract.err" >/dev/null
wide_extract_named() {
    [ "$(no_crlf "$work/wide/extract.err" | iconv -f CP932 -t UTF-8 | grep '??' | sort)" = \
        "$(printf '%s\n' "emojitag-extract: t/??: name has characters not in the system's code page" \
            "emojitag-extract: t/??田.jpg: name has characters not in the system's code page")" ]
}
row "extract: a name with no CP932 form is named so, not tried" wide_extract_named

# Device names in a list are refused at once, even with a standard input
# that never ends: NUL.gif as a FIFO of that name is on POSIX (no picture),
# CON.gif as not found (it opens only for reading or writing); no output for
# either, and the picture after them is tagged as on POSIX.
for side in posix windows; do
    mkdir -p "$work/dev-$side"
    cp "$root/tests/data/tiny.gif" "$work/dev-$side/tiny.gif"
    printf 'NUL.gif,<emoji><a>1</a></emoji>\r\nCON.gif,<emoji><a>1</a></emoji>\r\n' >"$work/dev-$side/list.csv"
    printf 'tiny.gif,<emoji><a>1</a></emoji>\r\n' >>"$work/dev-$side/list.csv"
done
mkfifo "$work/dev-posix/NUL.gif" "$work/dev-posix/CON.gif" "$work/dev.stdin"
run_posix dev-posix list.csv 2>"$work/dev-posix.err"
# The FIFO is opened for writing too first, so that reading it would wait.
(cd "$work/dev-windows" && timeout 60 wine "$windows" list.csv 3<>"$work/dev.stdin" <"$work/dev.stdin") \
    2>"$work/dev-windows.err"
dev_status=$?
no_crlf "$work/dev-windows.err" >"$work/dev-windows-lf.err"
line_of() { sed -n "$1p" "$2"; }
nul_like_fifo() {
    [ "$dev_status" = 0 ] && grep -q '^Error: 1:NUL.gif: ' "$work/dev-posix.err" &&
        [ "$(line_of 1 "$work/dev-posix.err")" = "$(line_of 1 "$work/dev-windows-lf.err")" ] &&
        [ ! -e "$work/dev-windows/NUL-out.gif" ]
}
con_not_found() {
    [ "$dev_status" = 0 ] && [ "$(line_of 2 "$work/dev-windows-lf.err")" = "Error: 2:CON.gif: not found" ] &&
        [ ! -e "$work/dev-windows/CON-out.gif" ]
}
ended_at_once() { [ "$dev_status" = 0 ] && same_files dev-posix dev-windows tiny-out.gif; }
row "device names: the run ends at once, the picture after them as on POSIX" ended_at_once
row "device names: NUL.gif gets the message of a FIFO on POSIX, no output" nul_like_fifo
row "device names: CON.gif is not found, no output" con_not_found

# A new file is written under ".NAME.XXXXXX" beside its name, random small
# letters and digits that differ from run to run, and only the finished
# file is left: seen while emojitag-list waits for its standard input.
mkdir -p "$work/temp"
mkfifo "$work/temp/in.fifo"
# temp_name_of_run: the temporary name seen during one run, or nothing.
temp_name_of_run() {
    (cd "$work/temp" && wine "$list_windows" --template --utf-8 -o back.csv - <in.fifo) 2>/dev/null &
    exec 3>"$work/temp/in.fifo"
    seen=
    for _ in $(seq 1 150); do
        seen=$(ls -A "$work/temp" | grep '^\.back' | head -1)
        [ -n "$seen" ] && break
        sleep 0.2
    done
    printf 'a.jpg,"<emoji><a>1</a></emoji>"\r\n' >&3
    exec 3>&-
    wait
    echo "$seen"
}
first_temp=$(temp_name_of_run)
second_temp=$(temp_name_of_run)
temp_names_random() {
    for name in "$first_temp" "$second_temp"; do
        echo "$name" | grep -Eqx '\.back\.csv\.[a-z0-9]{6}' || return 1
    done
    [ "$first_temp" != "$second_temp" ] && [ -s "$work/temp/back.csv" ] &&
        [ "$(ls -A "$work/temp" | grep -c '^\.back')" = 0 ]
}
row "new files: written as .NAME.XXXXXX (random), only the finished file left" temp_names_random

# An existing NAME-out.EXT of another user is not written, even when its
# permissions let everyone write it, as on POSIX (only root can give a file
# away to set this up).
if [ "$(id -u)" = 0 ]; then
    for side in posix windows; do
        mkdir -p "$work/owner-$side"
        cp "$root/tests/data/tiny.gif" "$work/owner-$side/tiny.gif"
        printf 'old\n' >"$work/owner-$side/tiny-out.gif"
        chown nobody "$work/owner-$side/tiny-out.gif"
        chmod 666 "$work/owner-$side/tiny-out.gif"
        printf 'tiny.gif,<emoji><a>1</a></emoji>\r\n' >"$work/owner-$side/list.csv"
    done
    run_posix owner-posix list.csv 2>"$work/owner-posix.err"
    run_windows owner-windows list.csv 2>"$work/owner-windows.err"
    refused_like_posix() {
        same_messages "$work/owner-posix.err" "$work/owner-windows.err" &&
            grep -q 'file open error' "$work/owner-posix.err" &&
            [ "$(cat "$work/owner-windows/tiny-out.gif")" = old ]
    }
    row "another user's NAME-out.EXT is not written, as on POSIX" refused_like_posix
else
    echo "skipped another user's NAME-out.EXT: only root can give a file away"
fi

# Usage errors: the message and the exit status -1 (255 as wine reports it).
usage_row() {
    expected=$1
    shift
    (cd "$work" && "$posix" "$@") 2>"$work/posix.usage"
    posix_status=$?
    (cd "$work" && wine "$windows" "$@") 2>"$work/windows.usage"
    windows_status=$?
    [ "$posix_status" = 255 ] && [ "$windows_status" = 255 ] &&
        [ "$(cat "$work/posix.usage")" = "$expected" ] &&
        [ "$(no_crlf "$work/windows.usage")" = "$expected" ]
}
row "usage: no argument gives \"Error: no file\" and 255" usage_row "Error: no file"
row "usage: -f DIR gives \"Error: no file for -f\" and 255" usage_row "Error: no file for -f" -f t

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
