"""The contact sheet in a real browser: headless Chromium renders a sheet of
a dozen pictures (Japanese names, an animated GIF, one without text, a
broken one) and the check of a list with a line that differs, and a sheet
of 2,000 pictures. A probe added to a copy of each page writes into the
DOM, after the pictures have loaded, each picture's natural size and each
card's rendered text, and whether the page's own filter script ran under
its policy; the DOM is then dumped and read back. Screenshots of the two
small sheets are taken of the pages themselves.

usage: sheet_browser_test.py EMOJITAG EMOJITAG_EXTRACT TEST_DATA_DIR EXAMPLES_DIR [SCREENSHOT_DIR]

Exits 77 (skipped) when no browser is installed.
"""

import html
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sheet_page  # noqa: E402
import sheet_pictures  # noqa: E402

SKIPPED = 77
BROWSERS = ["chromium-headless-shell", "chromium"]
# The network is never needed: everything a browser might fetch by itself
# is turned off, and each run gets a fresh profile.
QUIET_FLAGS = ["--headless", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update",
               "--disable-sync", "--hide-scrollbars", "--mute-audio"]

# Written into a copy of the page just before </body>. It waits for every
# picture (made eager where asked, so that a long page loads all of them),
# then records what the browser shows.
PROBE = """
(() => {
  const eager = %s;
  const images = [...document.querySelectorAll(".card img")];
  if (eager) for (const i of images) i.loading = "eager";
  let recorded = false;
  const record = () => {
    if (recorded) return;
    recorded = true;
    for (const i of images) {
      i.dataset.naturalWidth = i.naturalWidth;
      i.dataset.naturalHeight = i.naturalHeight;
    }
    // A card is content-visibility:auto: until a frame has found it on
    // screen its contents are skipped, and have no innerText. Made visible,
    // it is laid out when innerText is read.
    if (!eager)
      for (const c of document.querySelectorAll(".card")) {
        c.style.contentVisibility = "visible";
        c.dataset.shown = c.innerText;
      }
    document.body.dataset.filterShown = !document.getElementById("filter").hidden;
    document.body.dataset.probed = images.length;
  };
  Promise.all(images.map(i => i.decode().catch(() => {}))).then(record);
  setTimeout(record, 20000);
})();
"""

# Written into a copy of a page: for every name, whether the page's own text
# that follows it on its line is drawn after it (to its right).
BIDI_PROBE = """
(() => {
  const order = [];
  for (const b of document.querySelectorAll("bdi")) {
    const walk = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    walk.currentNode = b.lastChild || b;
    let next;
    while ((next = walk.nextNode()) && !next.data.trim()) {}
    if (!next) continue;
    const at = next.data.search(/\\S/);
    const r = document.createRange();
    r.setStart(next, at);
    r.setEnd(next, at + 1);
    const name = b.getBoundingClientRect(), own = r.getBoundingClientRect();
    if (Math.abs(own.top - name.top) > 2) continue;  // on a line of its own
    order.push(own.left >= name.right - 0.5 ? "after" : "before");
  }
  document.body.dataset.order = order.join(" ");
  document.body.dataset.probed = "1";
})();
"""

failures = []


def check(ok, what):
    print(("ok      " if ok else "FAILED  ") + what)
    if not ok:
        failures.append(what)


def find_browser():
    for name in BROWSERS:
        path = shutil.which(name)
        if path:
            return path
    return None


def run_browser(browser, work, args, timeout=180):
    profile = tempfile.mkdtemp(dir=work)
    flags = QUIET_FLAGS + ["--user-data-dir=" + profile]
    if os.geteuid() == 0:
        flags.append("--no-sandbox")  # the sandbox refuses to run as root
    env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS="disabled:", HOME=profile)
    r = subprocess.run([browser] + flags + args, capture_output=True, timeout=timeout, env=env)
    shutil.rmtree(profile, ignore_errors=True)
    return r


