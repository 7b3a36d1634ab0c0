"""Pictures for the contact sheet's tests: a small tree of tagged GIF and
JPEG files with Japanese and odd names, made with the project's own
emojitag from a CP932 list, and the walk order emojitag-extract lists them
in."""

import os
import subprocess

# A picture of the tree: its path below the tree's root, where its bytes come
# from, and its emoji text (None: left without one).
TEXT = "<emoji><yomi1>{}</yomi1><hyoki1>{}</hyoki1><hinsi1>名詞</hinsi1>" \
       "<category1>{}</category1><type>絵文字</type><tag1>{}</tag1>" \
       "<tagcont>{}</tagcont></emoji>"

PICTURES = [
    # why, path, source, text
    ("a Japanese name", "猫.gif", "tiny.gif", TEXT.format("ねこ", "猫", "動物", "ねこ", "かわいい")),
    ("CP932 trail bytes 0x5C", "ソ表.jpg", "tiny.jpg", TEXT.format("そひょう", "ソ表", "記号", "表", "")),
    ("an animated GIF in a Japanese folder", "動き/走る.gif", "animated.gif",
     TEXT.format("はしる", "走る", "動作", "うごき", "アニメ")),
    ("a large picture, scaled down", "photo.jpg", "large.jpg",
     TEXT.format("しゃしん", "写真", "物", "", "")),
    ("a bundled example", "smile.gif", "smile.gif",
     "<emoji><yomi1>にこにこ</yomi1><hyoki1>笑顔</hyoki1><category1>顔</category1></emoji>"),
    ("a bundled example", "cat.jpg", "cat.jpg",
     "<emoji><yomi1>ねこ</yomi1><hyoki1>猫</hyoki1><tag1>動物</tag1></emoji>"),
    ("no text yet", "無題.gif", "star.gif", None),
    ("the characters HTML and URLs treat specially", "a<b&c\"d'#e%f?g.gif", "tiny.gif",
     "<emoji><yomi1>a&amp;b &lt;i&gt;</yomi1><hyoki1>A&B \"q\" 'a'</hyoki1></emoji>"),
    ("fields out of order and one of its own", "sub dir/順番.jpg", "tiny.jpg",
     "<emoji><tag1>たぐ</tag1><memo>メモ</memo><yomi1>じゅんばん</yomi1></emoji>"),
    ("a text that is not simple mark-up", "raw.jpg", "tiny.jpg",
     "<emoji>ただの<b>文</b></emoji>"),
    ("half-width katakana", "ｶﾀｶﾅ.gif", "tiny.gif", TEXT.format("ｶﾀｶﾅ", "片仮名", "文字", "", "")),
    ("a broken picture", "broken.gif", None, None),
]


def run(cmd, cwd):
    r = subprocess.run(cmd, cwd=cwd, capture_output=True)
    if r.returncode != 0:
        raise RuntimeError("%s failed: %s" % (cmd, r.stderr.decode(errors="replace")))
    return r


def make_sources(work, data_dir, examples_dir):
    """The source pictures: the test data, the bundled examples, an animated
    GIF and a large JPEG made with gifsicle and cjpeg."""
    src = os.path.join(work, "sources")
    os.makedirs(src)
    for name, base in [("tiny.gif", data_dir), ("tiny.jpg", data_dir),
                       ("smile.gif", examples_dir), ("star.gif", examples_dir),
                       ("cat.jpg", examples_dir)]:
        with open(os.path.join(base, name), "rb") as f, open(os.path.join(src, name), "wb") as g:
            g.write(f.read())
    # A 320 x 200 picture of colour bands.
    w, h = 320, 200
    pixels = bytearray()
    for y in range(h):
        for x in range(w):
            pixels += bytes(((x * 255) // w, (y * 255) // h, 128 + ((x // 40 + y // 40) % 2) * 100))
    with open(os.path.join(src, "large.ppm"), "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h) + bytes(pixels))
    with open(os.path.join(src, "large.jpg"), "wb") as out:
        subprocess.run(["cjpeg", "-quality", "85", "large.ppm"], cwd=src, stdout=out, check=True)
    # Two frames, the second turned round, shown in turns forever.
    with open(os.path.join(src, "turned.gif"), "wb") as out:
        subprocess.run(["gifsicle", "--rotate-180", "tiny.gif"], cwd=src, stdout=out, check=True)
    with open(os.path.join(src, "animated.gif"), "wb") as out:
        subprocess.run(["gifsicle", "--loopcount=forever", "--delay=30", "tiny.gif", "turned.gif"],
                       cwd=src, stdout=out, check=True)
    return src


def make_tree(root, src, emojitag, pictures=PICTURES):
    """Writes the pictures under `root` and tags them in place with emojitag
    from one CP932 list; returns {path: text or None}."""
    lines = []
    texts = {}
    for _why, path, source, text in pictures:
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            if source is None:
                f.write(b"GIF89a\x10\x00")  # cut short
            else:
                with open(os.path.join(src, source), "rb") as g:
                    f.write(g.read())
        texts[path] = text
        if text is not None:
            # Quoted, a text runs to the next double quote; one that holds
            # a quote runs to the line's end unquoted.
            lines.append(path + "," + (text if '"' in text else '"' + text + '"') + "\n")
    list_path = os.path.join(root, "..", os.path.basename(root) + "-list.csv")
    with open(list_path, "wb") as f:
        f.write("".join(lines).encode("cp932"))
    run([emojitag, "-o", os.path.abspath(list_path)], root)
    return texts


RLO = "\u202e"  # right-to-left override


def make_bidi_pictures(d, src):
    """Two pictures whose names begin with a right-to-left override: a GIF
    without text and a JPEG (its name not UTF-8) whose text holds one too;
    returns their names, as bytes."""
    names = [(RLO + "none.gif").encode(), RLO.encode() + b"y\xff.jpg"]
    with open(os.path.join(src, "tiny.jpg"), "rb") as f:
        jpg = f.read()
    text = ("<emoji><yomi1>%sabc</yomi1><hyoki1>def</hyoki1></emoji>" % RLO).encode()
    com = b"\xff\xfe" + (len(text) + 2).to_bytes(2, "big") + text
    with open(os.path.join(src, "tiny.gif"), "rb") as f, \
            open(os.path.join(os.fsencode(d), names[0]), "wb") as g:
        g.write(f.read())
    with open(os.path.join(os.fsencode(d), names[1]), "wb") as f:
        f.write(jpg[:2] + com + jpg[2:])
    return names


def walk_order(top):
    """The pictures below `top` (a relative or absolute path) in the order
    emojitag-extract lists them: entries of each directory sorted by their
    bytes, a directory walked where its name comes."""
    found = []
    for name in sorted(os.listdir(os.fsencode(top))):
        path = os.path.join(os.fsencode(top), name)
        if os.path.isdir(path):
            found += walk_order(path)
        elif name.lower().endswith((b".gif", b".jpg", b".jpeg")):
            found.append(path)
    return found
