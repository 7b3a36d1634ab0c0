#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz harnesses (fuzz/corpus/NAME/) from the
repository's test images and hand-built edge streams. The seeds are
committed; run this again only to change them (from the repository root:
python3 fuzz/make_seeds.py). Layouts: fuzz_rewriter.h, fuzz_convert.cpp."""
import os
import struct
import subprocess
import tempfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
OUT = os.path.join(ROOT, "fuzz", "corpus")
NO_LIMIT = 0xFFFF


def data(path):
    with open(os.path.join(ROOT, path), "rb") as f:
        return f.read()


def write(kind, name, content):
    d = os.path.join(OUT, kind)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(content)


def rewrite_seed(emoji, image, limit=NO_LIMIT):
    return struct.pack(">HH", len(emoji), limit) + emoji + image


EMOJI = b"<emoji><yomi>abc</yomi><hyoki>def</hyoki></emoji>"
TEXTS = {
    "plain": EMOJI,
    "empty": b"",
    "notag": b"hello",
    "twopieces": b"<emoji><a>" + b"x" * 240 + b"</a><b>" + b"y" * 240 + b"</b></emoji>",
    "closefirst": b"</emoji>abc",
    "toolong": b"<a>" + b"z" * 249 + b"</a>",
    "utf8": b"<emoji><yomi>\xe3\x81\x82</yomi></emoji>",
}

# --- GIF -------------------------------------------------------------------
HDR = b"GIF89a" + b"\x01\x00\x01\x00" + b"\x00\x00\x00"  # no global colour table
HDR_GCT7 = b"GIF89a" + b"\x01\x00\x01\x00" + b"\x87\x00\x00" + bytes(768)
IMG = b"\x2c" + b"\x00\x00\x00\x00\x01\x00\x01\x00\x00" + b"\x02\x02\x44\x01\x00"
GCE = b"\x21\xf9\x04\x00\x00\x00\x00\x00"
APP = b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
TRAILER = b"\x3b"


def comment(text):
    out = b"\x21\xfe"
    while text:
        out += bytes([min(255, len(text))]) + text[:255]
        text = text[255:]
    return out + b"\x00"


OLD = b"<emoji><old>1</old></emoji>"
GIFS = {
    "tiny": data("tests/data/tiny.gif"),
    "smile": data("examples/images/smile.gif"),
    "star": data("examples/images/star.gif"),
    "headeronly": HDR + TRAILER,
    "gct7": HDR_GCT7 + IMG + TRAILER,
    "gce_image": HDR + GCE + IMG + TRAILER,
    "emoji_before": HDR + comment(OLD) + GCE + IMG + TRAILER,
    "two_emoji": HDR + comment(OLD) + comment(b"<EMOJI>second</EMOJI>") + IMG + TRAILER,
    "emoji_after": HDR + IMG + comment(OLD) + TRAILER,
    "examined": HDR + comment(b"hello world") + IMG + comment(b"hello world") + TRAILER,
    "short": HDR + comment(b"<emo") + IMG + TRAILER,
    "mixedcase": HDR + comment(b"<Emoji>x</Emoji>") + IMG + TRAILER,
    "empty_comment": HDR + b"\x21\xfe\x00" + IMG + TRAILER,
    "animated": HDR + APP + GCE + IMG + GCE + IMG + TRAILER,
    "label02": HDR + b"\x21\x02\x00" + IMG + TRAILER,
    "notrailer": HDR + IMG,
    "aftertrailer": HDR + IMG + TRAILER + b"junk",
    "plaintext": HDR + b"\x21\x01\x0c" + bytes(12) + b"\x02hi\x00" + IMG + TRAILER,
}
for name, img in GIFS.items():
    write("gif", name, rewrite_seed(EMOJI, img))
for tname, text in TEXTS.items():
    write("gif", "tiny_" + tname, rewrite_seed(text, GIFS["emoji_before"]))
for limit in (0, 2, 13, 20, 60):
    write("gif", "limit%d" % limit, rewrite_seed(EMOJI, GIFS["emoji_before"], limit))

# --- JPEG ------------------------------------------------------------------
def segments(jpg):
    """Splits a JPEG into (header up to the first SOS, the rest)."""
    i = 2
    while i < len(jpg):
        assert jpg[i] == 0xFF
        code = jpg[i + 1]
        if code == 0xDA:
            return jpg[:i], jpg[i:]
        i += 2 + (jpg[i + 2] << 8 | jpg[i + 3])
    raise ValueError("no SOS")


def com(text):
    return b"\xff\xfe" + struct.pack(">H", len(text) + 2) + text


def tool(args, stdin):
    return subprocess.run(args, input=stdin, stdout=subprocess.PIPE, check=True).stdout


tiny = data("tests/data/tiny.jpg")
head, scan = segments(tiny)
with tempfile.TemporaryDirectory() as t:
    ppm = b"P6 16 16 255\n" + bytes((x * 7 + y * 13) % 256 for y in range(16) for x in range(16)
                                    for _ in range(3))
    restart = tool(["cjpeg", "-restart", "1B", "-quality", "90"], ppm)
    progressive = tool(["jpegtran", "-progressive"], tiny)
h2, s2 = segments(progressive)
JPGS = {
    "tiny": tiny,
    "cat": data("examples/images/cat.jpg"),
    "progressive": progressive,
    "restart": restart,
    "emoji_before": head + com(OLD) + scan,
    "two_emoji": head[:2] + com(OLD) + head[2:] + com(b"<EMOJI>second</EMOJI>") + scan,
    "emoji_after": h2 + s2[:-2] + com(OLD) + b"\xff\xd9",
    "com7": head + com(b"<emoji>") + scan,
    "com_empty": head + com(b"") + scan,
    "ordinary20": head + com(b"an ordinary comment!") + scan,
    "ordinary_after": head + com(OLD) + com(b"an ordinary comment!") + scan,
    "no_sos": b"\xff\xd8" + b"\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
    + b"\xff\xd9",
    "png": b"\x89PNG\r\n\x1a\n",
    "truncated": tiny[: len(tiny) - 40],
    "after_eoi": tiny + b"trailing",
    "fill_bytes": head + b"\xff\xff\xff" + scan[1:],
    "short_length": b"\xff\xd8\xff\xe0\x00\x01\xff\xd9",
    "stuffed": head + scan[:-2] + b"\xff\x00\x12\xff\xd9",
}
for name, img in JPGS.items():
    write("jpg", name, rewrite_seed(EMOJI, img))
for tname, text in TEXTS.items():
    write("jpg", "tiny_" + tname, rewrite_seed(text, JPGS["emoji_before"]))
for limit in (0, 2, 3, 25, 200):
    write("jpg", "limit%d" % limit, rewrite_seed(EMOJI, JPGS["ordinary_after"], limit))

# --- finders: every image of both kinds, and what only the finders meet -----
LONG_ELEMENT = b"<a>" + b"x" * 200 + b"</a>"
LONG_TEXT = b"<emoji>" + LONG_ELEMENT * 316 + b"</emoji>"
LONG_TEXT = LONG_TEXT[:-12] + b"y" * (0xFFFF - len(LONG_TEXT)) + LONG_TEXT[-12:]
FIND_GIFS = {
    "joined": HDR + comment(b"<emoji><a>" + b"j" * 600 + b"</a></emoji>") + IMG + TRAILER,
    "toolong_comment": HDR + IMG + comment(b"<emoji>" + b"x" * 65600) + TRAILER,
}
for name, img in list(GIFS.items()) + list(FIND_GIFS.items()):
    write("find", "gif_" + name, rewrite_seed(EMOJI, img))
for name, img in JPGS.items():
    write("find", "jpg_" + name, rewrite_seed(EMOJI, img))
for tname, text in list(TEXTS.items()) + [("tag7", b"<emoji>"), ("long", LONG_TEXT)]:
    write("find", "gif_text_" + tname, rewrite_seed(text, GIFS["emoji_before"]))
    write("find", "jpg_text_" + tname, rewrite_seed(text, JPGS["emoji_before"]))

# --- list lines ------------------------------------------------------------
LINES = {
    "gif": b"icons/smile.gif,\"<emoji><yomi>\x82\xa0</yomi></emoji>\"\r\n",
    "jpg_unquoted": b"  a b/cat.JpEg,<emoji>\x83\x4c\x83\x62\x83\x67 \xb1\xb2</emoji>\n",
    "blank": b"   \r\n",
    "nocomma": b"pic.gif\n",
    "nothing_after": b"pic.gif,",
    "noname": b",text\n",
    "nodot": b"picture,text\n",
    "png": b"pic.png,text\n",
    "blank_in_sfx": b"pic.gif ,text\n",
    "empty_quotes": b"pic.jpg,\"\"\n",
    "open_quote": b"pic.jpg,\"never closed\n",
    "quote_inside": b"pic.jpg,a\"b\n",
    "commas": b"pic.gif,\"a,b,c\"dropped\n",
    "cr_only": b"pic.gif,\r\n",
    "lf_only": b"pic.gif,\n",
    "lead_at_end": b"pic.gif,abc\x82",
    "fallback": b"pic.gif,\x87\x90\xed\x40\xfa\x40\x80\xa0\x41\xfd\x41\x81\x20\n",
    "long_sfx": b"pic.abcdefghijklmnopqrstu,text\n",
    "kana": b"pic.gif," + bytes(range(0xa1, 0xe0)) + b"\n",
}
for name, line in LINES.items():
    write("csv_line", name, line)

# --- converter ------------------------------------------------------------
def call(table, form, direction, flags, size, text):
    return bytes([table, form, direction, flags]) + struct.pack(">H", size) + text


SJIS = b"\x82\xa0\x82\xa2 abc \xb1\x87\x90\xed\x40\x5c\x7e"
U16 = "\u3042\uff61\u00a5\u00a6\u203e\u20ac\u0080A\u005c".encode("utf-16-be")
U8 = "\u3042\uff61\u00a5\u00a6 \u00e9".encode("utf-8") + b"\xf0\x9f\x98\x80\xe3\x41\x42\xc0\x80"
CALLS = {
    "l2u16": call(0, 0, 0, 0, 64, SJIS),
    "l2u8": call(0, 1, 0, 0, 64, SJIS),
    "u16l": call(0, 0, 1, 0, 64, U16),
    "u8l": call(0, 1, 1, 0, 64, U8),
    "full4": call(0, 0, 0, 0, 4, b"AB"),
    "full3": call(0, 1, 1, 0, 3, "\u3042\u3042".encode("utf-8")),
    "bytes_l2u": call(1, 2, 0, 0, 16, b"\x81\xe9\x82A\x81\x20\x81"),
    "bytes_u2l": call(1, 2, 1, 0, 16, b"\xe9A\xff"),
    "null_table": call(1, 0, 0, 0, 16, b"A"),
    "bad_form": call(0, 3, 0, 0, 16, b"A"),
    "bad_dir": call(0, 0, 2, 0, 16, b"A"),
    "size0": call(0, 0, 0, 0, 0, b"A"),
    "null_out": call(0, 0, 0, 1, 16, b"A"),
    "null_in": call(0, 0, 0, 2, 16, b"A"),
    "empty": call(0, 0, 0, 0, 16, b""),
}
# Made-up tables: selector 2 + index into MADE_UP_TYPES {11,12,13,21,22,23,30,50,77}.
PAIRS = bytes([6]) + b"".join(bytes([k]) + struct.pack(">HH", l, u) for k, l, u in [
    (0, 0x8140, 0x3000), (0, 0x8141, 0x3001), (0, 0x8240, 0x4E00), (1, 0x8790, 0x2252),
    (2, 0x815C, 0x00A5), (0, 0x00A6, 0x00A6)])
RUNS4B = bytes([2, 0, 0, 20, 5, 3, 10])
RUNS8859 = bytes([2, 0, 10]) + struct.pack(">H", 0x00E0) + bytes([1, 5]) + struct.pack(">H", 0x0400)
for i, t in enumerate([11, 12, 13, 21, 22, 23, 30, 50, 77]):
    extra = RUNS8859 if t >= 50 else PAIRS + (RUNS4B if t == 13 else b"")
    for form in (0, 1):
        for direction in (0, 1):
            text = SJIS + b"\x80\x81\x30\x81\x30" if direction == 0 else (
                U16 if form == 0 else U8)
            if t >= 50 and direction == 0:
                text = b"A\x81\xe0\x81\x8a\x81\x41\x90"
            write("convert", "t%d_f%d_d%d" % (t, form, direction),
                  call(2 + i, form, direction, (i % 4) << 2, 64, extra + text))
for name, c in CALLS.items():
    write("convert", name, c)

# Templates: one byte for the encoding asked for (0 from the bytes, 1 CP932,
# 2 UTF-8), then a filled-in template as spreadsheets and editors save it.
GROUP = ("pics/\u732b.gif,yomi1,\u306d\u3053\r\n,hyoki1,\"\u732b,\"\"x\"\"\"\r\n,hinsi1,\r\n"
         ",tag1,a&b<c>\r\n,yomi2,\uff88\uff7a\r\n")
TEMPLATES = {
    "excel_cp932": b"\x00" + GROUP.encode("cp932"),
    "excel_utf8": b"\x00\xef\xbb\xbf" + GROUP.encode("utf-8"),
    "quote_all": b"\x00" + b'"a.jpg","yomi1","x"\n"","tag1","y"\n',
    "forced_utf8": b"\x02a.gif,yomi1,\x82\xa0\n",
    "forced_cp932": b"\x01\xef\xbb\xbfa.jpg,tag1,\x85\x40\xed\x40\n",
    "long_gif": b"\x00a.gif,yomi1," + "\u3042".encode("utf-8") * 78 + b"\n",
    "faults": b"\x00,x,y\na.png,yomi1,x\na.jpg,tag1,\"a\"b\nb.jpg,tag1,\"a\",b\nc.jpg,,v\nd.jpg,t,\"open",
    "utf16": b"\x00\xff\xfea\x00",
}
for name, t in TEMPLATES.items():
    write("template", name, t)