def probe_copy(sheet, eager, script=None):
    """A copy of the page beside it with the probe (PROBE unless another
    script is given), allowed by its hash."""
    with open(sheet, encoding="utf-8") as f:
        page = f.read()
    if script is None:
        script = PROBE % ("true" if eager else "false")
    page = page.replace("script-src ", "script-src 'sha256-%s' " % sheet_page.hash_of(script), 1)
    page = page.replace("</body>", "<script>%s</script>\n</body>" % script, 1)
    probe = sheet[:-len(".html")] + "-probe.html"
    with open(probe, "w", encoding="utf-8") as f:
        f.write(page)
    return probe


def dump_dom(browser, work, sheet, eager=False, height=1600, script=None, budget=30000):
    """The page's DOM after the probe ran. Without a `budget` of virtual time
    the page runs in real time (its clock then measures), and the DOM is
    dumped when it has loaded."""
    probe = probe_copy(sheet, eager, script)
    timing = ["--virtual-time-budget=%d" % budget] if budget else []
    r = run_browser(browser, work, ["--window-size=1200,%d" % height] + timing +
                    ["--dump-dom", "file://" + os.path.abspath(probe)])
    os.remove(probe)
    if r.returncode != 0:
        print(r.stderr.decode(errors="replace")[-2000:])
    return sheet_page.parse(r.stdout), r.stdout.decode("utf-8", errors="replace")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def screenshot(browser, work, sheet, png, size=(1200, 820)):
    r = run_browser(browser, work, ["--window-size=%d,%d" % size, "--virtual-time-budget=5000",
                                    "--run-all-compositor-stages-before-draw",
                                    "--screenshot=" + png, "file://" + os.path.abspath(sheet)])
    check(r.returncode == 0 and png_size(png) == size and os.path.getsize(png) > 20000,
          "screenshot of %s: %dx%d PNG" % (os.path.basename(sheet), *size))


def natural_sizes(source_dir):
    """Each source picture's own size, as its file's head gives it."""
    sizes = {}
    for name in os.listdir(source_dir):
        with open(os.path.join(source_dir, name), "rb") as f:
            data = f.read()
        if name.endswith(".gif"):
            sizes[name] = struct.unpack("<HH", data[6:10])
        elif name.endswith(".jpg"):
            m = re.search(rb"\xff[\xc0\xc1\xc2](..).(..)(..)", data, re.S)
            sizes[name] = (struct.unpack(">H", m.group(3))[0], struct.unpack(">H", m.group(2))[0])
    return sizes


