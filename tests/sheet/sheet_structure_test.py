"""The contact sheet read back with html.parser: one card per picture in the
walk's order, each linking its file by a URL that resolves to it from the
sheet's folder, every name and text shown as written and escaped, the
summary and problem list right, and the command line's refusals.

usage: sheet_structure_test.py EMOJITAG EMOJITAG_EXTRACT TEST_DATA_DIR EXAMPLES_DIR
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sheet_page  # noqa: E402
import sheet_pictures  # noqa: E402

EMOJITAG, EXTRACT, DATA_DIR, EXAMPLES_DIR = sys.argv[1:5]
del sys.argv[1:5]


def extract(args, cwd):
    return subprocess.run([EXTRACT] + args, cwd=cwd, capture_output=True)


class SheetTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        cls.src = sheet_pictures.make_sources(cls.work, DATA_DIR, EXAMPLES_DIR)
        cls.pics = os.path.join(cls.work, "pics")
        os.makedirs(cls.pics)
        cls.texts = sheet_pictures.make_tree(cls.pics, cls.src, EMOJITAG)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def read_sheet(self, path):
        with open(path, "rb") as f:
            return f.read()

    def assert_links(self, card, sheet_dir, picture):
        """The card's picture and its link lead to the file from the sheet's
        folder."""
        for url in (card.img["src"], card.href):
            path = sheet_page.url_path(url)
            self.assertIsNotNone(path, url)
            target = os.path.join(os.fsencode(sheet_dir), path)
            self.assertTrue(os.path.exists(target), (url, picture))
            self.assertTrue(os.path.samefile(target, picture), (url, picture))

    def test_listing_shows_every_picture_with_its_text(self):
        out = os.path.join(self.work, "out")
        os.makedirs(out, exist_ok=True)
        r = extract(["--html", "out/sheet.html", "pics"], self.work)
        self.assertEqual(r.returncode, 1)  # one picture without text, one broken
        self.assertEqual(r.stdout, b"")
        self.assertEqual(sorted(r.stderr.decode().splitlines()),
                         ["emojitag-extract: pics/broken.gif: malformed GIF",
                          "emojitag-extract: pics/無題.gif: no emoji text"])
        self.assertEqual(os.listdir(out), ["sheet.html"])  # no temporary file left
        raw = self.read_sheet(os.path.join(out, "sheet.html"))
        page = sheet_page.parse(raw)
        text = raw.decode()

        order = sheet_pictures.walk_order(os.path.join(self.work, "pics"))
        self.assertEqual(len(page.cards), len(order))
        for card, picture in zip(page.cards, order):
            name = os.path.relpath(os.fsdecode(picture), self.work)
            self.assertEqual(card.heading, name)
            self.assertIn(sheet_page.escaped(name), text)
            self.assert_links(card, out, picture)
            source = self.texts[os.path.relpath(name, "pics")]
            if source is None:
                self.assertEqual(len(card.flags), 1, name)
                self.assertIn("none" if "無題" in name else "bad", card.classes)
                continue
            self.assertEqual(card.flags, [], name)
            shown = sheet_page.elements(source)
            if shown is None:  # not simple mark-up: as it is
                self.assertEqual(card.raws, [[source, None]], name)
                self.assertIn(sheet_page.escaped(source), text)
                continue
            self.assertEqual(card.tables, [[(n, v, False) for n, v in shown]], name)
            for n, v in shown:
                self.assertIn(">" + sheet_page.escaped(v) + "</td>", text, name)

        # The summary's figures and words.
        self.assertEqual({k: page.summary[k] for k in page.summary if k.startswith("data-")},
                         {"data-pictures": "12", "data-with-text": "10",
                          "data-without-text": "1", "data-malformed": "1",
                          "data-too-long": "0", "data-cannot-open": "0"})
        self.assertEqual(page.summary_text,
                         "12 pictures: 10 with text, 1 without text, 1 malformed")
        # The problem list links to the two cards that show a problem.
        ids = {c.id: c for c in page.cards}
        self.assertEqual(sorted(t for _h, t in page.problems),
                         ["pics/broken.gif: malformed GIF", "pics/無題.gif: no emoji text"])
        for href, _t in page.problems:
            self.assertTrue(ids[href[1:]].flags)

        # Thumbnails: small pictures scaled up by whole factors, drawn in
        # square pixels; a large one scaled down smoothly; no size for a
        # broken one.
        sizes = {c.heading: (c.img.get("width"), c.img.get("height"), c.img.get("class"))
                 for c in page.cards}
        self.assertEqual(sizes["pics/猫.gif"], ("128", "128", "px"))      # 32 x 32, x4
        self.assertEqual(sizes["pics/ソ表.jpg"], ("96", "64", "px"))      # 48 x 32, x2
        self.assertEqual(sizes["pics/photo.jpg"], ("128", "80", None))    # 320 x 200
        self.assertEqual(sizes["pics/broken.gif"], (None, None, None))
        for c in page.cards:
            self.assertEqual(c.img.get("loading"), "lazy")

        # Style and script are allowed by their hashes, and by nothing else.
        styles, scripts = sheet_page.policy_hashes(page)
        self.assertEqual(styles, [sheet_page.hash_of("".join(page.styles))])
        self.assertEqual(scripts, [sheet_page.hash_of("".join(page.scripts))])
        self.assertNotIn("unsafe-inline", page.meta["Content-Security-Policy"])

    def test_page_names_its_folder_and_the_pictures_passed_over(self):
        mixed = os.path.join(self.work, "混在")
        os.makedirs(mixed, exist_ok=True)
        shutil.copy(os.path.join(self.pics, "猫.gif"), mixed)
        for name in ("b.png", "a.webp", "c.txt"):
            with open(os.path.join(mixed, name), "wb") as f:
                f.write(b"not read")
        cases = [
            # why, PATH, run in, title (the name isolated from the words)
            ("a folder by its name", "混在", self.work, "\u2068混在\u2069 - emoji texts"),
            ("'.' by the folder it is", ".", mixed, "\u2068混在\u2069 - emoji texts"),
        ]
        for why, path, cwd, title in cases:
            with self.subTest(why):
                r = extract(["--html", os.path.join(self.work, "m.html"), path], cwd)
                self.assertEqual(r.returncode, 0, r.stderr)
                page = sheet_page.parse(self.read_sheet(os.path.join(self.work, "m.html")))
                self.assertEqual(page.lang, "ja")
                self.assertEqual(page.title, title)
                self.assertEqual(len(page.cards), 1)
                # PNG and WebP are named, in the walk's order; other files not.
                self.assertEqual(page.passed_attrs.get("data-passed-over"), "2")
                self.assertEqual([os.path.basename(t) for _h, t in page.passed],
                                 ["a.webp", "b.png"])
                self.assertTrue(all(h for h, _t in page.passed))

    def test_links_resolve_from_wherever_the_sheet_is(self):
        cases = [
            # why, sheet as given, where it lands, PATH, run in
            ("sheet beside the pictures' folder", "sheet.html", self.work, "pics", self.work),
            ("sheet inside the folder it shows", "in.html", self.pics, ".", self.pics),
            ("absolute sheet, relative pictures", os.path.join(self.work, "abs.html"),
             self.work, "pics/猫.gif", self.pics + "/.."),
            ("relative sheet, absolute pictures", "../up.html", self.work, self.pics, self.pics),
            ("sheet in a sibling folder, '..' in the PATH", "../out2/s.html",
             os.path.join(self.work, "out2"), "../pics/動き", self.pics),
        ]
        for why, sheet, where, path, cwd in cases:
            with self.subTest(why):
                os.makedirs(where, exist_ok=True)
                r = extract(["--html", sheet, path], cwd)
                self.assertIn(r.returncode, (0, 1), why)
                name = os.path.join(where, os.path.basename(sheet))
                page = sheet_page.parse(self.read_sheet(name))
                self.assertGreater(len(page.cards), 0, why)
                for card in page.cards:
                    picture = os.path.join(cwd, card.heading)
                    self.assert_links(card, where, picture)
                os.remove(name)

    def test_check_shows_each_line_and_the_difference(self):
        lines = [
            # the list's lines: a match, a changed reading, a missing picture,
            # a line the reader refuses, a text the picture lacks, a raw text
            # that differs
            'pics/ソ表.jpg,"%s"' % self.texts["ソ表.jpg"],
            'pics/猫.gif,"%s"' % self.texts["猫.gif"].replace("ねこ</yomi1>", "いぬ</yomi1>"),
            'pics/missing.gif,"<emoji><yomi1>ない</yomi1></emoji>"',
            "no comma here",
            'pics/無題.gif,"<emoji><yomi1>むだい</yomi1></emoji>"',
            'pics/raw.jpg,"<emoji>ただの<b>文章</b></emoji>"',
        ]
        with open(os.path.join(self.work, "check.csv"), "wb") as f:
            f.write("".join(l + "\r\n" for l in lines).encode("cp932"))
        r = extract(["--html", "check.html", "--check", "check.csv"], self.work)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stdout, b"")  # the findings are on the page
        self.assertEqual(r.stderr, b"")
        page = sheet_page.parse(self.read_sheet(os.path.join(self.work, "check.html")))
        cards = {c.id: c for c in page.cards}
        self.assertEqual(list(cards), ["l1", "l2", "l3", "l4", "l5", "l6"])

        self.assertEqual(cards["l1"].flags, [])
        self.assert_links(cards["l1"], self.work, os.path.join(self.pics, "ソ表.jpg"))
        # The changed reading: both texts, its row marked on both sides.
        l2 = cards["l2"]
        self.assertEqual(l2.flags, ["differs"])
        self.assertEqual(len(l2.tables), 2)
        for table, reading in zip(l2.tables, ["いぬ", "ねこ"]):
            self.assertEqual([(n, v) for n, v, marked in table if marked], [("yomi1", reading)])
            self.assertEqual(len(table), 7)
        self.assertEqual((cards["l3"].flags, cards["l3"].img, cards["l3"].empty),
                         (["not found"], None, "not found"))
        self.assertEqual((cards["l4"].empty, cards["l4"].flags),
                         ("refused", ["skipped: no comma after the name"]))
        self.assertEqual(cards["l5"].flags, ["no emoji text"])
        self.assertEqual(cards["l5"].tables, [[("yomi1", "むだい", False)]])
        # Raw texts: marked from the first character they part in.
        self.assertEqual(cards["l6"].raws, [["<emoji>ただの<b>文章</b></emoji>", "章</b></emoji>"],
                                            ["<emoji>ただの<b>文</b></emoji>", "</b></emoji>"]])

        self.assertEqual({k: page.summary[k] for k in page.summary if k.startswith("data-")},
                         {"data-lines": "6", "data-match": "1", "data-differ": "5"})
        self.assertEqual(page.summary_text, "6 lines: 1 match, 5 do not (2 differs, "
                         "1 not found, 1 refused, 1 no emoji text)")
        self.assertEqual([h for h, _t in page.problems], ["#l2", "#l3", "#l4", "#l5", "#l6"])

        # With --out each card names the copy it looked at (none made here).
        r = extract(["--html", "out.html", "--check", "check.csv", "--out"], self.work)
        page = sheet_page.parse(self.read_sheet(os.path.join(self.work, "out.html")))
        files = [c.file for c in page.cards if c.empty != "refused"]
        self.assertEqual(files, ["pics/ソ表-out.jpg", "pics/猫-out.gif", "pics/missing-out.gif",
                                 "pics/無題-out.gif", "pics/raw-out.jpg"])
        self.assertTrue(all(c.flags == ["not found"] for c in page.cards if c.file))

    def test_hostile_bytes_keep_the_page_utf8(self):
        d = os.path.join(self.work, "hostile")
        os.makedirs(d, exist_ok=True)
        with open(os.path.join(self.src, "tiny.jpg"), "rb") as f:
            jpg = f.read()
        text = b"<emoji><yomi1>a\x01b\xffc\x00</yomi1></emoji>"
        com = b"\xff\xfe" + (len(text) + 2).to_bytes(2, "big") + text
        with open(os.path.join(os.fsencode(d), b"\xff\xfe.jpg"), "wb") as f:
            f.write(jpg[:2] + com + jpg[2:])
        r = extract(["--html", "h.html", "."], d)
        self.assertEqual(r.returncode, 0, r.stderr)
        page = sheet_page.parse(self.read_sheet(os.path.join(d, "h.html")))
        [card] = page.cards
        # Control characters as their pictures, other bytes as U+FFFD.
        self.assertEqual(card.tables, [[("yomi1", "a\u2401b\ufffdc\u2400", False)]])
        self.assertEqual(card.heading, "./\ufffd\ufffd.jpg (name not in UTF-8)")
        self.assert_links(card, d, os.path.join(os.fsencode(d), b"\xff\xfe.jpg"))

    def test_names_and_texts_are_isolated_from_the_page_around_them(self):
        """A right-to-left override (U+202E) in a name or a text ends with it:
        every name is a <bdi> (in the title, between U+2068 and U+2069), and
        every text stands in a cell or block the style isolates."""
        d = os.path.join(self.work, "bidi")
        os.makedirs(d, exist_ok=True)
        rlo = sheet_pictures.RLO
        files = sheet_pictures.make_bidi_pictures(d, self.src)
        r = extract(["--html", "b.html"] + files, d)
        self.assertEqual(r.returncode, 1, r.stderr)  # the GIF has no text
        page_bytes = self.read_sheet(os.path.join(d, "b.html"))
        page, raw = sheet_page.parse(page_bytes), page_bytes.decode()
        shown = [rlo + "none.gif", rlo + "y\ufffd.jpg"]
        for name in shown:
            # title, heading, card, problem list: isolated wherever it stands
            self.assertEqual(raw.count(name), 4 if name == shown[0] else 3, name)
            self.assertEqual(raw.count("\u2068%s\u2069" % name), 1, name)
            self.assertEqual(raw.count("<bdi>%s</bdi>" % name), raw.count(name) - 1, name)
        # The page's own words after a name stay outside its isolate.
        self.assertIn("<bdi>%s</bdi></a>: no emoji text</li>" % shown[0], raw)
        self.assertIn("<bdi>%s</bdi> <span class=\"warn\">(name not in UTF-8)</span>" % shown[1],
                      raw)
        self.assertEqual(page.cards[1].tables, [[("yomi1", rlo + "abc", False),
                                                 ("hyoki1", "def", False)]])
        self.assertIn("th,td,pre{unicode-bidi:isolate}", "".join(page.styles))

    def test_refusals_leave_an_old_sheet_alone(self):
        d = os.path.join(self.work, "refusals")
        os.makedirs(d, exist_ok=True)
        shutil.copy(os.path.join(self.src, "tiny.gif"), os.path.join(d, "a.gif"))
        cases = [
            # why, arguments, exit status
            ("not named .html", ["--html", "old.htm", "a.gif"], 2),
            ("with -o", ["--html", "old.html", "-o", "l.csv", "a.gif"], 2),
            ("with --cp932-names", ["--html", "old.html", "--cp932-names", "a.gif"], 2),
            ("with --raw-names", ["--html", "old.html", "--raw-names", "a.gif"], 2),
            ("no PATH", ["--html", "old.html"], 2),
            ("a list that cannot be read", ["--html", "old.html", "--check", "none.csv"], 1),
        ]
        for why, args, status in cases:
            with self.subTest(why):
                with open(os.path.join(d, "old.html"), "w") as f:
                    f.write("old")
                with open(os.path.join(d, "old.htm"), "w") as f:
                    f.write("old")
                r = extract(args, d)
                self.assertEqual(r.returncode, status, (why, r.stderr))
                self.assertEqual(r.stdout, b"")
                for name in ("old.html", "old.htm"):
                    with open(os.path.join(d, name)) as f:
                        self.assertEqual(f.read(), "old", why)
                self.assertEqual(sorted(os.listdir(d)),
                                 ["a.gif", "old.htm", "old.html"], why)
        # A folder the sheet cannot be written to: reported, nothing left.
        r = extract(["--html", "gone/s.html", "a.gif"], d)
        self.assertEqual((r.returncode, r.stdout), (1, b""))
        self.assertEqual(r.stderr, b"emojitag-extract: gone/s.html: cannot write: "
                         b"No such file or directory\n")

if __name__ == "__main__":
    unittest.main(verbosity=2)
