"""Reads a contact sheet back with Python's html.parser: its cards, summary,
problem list and the hashes of its style and script, for the tests to
compare with what they put in."""

import base64
import hashlib
import html.parser
import re
import urllib.parse


class Card:
    def __init__(self, attrs):
        self.id = attrs.get("id")
        self.classes = attrs.get("class", "").split()
        self.img = None        # the <img> attributes
        self.href = None       # the thumbnail's link
        self.empty = None      # the text of an empty thumbnail box
        self.heading = ""      # the <h2>: the picture's (or line's) name
        self.file = None       # the file compared, where shown
        self.flags = []        # what the card says is wrong
        self.tables = []       # [[(name, value, marked)]]: the elements shown
        self.raws = []         # [(text, marked part)]: texts shown as they are
        self.text = ""         # all of the card's text


class SheetParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.cards = []
        self.summary = None        # the summary's attributes
        self.summary_text = ""
        self.problems = []         # [(href, text)]
        self.passed = []           # [(href, text)]: pictures passed over
        self.passed_attrs = None   # the passed-over list's attributes
        self.lang = None           # the page's language
        self.title = ""
        self.styles = []
        self.scripts = []
        self.meta = {}
        self.stack = []            # open elements that collect text
        self.card = None
        self.row = None
        self.li = None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "html":
            self.lang = a.get("lang")
        if tag == "details" and "passed" in a.get("class", "").split():
            self.passed_attrs = a
        if tag == "meta" and "http-equiv" in a:
            self.meta[a["http-equiv"]] = a.get("content")
        if tag == "article":
            self.card = Card(a)
            self.cards.append(self.card)
        elif tag == "p" and "summary" in a.get("class", ""):
            self.summary = a
        elif tag == "li" and self.card is None:
            self.li = ["", ""]
        elif tag == "a" and self.li is not None:
            self.li[0] = a.get("href")
        elif self.card is not None:
            if tag == "a" and "thumb" in a.get("class", ""):
                self.card.href = a.get("href")
            elif tag == "img":
                self.card.img = a
            elif tag == "table":
                self.card.tables.append([])
            elif tag == "tr":
                self.row = ["", "", "d" in a.get("class", "").split()]
            elif tag == "pre":
                self.card.raws.append(["", None])
            elif tag == "mark" and self.card.raws:
                self.card.raws[-1][1] = ""
        if tag not in ("img", "meta", "input", "br"):
            self.stack.append((tag, a))

    def handle_endtag(self, tag):
        while self.stack:
            t, _a = self.stack.pop()
            if t == tag:
                break
        if tag == "article":
            self.card = None
        elif tag == "tr" and self.card is not None and self.row is not None:
            self.card.tables[-1].append(tuple(self.row))
            self.row = None
        elif tag == "li" and self.li is not None:
            passed = any(t == "details" and "passed" in a.get("class", "").split()
                         for t, a in self.stack)
            (self.passed if passed else self.problems).append(tuple(self.li))
            self.li = None

    def handle_data(self, data):
        tags = [t for t, _a in self.stack]
        classes = [a.get("class", "") for _t, a in self.stack]
        if "style" in tags:
            self.styles.append(data)
        if "script" in tags:
            self.scripts.append(data)
        if "title" in tags:
            self.title += data
        if self.summary is not None and "summary" in " ".join(classes) and "p" in tags:
            self.summary_text += data
        if self.li is not None:
            self.li[1] += data
        c = self.card
        if c is None:
            return
        c.text += data
        if "h2" in tags:
            c.heading += data
        elif "thumb empty" in classes:
            c.empty = (c.empty or "") + data
        elif any("flag" in k.split() for k in classes):
            c.flags.append(data)
        elif any("file" in k.split() for k in classes):
            c.file = (c.file or "") + data
        elif self.row is not None:
            self.row[0 if "th" in tags else 1] += data
        elif "pre" in tags:
            c.raws[-1][0] += data
            if "mark" in tags:
                c.raws[-1][1] += data


def parse(page_bytes):
    """The parsed sheet; the page must be UTF-8 throughout."""
    p = SheetParser()
    p.feed(page_bytes.decode("utf-8", errors="strict"))
    p.close()
    return p


def hash_of(text):
    return base64.b64encode(hashlib.sha256(text.encode("utf-8")).digest()).decode()


def policy_hashes(p):
    """The style and script hashes the page's policy allows."""
    csp = p.meta.get("Content-Security-Policy", "")
    return (re.findall(r"style-src 'sha256-([^']*)'", csp),
            re.findall(r"script-src 'sha256-([^']*)'", csp))


def url_path(url):
    """The bytes of a relative URL's path as a browser takes it: split into
    its parts (a stray '#' or '?' would end the path there), then
    percent-decoded. None for anything but a bare relative path."""
    parts = urllib.parse.urlsplit(url)
    if parts.scheme or parts.netloc or parts.query or parts.fragment:
        return None
    return urllib.parse.unquote_to_bytes(parts.path)


def escaped(text):
    """A text as the sheet writes it: & < > " ' as references."""
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;").replace("'", "&#39;"))


FIELD_ORDER = ["yomi1", "hyoki1", "hinsi1", "category1", "type", "tag1", "tagcont"]


def elements(text):
    """The elements of a simple emoji text in the order the sheet shows them
    (the template's fields first), their values with &amp; &lt; &gt;
    resolved; None for a text that is not simple mark-up."""
    m = re.fullmatch(r"<emoji>((?:<([A-Za-z0-9_]+)>[^<]*</\2>)*)</emoji>", text)
    if m is None:
        return None
    found = re.findall(r"<([A-Za-z0-9_]+)>([^<]*)</\1>", m.group(1))
    rank = {name: i for i, name in enumerate(FIELD_ORDER)}
    found.sort(key=lambda e: rank.get(e[0], len(FIELD_ORDER)))
    refs = {"amp": "&", "lt": "<", "gt": ">"}
    unref = lambda v: re.sub(r"&(amp|lt|gt);", lambda r: refs[r.group(1)], v)
    return [(name, unref(value)) for name, value in found]
