// html_sheet.cpp - the contact sheet: one HTML page with a card for every
// picture (or every line of a checked list) in the order they are read, a
// summary and a list of the cards that show a problem at the top. The page
// is UTF-8, needs no script and loads nothing but the pictures; its style and
// its one small script (a filter box, shown only where scripts run) are
// allowed by their hashes and nothing else is.
#include <cstring>

#include "emoji_elements.h"
#include "field_table.h"
#include "html_sheet.h"
#include "line_findings.h"
#include "platform_path.h"

namespace {

// The thumbnail box, in CSS pixels. A picture larger than the box is scaled
// down into it; a smaller one is scaled up by the largest whole factor that
// fits, each pixel drawn as a square.
constexpr unsigned THUMB_BOX = 128;
// The problem list starts folded when it is longer than this.
constexpr int PROBLEMS_SHOWN_OPEN = 100;
// The heading names at most this many PATHs.
constexpr int TITLE_PATHS_MAX = 3;

// The page's style; its SHA-256 (base64) is STYLE_HASH below, which the
// page's policy requires.
const char STYLE[] =
    ":root{color-scheme:light;font:14px/1.35 system-ui,sans-serif}"
    "body{margin:0;padding:12px 16px;background:#eef0f3;color:#1d1f23}"
    "h1{font-size:18px;margin:0 0 4px;overflow-wrap:anywhere}"
    ".summary,.other{margin:4px 0}"
    ".other{color:#a33}"
    "#filter{margin:6px 0;padding:4px 8px;width:24em;max-width:100%;font:inherit}"
    ".problems{margin:6px 0 10px;padding:6px 10px;background:#fff;border:1px solid #e3b3b3;"
    "border-radius:6px}"
    ".problems summary,.passed summary{cursor:pointer;font-weight:600}"
    ".problems ol,.passed ol{margin:6px 0;padding-left:3em;columns:24em}"
    ".passed{margin:4px 0}"
    // The cards flow in rows of a wrapping flex box: laid out again when the
    // filter hides or shows cards, it costs a fraction of what a grid does.
    "main{display:flex;flex-wrap:wrap;gap:10px}"
    ".card{box-sizing:border-box;flex:0 1 "
    "340px;max-width:100%;display:flex;gap:10px;padding:8px;background:#fff;border:1px solid "
    "#cfd3da;"
    "border-left:5px solid #7cb87b;border-radius:6px;content-visibility:auto;"
    "contain-intrinsic-size:auto 146px}"
    ".card.none{border-left-color:#e0a800;background:#fffbea}"
    ".card.bad{border-left-color:#d33;background:#fff3f3}"
    "@media (min-width:760px){.card.wide{flex-basis:690px}}"
    ".card:target{outline:3px solid #3b82f6}"
    ".card.out{display:none}"
    "#count{margin-left:8px;color:#667}"
    "[hidden]{display:none!important}"
    ".thumb{flex:none;width:128px;height:128px;display:flex;align-items:center;"
    "justify-content:center;overflow:hidden;border-radius:4px;background:#fff "
    "repeating-conic-gradient(#e9ebee 0 25%,#fff 0 50%) 0 0/16px 16px}"
    ".thumb img{max-width:128px;max-height:128px;object-fit:contain}"
    ".thumb img.px{image-rendering:pixelated}"
    ".thumb.empty{background:#f3f3f3;color:#a33;font-size:12px;text-align:center}"
    ".info{flex:1;min-width:0}"
    "h2{font:12px/1.3 ui-monospace,monospace;margin:0 0 4px;overflow-wrap:anywhere}"
    ".line,.file{color:#667}"
    ".file{margin:0 0 4px;font:12px/1.3 ui-monospace,monospace;overflow-wrap:anywhere}"
    ".flag{margin:0 0 4px;font-weight:600;color:#b22}"
    ".none .flag{color:#8a6d00}"
    "table{border-collapse:collapse}"
    "th{text-align:left;font-weight:normal;font-size:12px;color:#667;padding:1px 8px 1px 0;"
    "white-space:nowrap;vertical-align:top}"
    "td{padding:1px 0;overflow-wrap:anywhere}"
    // Every text's own direction marks end with its cell or block.
    "th,td,pre{unicode-bidi:isolate}"
    "td:empty::after{content:\"\xE2\x80\x94\";color:#bbb}"  // an em dash for an empty value
    "tr.d>*{background:#ffe08a}"
    "pre{margin:0;white-space:pre-wrap;overflow-wrap:anywhere;font:12px/1.3 ui-monospace,monospace}"
    "mark{background:#ffe08a}"
    ".cmp{display:grid;grid-template-columns:1fr 1fr;gap:10px}"
    "h3{margin:0 0 2px;font-size:11px;font-weight:600;text-transform:uppercase;color:#667}"
    ".warn{color:#b22;font-family:system-ui,sans-serif}";
const char STYLE_HASH[] = "VtcoS7iwCQgnuF4AcqKEniUd+eK0NNmXCP4aRTFFt6U=";

// The filter box and its count: hidden unless this runs, then the cards
// whose names and values do not hold what is typed are hidden. Both sides
// are folded alike: width (NFKC: half-width katakana and their voiced marks
// to full-width, full-width ASCII to ASCII), letter case, and katakana to
// hiragana, so that ネコ, ﾈｺ and ねこ find each other. Each card's folded text
// is made once, when the box is first used. A keystroke compares the texts,
// shows the count, and moves a class on the cards whose state changes, from
// the top, 300 of them at a time, so that the page answers at once and the
// next keystroke stops what is left of the last.
const char SCRIPT[] =
    "const f=document.getElementById(\"filter\"),n=document.getElementById(\"count\");"
    "f.hidden=n.hidden=false;"
    "const fold=s=>s.normalize(\"NFKC\").toLowerCase()"
    // Katakana to hiragana, written without a backslash: the page holds
    // none of its own, so its paths are all a Windows build changes.
    ".split(\"\").map(c=>{const k=c.charCodeAt(0);"
    "return k>=0x30a1&&k<=0x30f6||k===0x30fd||k===0x30fe?String.fromCharCode(k-96):c})"
    ".join(\"\");"
    "let cards=null,texts,shown,run=0;"
    "const index=()=>{if(cards)return;cards=[...document.querySelectorAll(\"main>.card\")];"
    "texts=cards.map(c=>fold([...c.querySelectorAll(\"h2,.file,td,pre\")]"
    ".map(e=>e.textContent).join(String.fromCharCode(10))));shown=cards.map(()=>true)};"
    "const filter=()=>{index();const q=fold(f.value.trim());let m=0;"
    "const hit=texts.map(t=>{const s=q===\"\"||t.includes(q);m+=s;return s});"
    "n.textContent=m+\" / \"+cards.length;const me=++run;let i=0;"
    "const step=()=>{if(me!==run)return;"
    "for(let moved=0;i<cards.length&&moved<300;i++)if(hit[i]!==shown[i]){"
    "shown[i]=hit[i];cards[i].classList.toggle(\"out\",!hit[i]);moved++}"
    "if(i<cards.length)setTimeout(step)};step()};"
    "f.onfocus=index;f.oninput=filter;"
    "document.addEventListener(\"DOMContentLoaded\",()=>{if(!cards){"
    "const t=document.querySelectorAll(\"main>.card\").length;n.textContent=t+\" / \"+t}});";
const char SCRIPT_HASH[] = "KWGmJQVaOvv61N5YsAikRAN0BMUZhHEJs+rYs6eiG1U=";

// What the card of a picture says about its text (readEmojiText's results).
const char *pictureFlag(int textResult, int imgType) {
    switch (textResult) {
        case TEXT_FOUND:
            return nullptr;
        case TEXT_NONE:
            return "no emoji text";
        case TEXT_TOO_LONG:
            return "comment too long";
        case TEXT_CANNOT_OPEN:
            return "cannot open";
        default:
            return malformedReport(*imageFormatOfType(imgType));
    }
}

// Counts a card of the given kind.
void countKind(HtmlSheet &s, const char *label) {
    for (int i = 0; i < s.kindCount; i++) {
        if (std::strcmp(s.kinds[i].label, label) == 0) {
            s.kinds[i].count++;
            return;
        }
    }
    if (s.kindCount < SHEET_KINDS_MAX) s.kinds[s.kindCount++] = SheetKind{label, 1};
}

int kindCount(const HtmlSheet &s, const char *label) {
    for (int i = 0; i < s.kindCount; i++)
        if (std::strcmp(s.kinds[i].label, label) == 0) return s.kinds[i].count;
    return 0;
}

// The size a w x h picture is shown at in the box: a larger one scaled down
// so that its longer side fills the box, a smaller one scaled up by the
// largest whole factor that fits. True when it is scaled up (to be drawn
// with square pixels).
bool fitThumb(unsigned w, unsigned h, unsigned long &sw, unsigned long &sh) {
    if (w <= THUMB_BOX && h <= THUMB_BOX) {
        unsigned factor = THUMB_BOX / w < THUMB_BOX / h ? THUMB_BOX / w : THUMB_BOX / h;
        sw = static_cast<unsigned long>(w) * factor;
        sh = static_cast<unsigned long>(h) * factor;
        return factor > 1;
    }
    unsigned long longer = w >= h ? w : h;
    sw = (static_cast<unsigned long>(w) * THUMB_BOX + longer / 2) / longer;
    sh = (static_cast<unsigned long>(h) * THUMB_BOX + longer / 2) / longer;
    if (sw == 0) sw = 1;
    if (sh == 0) sh = 1;
    return false;
}

// The thumbnail: the picture at `path`, linked to itself, at the size it is
// shown in the box (w and h are its own size, 0 when unknown).
void writeThumb(HtmlSheet &s, const char *path, unsigned w, unsigned h) {
    FILE *out = s.files.cards;
    if (!makePictureUrl(s.names, path)) {
        std::fputs("<div class=\"thumb empty\">name too long</div>", out);
        return;
    }
    std::fputs("<a class=\"thumb\" href=\"", out);
    std::fputs(s.names.url, out);
    std::fputs("\"><img src=\"", out);
    std::fputs(s.names.url, out);
    std::fputs("\" alt=\"\" loading=\"lazy\" decoding=\"async\"", out);
    if (w > 0 && h > 0) {
        unsigned long sw, sh;
        bool pixelated = fitThumb(w, h, sw, sh);
        std::fprintf(out, " width=\"%lu\" height=\"%lu\"%s", sw, sh,
                     pixelated ? " class=\"px\"" : "");
    }
    std::fputs("></a>", out);
}

void writeEmptyThumb(FILE *out, const char *why) {
    std::fputs("<div class=\"thumb empty\">", out);
    std::fputs(why, out);
    std::fputs("</div>", out);
}

// At most this many elements are shown as a table; a text with more is shown
// as it is.
constexpr int EMOJI_ELEMENTS_MAX = 64;

// The elements of a text read leniently, in the order they are shown: the
// fields of the table first, any others after them as they come. The count,
// or -1 when the text is not simple mark-up.
int shownElements(const char *text, size_t len, EmojiElement *out) {
    int n = splitEmojiElements(text, len, EMOJI_LENIENT, out, EMOJI_ELEMENTS_MAX);
    if (n > 0) orderByFields(out, n);
    return n;
}

bool sameElement(const EmojiElement &a, const EmojiElement &b) {
    return a.nameLen == b.nameLen && a.valueLen == b.valueLen &&
           std::memcmp(a.name, b.name, a.nameLen) == 0 &&
           std::memcmp(a.value, b.value, a.valueLen) == 0;
}

// The elements as a table; with `other`, the rows that differ from the row
// in the same place of the other text are marked.
void writeElementTable(FILE *out, const EmojiElement *e, int n, const EmojiElement *other,
                       int otherCount) {
    std::fputs("<table>", out);
    for (int i = 0; i < n; i++) {
        bool differs = other != nullptr && (i >= otherCount || !sameElement(e[i], other[i]));
        std::fputs(differs ? "<tr class=\"d\"><th>" : "<tr><th>", out);
        writeHtmlText(out, e[i].name, e[i].nameLen);
        std::fputs("</th><td>", out);
        writeHtmlText(out, e[i].value, e[i].valueLen, HTML_KEEP_ENTITIES);
        std::fputs("</td></tr>", out);
    }
    std::fputs("</table>", out);
}

// A text as it is; from byte `mark` on (when within it) marked.
void writeRawText(FILE *out, const char *text, size_t len, size_t mark = static_cast<size_t>(-1)) {
    std::fputs("<pre>", out);
    if (mark > len) {
        writeHtmlText(out, text, len);
    } else {
        writeHtmlText(out, text, mark);
        std::fputs("<mark>", out);
        writeHtmlText(out, text + mark, len - mark);
        std::fputs("</mark>", out);
    }
    std::fputs("</pre>", out);
}

// A text's elements as a table, or the text as it is where it is not simple
// emoji mark-up.
void writeText(FILE *out, const char *text, size_t len) {
    EmojiElement e[EMOJI_ELEMENTS_MAX];
    int n = shownElements(text, len, e);
    if (n >= 0) {
        writeElementTable(out, e, n, nullptr, 0);
    } else {
        writeRawText(out, text, len);
    }
}

// The list's text and the picture's side by side. Where both are simple
// mark-up and an element differs, the differing rows are marked; otherwise
// both texts are shown as they are, marked from the first character in
// which they part.
void writeComparison(FILE *out, const LineResult &r) {
    const EmojiText &image = *r.imageText;
    EmojiElement a[EMOJI_ELEMENTS_MAX], b[EMOJI_ELEMENTS_MAX];
    int na = shownElements(r.listText, r.listTextLen, a);
    int nb = shownElements(image.bytes, image.len, b);
    bool rowsDiffer = na >= 0 && nb >= 0 && na != nb;
    for (int i = 0; na >= 0 && nb >= 0 && i < na && i < nb && !rowsDiffer; i++)
        rowsDiffer = !sameElement(a[i], b[i]);
    size_t common = 0;
    while (common < r.listTextLen && common < image.len &&
           r.listText[common] == image.bytes[common])
        common++;
    // Back to the start of the character the texts part in.
    while (common > 0 && (static_cast<unsigned char>(r.listText[common]) & 0xC0) == 0x80)
        common--;
    std::fputs("<div class=\"cmp\"><div><h3>list</h3>", out);
    if (rowsDiffer) {
        writeElementTable(out, a, na, b, nb);
    } else {
        writeRawText(out, r.listText, r.listTextLen, common);
    }
    std::fputs("</div><div><h3>picture</h3>", out);
    if (rowsDiffer) {
        writeElementTable(out, b, nb, a, na);
    } else {
        writeRawText(out, image.bytes, image.len, common);
    }
    std::fputs("</div></div>", out);
}

void addProblem(HtmlSheet &s, int card, const char *name, bool cp932, const char *flag) {
    s.problems.push_back(SheetProblem{card, name, cp932, flag});
}

// What the sheet shows, as its heading (or, `inTitle`, its title: a listing
// named by the folders' own names, first, as a window or tab shows the start
// of it).
void writeHeading(HtmlSheet &s, char *const *paths, int pathCount, bool inTitle) {
    FILE *out = s.files.page;
    if (s.checkedList != nullptr) {
        std::fputs("Check of ", out);
        writeNameText(s.names, out, s.checkedList, namesInCp932(), inTitle);
        if (s.outFiles) std::fputs(" against the -out copies", out);
        return;
    }
    if (inTitle) {
        for (int i = 0; i < pathCount && i < TITLE_PATHS_MAX; i++) {
            if (i > 0) std::fputs(", ", out);
            writeNameText(s.names, out, lastPathName(s.names, paths[i]), false, true);
        }
        if (pathCount > TITLE_PATHS_MAX)
            std::fprintf(out, " and %d more", pathCount - TITLE_PATHS_MAX);
        std::fputs(" - emoji texts", out);
        return;
    }
    std::fputs("Emoji texts of ", out);
    for (int i = 0; i < pathCount && i < TITLE_PATHS_MAX; i++) {
        if (i > 0) std::fputs(", ", out);
        writeNameText(s.names, out, paths[i], namesInCp932(), inTitle);
    }
    if (pathCount > TITLE_PATHS_MAX) std::fprintf(out, " and %d more", pathCount - TITLE_PATHS_MAX);
}

// The page's head and the start of its body.
void writeHead(HtmlSheet &s, char *const *paths, int pathCount) {
    FILE *out = s.files.page;
    std::fputs("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n", out);
    std::fputs("<meta name=\"viewport\" content=\"width=device-width\">\n", out);
    std::fprintf(out,
                 "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                 "img-src 'self' file:; style-src 'sha256-%s'; script-src 'sha256-%s'\">\n",
                 STYLE_HASH, SCRIPT_HASH);
    std::fputs("<meta name=\"generator\" content=\"emojitag-extract " EMOJITAG_VERSION "\">\n",
               out);
    std::fputs("<title>", out);
    writeHeading(s, paths, pathCount, true);
    std::fputs("</title>\n<style>", out);
    std::fputs(STYLE, out);
    std::fputs("</style>\n</head>\n<body>\n<header>\n<h1>", out);
    writeHeading(s, paths, pathCount, false);
    std::fputs("</h1>\n", out);
}

// "<b>N</b> LABEL", with a comma before all but the first.
void writeCount(FILE *out, int n, const char *label, bool &first) {
    std::fprintf(out, "%s<b>%d</b> %s", first ? "" : ", ", n, label);
    first = false;
}

// The pictures of the formats not tagged that the walk passed over, each
// linked to its file.
void writePassedOver(HtmlSheet &s) {
    FILE *out = s.files.page;
    int n = static_cast<int>(s.passedOver.size());
    if (n == 0) return;
    std::fprintf(out,
                 "<details class=\"passed\" data-passed-over=\"%d\"%s><summary>%d %s passed "
                 "over (formats not tagged)</summary>\n<ol>\n",
                 n, n <= PROBLEMS_SHOWN_OPEN ? " open" : "", n, n == 1 ? "picture" : "pictures");
    for (const std::string &path : s.passedOver) {
        bool linked = makePictureUrl(s.names, path.c_str());
        if (linked) std::fprintf(out, "<li><a href=\"%s\">", s.names.url);
        if (!linked) std::fputs("<li>", out);
        writeNameText(s.names, out, path.c_str(), namesInCp932());
        std::fputs(linked ? "</a></li>\n" : "</li>\n", out);
    }
    std::fputs("</ol>\n</details>\n", out);
}

// The summary of a listing: pictures, with text, without, malformed, and
// the rarer problems where there are any.
void writeListingSummary(HtmlSheet &s) {
    FILE *out = s.files.page;
    int withText = kindCount(s, "with text");
    int none = kindCount(s, "no emoji text");
    int malformed = 0;
    for (const ImageFormat *f = IMAGE_FORMATS; f < IMAGE_FORMATS + IMAGE_FORMAT_COUNT; f++)
        malformed += kindCount(s, malformedReport(*f));
    int tooLong = kindCount(s, "comment too long");
    int unopened = kindCount(s, "cannot open");
    std::fprintf(out,
                 "<p class=\"summary\" data-pictures=\"%d\" data-with-text=\"%d\" "
                 "data-without-text=\"%d\" data-malformed=\"%d\" data-too-long=\"%d\" "
                 "data-cannot-open=\"%d\"><b>%d</b> pictures: ",
                 s.cards, withText, none, malformed, tooLong, unopened, s.cards);
    bool first = true;
    writeCount(out, withText, "with text", first);
    writeCount(out, none, "without text", first);
    writeCount(out, malformed, "malformed", first);
    if (tooLong > 0) writeCount(out, tooLong, "with a comment too long", first);
    if (unopened > 0) writeCount(out, unopened, "that cannot be opened", first);
    std::fputs("</p>\n", out);
    // Every card with a problem was reported once; the rest were folders and
    // names that have no card.
    int further = s.run->problems - static_cast<int>(s.problems.size());
    if (further > 0)
        std::fprintf(out,
                     "<p class=\"other\">%d further %s (folders, names) on standard error</p>\n",
                     further, further == 1 ? "problem" : "problems");
    writePassedOver(s);
}

// The summary of a check: lines, those that match, those that do not by
// finding.
void writeCheckSummary(HtmlSheet &s) {
    FILE *out = s.files.page;
    int match = kindCount(s, "match");
    std::fprintf(out,
                 "<p class=\"summary\" data-lines=\"%d\" data-match=\"%d\" data-differ=\"%d\">"
                 "<b>%d</b> lines: <b>%d</b> match, <b>%d</b> do not",
                 s.cards, match, s.cards - match, s.cards, match, s.cards - match);
    bool first = true;
    for (int i = 0; i < s.kindCount; i++) {
        if (std::strcmp(s.kinds[i].label, "match") == 0) continue;
        std::fputs(first ? " (" : "", out);
        writeCount(out, s.kinds[i].count, s.kinds[i].label, first);
    }
    std::fputs(first ? "</p>\n" : ")</p>\n", out);
}

void writeProblemList(HtmlSheet &s) {
    FILE *out = s.files.page;
    int n = static_cast<int>(s.problems.size());
    if (n == 0) return;
    std::fprintf(out, "<details class=\"problems\"%s><summary>%d %s</summary>\n<ol>\n",
                 n <= PROBLEMS_SHOWN_OPEN ? " open" : "", n, n == 1 ? "problem" : "problems");
    for (const SheetProblem &p : s.problems) {
        if (s.checkedList != nullptr) {
            std::fprintf(out, "<li><a href=\"#l%d\">line %d</a>", p.card, p.card);
            if (!p.name.empty()) std::fputs(" ", out);
            writeNameText(s.names, out, p.name.c_str(), p.cp932);
        } else {
            std::fprintf(out, "<li><a href=\"#p%d\">", p.card);
            writeNameText(s.names, out, p.name.c_str(), p.cp932);
            std::fputs("</a>", out);
        }
        std::fputs(": ", out);
        writeHtmlText(out, p.flag.c_str());
        std::fputs("</li>\n", out);
    }
    std::fputs("</ol>\n</details>\n", out);
}

void writeTop(HtmlSheet &s, char *const *paths, int pathCount) {
    FILE *out = s.files.page;
    writeHead(s, paths, pathCount);
    if (s.checkedList != nullptr) {
        writeCheckSummary(s);
    } else {
        writeListingSummary(s);
    }
    std::fputs(
        "<input id=\"filter\" type=\"search\" placeholder=\"Filter by name or text\" "
        "aria-label=\"Filter\" hidden><output id=\"count\" for=\"filter\" hidden></output>\n"
        "<script>",
        out);
    std::fputs(SCRIPT, out);
    std::fputs("</script>\n", out);
    writeProblemList(s);
    std::fputs("</header>\n<main>\n", out);
}

// A listed image's card: the image is read for it (its text left in the
// run's text as readEmojiText leaves it, whose result is returned).
int writePictureCard(HtmlSheet &s, const char *path, int imgType) {
    FILE *out = s.files.cards;
    int card = ++s.cards;
    PictureSize size;
    int textResult = readEmojiText(s.run->text, path, imgType, &size);
    const char *flag = pictureFlag(textResult, imgType);
    countKind(s, flag != nullptr ? flag : "with text");
    // A text that emojitag would not store whole again is shown with its flag.
    const char *cut = textResult == TEXT_FOUND
                          ? textCutProblem(*imageFormatOfType(imgType), s.run->text.bytes)
                          : nullptr;
    if (cut != nullptr) flag = cut;
    const char *kind = flag == nullptr ? "ok" : textResult == TEXT_NONE ? "none" : "bad";
    std::fprintf(out, "<article class=\"card %s\" id=\"p%d\">", kind, card);
    if (textResult == TEXT_CANNOT_OPEN) {
        writeEmptyThumb(out, "cannot open");
    } else {
        writeThumb(s, path, size.width, size.height);
    }
    std::fputs("<div class=\"info\"><h2>", out);
    writeNameText(s.names, out, path, namesInCp932());
    std::fputs("</h2>", out);
    if (flag != nullptr) {
        std::fprintf(out, "<p class=\"flag\">%s</p>", flag);
        addProblem(s, card, path, namesInCp932(), flag);
    }
    if (textResult == TEXT_FOUND) writeText(out, s.run->text.bytes, s.run->text.len);
    std::fputs("</div></article>\n", out);
    return textResult;
}

// A checked line's card.
void writeLineCard(HtmlSheet &s, const LineResult &r) {
    FILE *out = s.files.cards;
    s.cards++;
    bool refused = r.imgType == 0;
    const LineFindings &found = *r.findings;
    const char *first = found.count > 0 ? found.reasons[0] : nullptr;
    countKind(s, refused ? "refused" : first != nullptr ? first : "match");
    // A picture whose text differs: the two texts side by side, on a wider card.
    bool compared = r.finding != nullptr && !refused && r.textResult == TEXT_FOUND;
    const char *kind = first == nullptr                        ? "ok"
                       : !refused && r.textResult == TEXT_NONE ? "none"
                                                               : "bad";
    std::fprintf(out, "<article class=\"card %s%s\" id=\"l%d\">", kind, compared ? " wide" : "",
                 r.lineNo);
    if (refused) {
        writeEmptyThumb(out, "refused");
    } else if (r.textResult == TEXT_CANNOT_OPEN) {
        writeEmptyThumb(out, "not found");
    } else {
        PictureSize size;
        readPictureSize(r.path, r.imgType, size);
        writeThumb(s, r.path, size.width, size.height);
    }
    std::fprintf(out, "<div class=\"info\"><h2><span class=\"line\">line %d</span> ", r.lineNo);
    if (!refused) writeNameText(s.names, out, r.listName, true);
    std::fputs("</h2>", out);
    // The file compared: the -out copy.
    if (!refused && s.outFiles) {
        std::fputs("<p class=\"file\">", out);
        writeNameText(s.names, out, r.path, namesInCp932());
        std::fputs("</p>", out);
    }
    for (int i = 0; i < found.count; i++) {
        std::fputs("<p class=\"flag\">", out);
        writeHtmlText(out, found.reasons[i]);
        std::fputs("</p>", out);
        addProblem(s, r.lineNo, refused ? "" : r.listName, true, found.reasons[i]);
    }
    if (compared) {
        writeComparison(out, r);
    } else if (!refused) {
        writeText(out, r.listText, r.listTextLen);
    }
    std::fputs("</div></article>\n", out);
}

// The sheet as the run's output.

int writeImageCard(void *user, const char *path, int imgType) {
    HtmlSheet &s = *static_cast<HtmlSheet *>(user);
    int result = writePictureCard(s, path, imgType);
    // No line is written for the sheet, but its card shows a text that
    // emojitag would not store whole, and so does the report.
    if (result == TEXT_FOUND) {
        if (const char *cut = textCutProblem(*imageFormatOfType(imgType), s.run->text.bytes))
            report(*s.run, path, cut);
    }
    return result;
}

void notePassedOver(void *user, const char *path) {
    static_cast<HtmlSheet *>(user)->passedOver.push_back(path);
}

void writeCheckedCard(void *user, const ListLine &, const LineResult &r) {
    writeLineCard(*static_cast<HtmlSheet *>(user), r);
}

int finishSheet(void *user, int status) {
    HtmlSheet &s = *static_cast<HtmlSheet *>(user);
    // No sheet for a list that cannot be read.
    bool keep = status >= 0;
    if (keep) {
        writeTop(s, s.paths, s.pathCount);
        std::fputs("</main>\n</body>\n</html>\n", s.files.cards);
    }
    int reason = 0;
    if (!finishSheetFiles(s.files, keep, &reason) && keep) {
        report(*s.run, s.files.path, cannotWrite(reason));
        status = EXIT_PROBLEM;
    }
    return status < 0 ? EXIT_PROBLEM : status;
}

}  // namespace

bool beginSheetOutput(ExtractOutput &out, ExtractRun &run, const char *sheetPath,
                      char *const *paths, int pathCount, const char *checkListPath, bool outFiles) {
    static HtmlSheet sheet;  // one per run; its name buffers are large
    HtmlSheet &s = sheet;
    s.run = &run;
    s.paths = paths;
    s.pathCount = pathCount;
    s.checkedList = checkListPath;
    s.outFiles = outFiles;
    int reason = 0;
    if (!openSheetFiles(s.files, sheetPath, &reason)) {
        report(run, sheetPath, cannotWrite(reason));
        return false;
    }
    setSheetBase(s.names, sheetPath);
    out = ExtractOutput{&s, writeImageCard, writeCheckedCard, finishSheet, notePassedOver};
    return true;
}
