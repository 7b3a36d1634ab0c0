"""The set table through LibreOffice Calc and back: a tagged tree exported
with emojitag-extract --table, sorted, filtered, given a note column and
typed into in Calc, saved as CSV UTF-8 and as Windows-932 quoted only where
needed, imported with emojitag-list, tagged with emojitag -o and read back:
every typed value comes back, the row Calc gave a line end is refused with
its picture named, and every other text is as it was. With a Windows build,
the same with its programs under wine.

usage: calc_round_trip_test.py EMOJITAG EMOJITAG_LIST EMOJITAG_EXTRACT TEST_DATA_DIR
           [WINDOWS_BIN_DIR]
Exit status 77 (skipped) without LibreOffice or its Python bridge.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

# The tree and its texts (None: no text). Japanese folder names; NEC and IBM
# characters (①, ⅰ, 髙); a further field (yomi2); quotes, a comma and an &.
TREE = {
    "pics/猫たち/猫.gif":
        '<emoji><yomi1>ねこ</yomi1><hyoki1>"大",小</hyoki1><tag1>A&amp;B</tag1></emoji>',
    "pics/猫たち/無題.gif": None,
    "pics/犬と狐/犬.jpg":
        "<emoji><yomi1>いぬ</yomi1><hyoki1>①髙ⅰ</hyoki1><yomi2>わん</yomi2></emoji>",
    "pics/犬と狐/狐.jpg": "<emoji><yomi1>きつね</yomi1><hinsi1>名詞</hinsi1></emoji>",
}
EDITS = {
    "sort": "yomi1",
    "filter_out": "無題",
    "note": "#確認",
    "cells": [
        ["pics/猫たち/猫.gif", "tag1", 'ね,こ"2"'],   # quote and comma typed
        ["pics/犬と狐/狐.jpg", "tagcont", "㈱新"],     # an empty cell filled
        ["pics/犬と狐/犬.jpg", "yomi1", "い\nぬ"],     # a line end: refused
    ],
}
# What each picture holds at the end.
EXPECTED = {
    "pics/猫たち/猫.gif":
        '<emoji><yomi1>ねこ</yomi1><hyoki1>"大",小</hyoki1><tag1>ね,こ"2"</tag1></emoji>',
    "pics/猫たち/無題.gif": None,
    "pics/犬と狐/犬.jpg": TREE["pics/犬と狐/犬.jpg"],
    "pics/犬と狐/狐.jpg":
        "<emoji><yomi1>きつね</yomi1><hinsi1>名詞</hinsi1><tagcont>㈱新</tagcont></emoji>",
}


def uno_python():
    for python in (sys.executable, "/usr/bin/python3"):
        if shutil.which(python) and subprocess.run(
                [python, "-c", "import uno"], capture_output=True).returncode == 0:
            return python
    return None


def run(args, cwd, ok=(0,)):
    r = subprocess.run(args, cwd=cwd, capture_output=True)
    if r.returncode not in ok:
        sys.exit("%s: status %d\n%s" % (" ".join(args), r.returncode, r.stderr.decode("cp932", "replace")))
    return r


def make_tree(root, data_dir, emojitag):
    lines = []
    for path, text in TREE.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        shutil.copy(os.path.join(data_dir, "tiny" + os.path.splitext(path)[1]), full)
        if text is not None:
            lines.append(path + "," + text + "\n")  # unquoted: the text to the line's end
    with open(os.path.join(root, "first.csv"), "wb") as f:
        f.write("".join(lines).encode("cp932"))
    run([emojitag, "-o", "first.csv"], root)


def texts_of(listing):
    """{path: text} of an emoji list as emojitag-extract writes it."""
    texts = {}
    for line in listing.decode("cp932").splitlines():
        path, text = line.split(",", 1)
        if len(text) >= 2 and text[0] == '"' and text[-1] == '"' and '"' not in text[1:-1]:
            text = text[1:-1]
        texts[path] = text
    return texts


def check(failures, why, got, want):
    if got != want:
        failures.append("%s:\n  got  %r\n  want %r" % (why, got, want))


def round_trip(failures, label, programs, table, work):
    """Imports the edited `table` into a fresh copy of the tagged tree,
    tags and reads back with `programs` (a function from a tool's name to
    its command)."""
    tree = os.path.join(work, "tree-" + label)
    shutil.copytree(os.path.join(work, "tagged"), tree)
    shutil.copy(table, os.path.join(tree, "set.csv"))
    r = run(programs("emojitag-list") + ["-o", "list.csv", "set.csv"], tree, ok=(1,))
    err = r.stderr.decode("cp932" if label.startswith("windows") else "utf-8", "replace")
    refused = [l for l in err.splitlines() if "no line for this picture" in l]
    check(failures, label + ": the row with a line end is refused, its picture named",
          len(refused) == 1 and "犬.jpg" in refused[0], True)
    check(failures, label + ": no '?' warning", "CSV UTF-8" in err, False)
    run(programs("emojitag") + ["-o", "list.csv"], tree)
    back = texts_of(run(programs("emojitag-extract") + ["pics"], tree, ok=(0, 1)).stdout)
    want = {p: t for p, t in EXPECTED.items() if t is not None}
    check(failures, label + ": the texts read back", back, want)


def main():
    emojitag, list_tool, extract, data_dir = map(os.path.abspath, sys.argv[1:5])
    windows = os.path.abspath(sys.argv[5]) if len(sys.argv) > 5 else None
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    python = uno_python()
    if soffice is None or python is None:
        print("skipped: LibreOffice Calc and its Python bridge (python3-uno) are needed")
        return 77
    work = tempfile.mkdtemp()
    try:
        tagged = os.path.join(work, "tagged")
        os.makedirs(tagged)
        make_tree(tagged, data_dir, emojitag)
        run([extract, "--table", "-o", "set.csv", "pics"], tagged, ok=(0, 1))
        with open(os.path.join(work, "edits.json"), "w", encoding="utf-8") as f:
            json.dump(EDITS, f)
        utf8, ms932 = os.path.join(work, "utf8.csv"), os.path.join(work, "932.csv")
        run([python, os.path.join(HERE, "calc_edit.py"), soffice,
             os.path.join(tagged, "set.csv"), utf8, ms932, os.path.join(work, "edits.json")], work)

        failures = []
        posix = {"emojitag": emojitag, "emojitag-list": list_tool, "emojitag-extract": extract}
        for label, table in (("CSV UTF-8", utf8), ("Windows-932", ms932)):
            round_trip(failures, label, lambda t: [posix[t]], table, work)
        if windows and shutil.which("wine"):
            # As the Windows table runs wine: its own prefix beside the
            # build, the Japanese code page (932).
            os.environ.update({
                "WINEPREFIX": os.path.join(os.path.dirname(windows), "wine"),
                "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=",
                "LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8"})
            round_trip(failures, "windows, Windows-932",
                       lambda t: ["wine", os.path.join(windows, t + ".exe")], ms932, work)
        for f in failures:
            print("FAILED " + f)
        print("%d failed" % len(failures))
        return 1 if failures else 0
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    sys.exit(main())