def check_dozen(browser, work, extract, emojitag, data_dir, examples_dir, shots):
    src = sheet_pictures.make_sources(work, data_dir, examples_dir)
    pics = os.path.join(work, "pics")
    os.makedirs(pics)
    texts = sheet_pictures.make_tree(pics, src, emojitag)
    sizes = natural_sizes(src)
    frames = subprocess.run(["gifsicle", "--info", os.path.join(pics, "動き", "走る.gif")],
                            capture_output=True).stdout.decode()
    check("2 images" in frames, "the animated GIF has two frames")

    subprocess.run([extract, "--html", "sheet.html", "pics"], cwd=work, capture_output=True)
    page, dom = dump_dom(browser, work, os.path.join(work, "sheet.html"))
    check(dom.count("data-probed=") == 1, "listing: the probe ran after the pictures loaded")
    check(len(page.cards) == len(sheet_pictures.PICTURES),
          "listing: a card for each of the %d pictures" % len(sheet_pictures.PICTURES))
    for card in page.cards:
        path = os.path.relpath(card.heading, "pics")
        source = next(p[2] for p in sheet_pictures.PICTURES if p[1] == path)
        got = (card.img.get("data-natural-width"), card.img.get("data-natural-height"))
        want = ("0", "0") if source is None else tuple(str(v) for v in sizes[source])
        check(got == want, "listing: %s loads, %s x %s" % (path, *want) if source else
              "listing: %s, broken, shows no picture" % path)
        # The name and every value (or the raw text, or what is wrong).
        text = texts[path]
        shown = [card.heading]
        if text is None:
            shown.append("no emoji text" if source else "malformed GIF")
        else:
            shown += [v for _n, v in sheet_page.elements(text) or [("", text)] if v]
        visible = rendered_text(dom, card.id) or ""
        check(all(w in visible for w in shown), "listing: %s shows %s" % (path, shown[1:]))
    check('data-filter-shown="true"' in dom, "listing: the filter script runs under the policy")

    with open(os.path.join(work, "check.csv"), "wb") as f:
        lines = ["pics/" + p + ',"' + t + '"' for p, t in texts.items() if t and '"' not in t]
        lines[0] = lines[0].replace("<yomi1>ねこ", "<yomi1>いぬ")
        lines.append('pics/missing.gif,"<emoji><yomi1>ない</yomi1></emoji>"')
        f.write("".join(l + "\n" for l in lines).encode("cp932"))
    subprocess.run([extract, "--html", "check.html", "--check", "check.csv"], cwd=work,
                   capture_output=True)
    page, dom = dump_dom(browser, work, os.path.join(work, "check.html"))
    differs = [c for c in page.cards if "differs" in c.flags]
    check(len(differs) == 1 and "いぬ" in (rendered_text(dom, differs[0].id) or "") and
          "ねこ" in (rendered_text(dom, differs[0].id) or ""),
          "check: the differing line shows both texts")
    loaded = [c.img.get("data-natural-width") not in (None, "0") for c in page.cards if c.img]
    check(len(loaded) == len(lines) - 1 and all(loaded), "check: every picture found loaded")

    for page_name, png in (("sheet.html", "sheet.png"), ("check.html", "sheet-check.png")):
        screenshot(browser, work, os.path.join(work, page_name), os.path.join(shots or work, png))


def check_bidi(browser, work, extract, data_dir):
    """Names with a right-to-left override (U+202E): the page's
    own words after a name (", " in the heading, ": no emoji text" in the
    problem list, a name's mark) are still drawn after it."""
    d = os.path.join(work, "bidi")
    os.makedirs(d)
    files = sheet_pictures.make_bidi_pictures(d, data_dir)
    subprocess.run([extract, "--html", "b.html"] + files, cwd=d, capture_output=True)
    _page, dom = dump_dom(browser, work, os.path.join(d, "b.html"), script=BIDI_PROBE)
    order = re.search(r'data-order="([^"]*)"', dom)
    order = order.group(1).split() if order else []
    check(len(order) >= 4 and set(order) == {"after"},
          "names with U+202E: the page's text after each drawn after it (%s)" % order)


# Written into a copy of a page: types each query of a list into the filter
# box as a keystroke does (the value, then an input event), each time forcing
# the style and layout the change brings, and records the time that took; then,
# `settle` ms later (at once for 0), the count shown and how many cards are
# hidden. The page is left filtered by the last query.
FILTER_PROBE = """
(() => {
  const f = document.getElementById("filter"), n = document.getElementById("count");
  const queries = %s, settle = %d;
  const times = [], counts = [];
  let t = performance.now();
  f.dispatchEvent(new Event("focus"));
  document.body.offsetHeight;
  document.body.dataset.indexMs = (performance.now() - t).toFixed(1);
  const type = k => {
    if (k === queries.length) {
      document.body.dataset.keyMs = times.join(" ");
      document.body.dataset.counts = JSON.stringify(counts);
      document.body.dataset.probed = "1";
      return;
    }
    t = performance.now();
    f.value = queries[k];
    f.dispatchEvent(new Event("input"));
    document.body.offsetHeight;
    times.push((performance.now() - t).toFixed(1));
    // Settled when the hidden cards are as many as the count leaves out.
    const done = () => {
      const [shown, all] = n.textContent.split(" / ").map(Number);
      return document.querySelectorAll(".card.out").length === all - shown;
    };
    const record = () => {
      if (settle && !done()) return setTimeout(record, 50);
      counts.push(n.textContent + "|" + document.querySelectorAll(".card.out").length);
      type(k + 1);
    };
    if (settle) setTimeout(record, settle); else record();
  };
  type(0);
})();
"""

# The readings of the filter's sheet, one in each group of five cards (folded
# alike, but for the last two); every seventh card a tag in Latin letters, every
# eleventh a category in katakana.
FILTER_READINGS = ["ねこ", "ネコ", "ﾈｺ", "いぬ", "ｲﾇ"]


def filter_text(i):
    return "<emoji><yomi1>%s</yomi1><hyoki1>絵</hyoki1>%s%s</emoji>" % (
        FILTER_READINGS[i % 5], "<category1>ガイド</category1>" if i % 11 == 0 else "",
        "<tag1>Cat</tag1>" if i % 7 == 0 else "")


def filter_name(i):
    return "%03d/絵%05d.%s" % (i // 100, i, ("gif", "jpg")[i % 2])


def check_filter(browser, work, emojitag, extract, data_dir, count=20000):
    """The filter at 20,000 cards: what it finds, folded, by names and values
    and not by the fields' labels, the count it shows, and the time each
    keystroke takes."""
    root = os.path.join(work, "many")
    sources = [os.path.join(data_dir, n) for n in ("tiny.gif", "tiny.jpg")]
    for i in range(count):
        os.makedirs(os.path.join(root, "%03d" % (i // 100)), exist_ok=True)
        shutil.copy(sources[i % 2], os.path.join(root, filter_name(i)))
    with open(os.path.join(work, "many.csv"), "wb") as f:
        f.write("".join('%s,"%s"\n' % (filter_name(i), filter_text(i))
                        for i in range(count)).encode("cp932"))
    subprocess.run([emojitag, "-o", "../many.csv"], cwd=root, check=True, capture_output=True)
    r = subprocess.run([extract, "--html", "many.html", "many"], cwd=work, capture_output=True)
    check(r.returncode == 0, "20,000 pictures: listed without a problem")

    def matching(test):
        return sum(1 for i in range(count) if test(i))

    cats = matching(lambda i: i % 5 < 3)
    rows = [
        # why, query, cards it finds
        ("katakana finds hiragana and half-width", "ネコ", cats),
        ("half-width with a voiced mark finds full-width", "ｶﾞｲﾄﾞ", matching(lambda i: i % 11 == 0)),
        ("full-width Latin capitals find the value in any case", "ＣＡＴ",
         matching(lambda i: i % 7 == 0)),
        ("a picture's name", "絵01234", 1),
        ("a field's label is not searched", "yomi1", 0),
        ("an empty box shows every card", "", count),
    ]
    typed = ["ね", "ねこ", "ね", "", "ｶ", "ｶﾞ", "ｶﾞｲ", "ｶﾞｲﾄ", "ｶﾞｲﾄﾞ", "", "c", "ca", "cat", "",
             "絵", "絵0", "絵01", "絵012"] + [q for _w, q, _n in rows]
    sheet = os.path.join(work, "many.html")

    def probe(queries, settle, budget):
        page, dom = dump_dom(browser, work, sheet, height=900, budget=budget,
                             script=FILTER_PROBE % (json.dumps(queries), settle))
        found = {}
        for name in ("index-ms", "key-ms", "counts"):
            m = re.search(r'data-%s="([^"]*)"' % name, dom)
            found[name] = html.unescape(m.group(1)) if m else ""
        return page, found

    # What each query finds, each given the (virtual) time to finish.
    queries = [q for _w, q, _n in rows] + ["ﾈｺ"]
    page, found = probe(queries, 100, 120000)
    counts = json.loads(found["counts"] or "[]")
    check(len(counts) == len(queries) and len(page.cards) == count,
          "20,000 pictures: the probe typed %d queries" % len(queries))
    for (why, query, want), got in zip(rows, counts):
        check(got == "%d / %d|%d" % (want, count, count - want),
              "filter: %s (%r: %s, want %d / %d)" % (why, query, got, want, count))
    # Left filtered by the last query: exactly the cats shown.
    hidden = [c.heading for c in page.cards if "out" in c.classes]
    want = [filter_name(i) for i in range(count) if i % 5 >= 3]
    check(sorted(h[len("many/"):] for h in hidden) == want,
          "filter: '%s' hides exactly the %d cards of other readings" % (queries[-1], len(want)))

    # The time of each keystroke, typed one after the other in real time.
    _page, found = probe(typed, 0, None)
    times = sorted(float(t) for t in found["key-ms"].split())
    if times:
        print("filter at %d cards: index %s ms; per keystroke median %.1f ms, max %.1f ms "
              "(%d keystrokes)" % (count, found["index-ms"], times[len(times) // 2], times[-1],
                                   len(times)))
    # The figure is printed, not judged: a loaded machine would make a limit
    # here fail by chance.
    check(len(times) == len(typed), "filter: every keystroke answered at %d cards" % count)


def rendered_text(dom, card_id):
    """The text the browser rendered for a card, as the probe wrote it."""
    m = re.search(r'<article[^>]*\bid="%s"[^>]*>' % re.escape(card_id), dom)
    if m is None:
        return None
    a = re.search(r'data-shown="([^"]*)"', m.group(0))
    if a is None:
        return None
    return html.unescape(a.group(1))


def check_large(browser, work, extract, emojitag, data_dir, count=2000):
    """2,000 pictures in 20 folders: every card there, every picture loads."""
    root = os.path.join(work, "large")
    sources = [os.path.join(data_dir, n) for n in ("tiny.gif", "tiny.jpg")]
    lines = []
    for i in range(count):
        name = "%02d/絵%04d.%s" % (i // 100, i, ("gif", "jpg")[i % 2])
        os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
        shutil.copy(sources[i % 2], os.path.join(root, name))
        lines.append('%s,"<emoji><yomi1>え%d</yomi1><hyoki1>絵</hyoki1></emoji>"\n' % (name, i))
    with open(os.path.join(work, "large.csv"), "wb") as f:
        f.write("".join(lines).encode("cp932"))
    subprocess.run([emojitag, "-o", "../large.csv"], cwd=root, check=True, capture_output=True)
    r = subprocess.run([extract, "--html", "large.html", "large"], cwd=work, capture_output=True)
    check(r.returncode == 0, "2,000 pictures: listed without a problem")
    page, dom = dump_dom(browser, work, os.path.join(work, "large.html"), eager=True, height=900)
    widths = [c.img.get("data-natural-width") for c in page.cards]
    check(len(page.cards) == count, "2,000 pictures: a card for each")
    check(widths.count("0") == 0 and None not in widths,
          "2,000 pictures: every picture loaded (%d not)" % (len(widths) - sum(
              1 for w in widths if w not in (None, "0"))))
    check(page.summary and page.summary.get("data-with-text") == str(count),
          "2,000 pictures: the summary counts them all")


def main():
    emojitag, extract, data_dir, examples_dir = sys.argv[1:5]
    shots = os.path.abspath(sys.argv[5]) if len(sys.argv) > 5 else None
    browser = find_browser()
    if browser is None:
        print("skipped: no browser installed (%s on PATH)" % " or ".join(BROWSERS))
        return SKIPPED
    print("browser: " + browser)
    work = tempfile.mkdtemp()
    try:
        check_dozen(browser, work, extract, emojitag, data_dir, examples_dir, shots)
        check_bidi(browser, work, extract, data_dir)
        check_large(browser, work, extract, emojitag, data_dir)
        check_filter(browser, work, emojitag, extract, data_dir)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
