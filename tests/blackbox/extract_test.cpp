// emojitag-extract: texts embedded by emojitag come back as the same list
// lines; --check agrees with a finished batch and names the line that does
// not; every problem is reported with its reason and exit status.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

using namespace testsupport;

namespace {

std::vector<std::string> sortedLines(const std::string &text) {
    std::vector<std::string> lines = splitLines(text);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// CP932 pieces a list is made of: kana, kanji, half-width katakana, ASCII,
// double-byte characters whose trail byte is 0x5C (ソ, 表, 能, 十), a quote.
const char *const PIECES[] = {"\x82\xa0\x82\xa2", "\x94\x4c\x8f\xce", "\xb1\xb2\xdf", "abc 1,2",
                              "\x83\x5c\x95\x5c", "\x94\x5c\x8f\x5c", "\x88\x9f",     "x\"y"};

// A text of one to three elements of 1 to 25 pieces each: up to several
// hundred bytes, every element short enough for a GIF data block.
std::string makeText(int i) {
    std::string text = "<emoji>";
    for (int e = 0; e <= i % 3; e++) {
        std::string tag = e == 0 ? "yomi1" : e == 1 ? "hyoki1" : "tag1";
        text += "<" + tag + ">";
        for (int k = 0; k < 1 + (i * 7 + e) % 25; k++)
            text += PIECES[(i + k * 3 + e) % (i % 5 == 0 ? 8 : 7)];
        text += "</" + tag + ">";
    }
    return text + "</emoji>";
}

// The list line as the reader takes it: quoted unless the text holds a quote.
std::string listLine(const std::string &name, const std::string &text) {
    bool quote = text.find('"') != std::string::npos;
    return quote ? name + "," + text + "\n" : name + ",\"" + text + "\"\n";
}

TEST(Extract, EmbeddedListComesBackAndChecks) {
    TempDir dir;
    const std::string gif = testData("tiny.gif");
    const std::string jpg = testData("tiny.jpg");
    runShell("mkdir -p imgs/sub", dir.path());
    std::string list;
    std::vector<std::string> names;
    for (int i = 0; i < 300; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "imgs/%s%03d.%s", i % 4 == 0 ? "sub/" : "", i,
                      i % 2 ? "gif" : "JPG");
        writeFile(dir / name, i % 2 ? gif : jpg);
        names.push_back(name);
        list += listLine(name, makeText(i));
    }
    writeFile(dir / "list.csv", list);

    // The loop a user runs: copies, check them, embed in place, read back.
    RunResult r = runTool({"list.csv"}, dir.path());
    ASSERT_EQ(r.err, "");
    r = runExtract({"--check", "list.csv", "--out"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out + r.err, "");
    runShell("find imgs -name '*-out.*' -delete", dir.path());
    r = runTool({"-o", "list.csv"}, dir.path());
    ASSERT_EQ(r.err, "");
    r = runExtract({"-o", "back.csv", "imgs"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sortedLines(readFile(dir / "back.csv")), sortedLines(list));
    r = runExtract({"imgs"}, dir.path());
    EXPECT_EQ(r.out, readFile(dir / "back.csv"));  // standard output, same order
    r = runExtract({"--check", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");

    // One image tagged again with another text: its line, and only it, differs.
    writeFile(dir / "other.csv", names[41] + ",\"<emoji><a>z</a></emoji>\"\n");
    runTool({"-o", "other.csv"}, dir.path());
    r = runExtract({"--check", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "42:" + names[41] + ": differs\n");
}

// A JPEG with a COM segment holding `text` right after SOI, or before EOI.
std::string jpgWith(const std::string &text, bool atEnd = false) {
    std::string jpg = testData("tiny.jpg");
    size_t n = text.size() + 2;
    std::string com = bytes({0xFF, 0xFE, int(n >> 8), int(n & 0xFF)}) + text;
    return atEnd ? jpg.insert(jpg.size() - 2, com) : jpg.insert(2, com);
}

// A GIF with a comment extension of the given sub-blocks before its image.
std::string gifWith(const std::vector<std::string> &blocks) {
    std::string gif = testData("tiny.gif");
    size_t table = (gif[10] & 0x80) ? 3u << ((gif[10] & 7) + 1) : 0;
    std::string ext = bytes({0x21, 0xFE});
    for (const std::string &b : blocks)
        ext += static_cast<char>(b.size()) + b;
    return gif.insert(13 + table, ext + '\0');
}

struct ExtractCase {
    const char *why;
    std::string file;  // written with `data` unless empty
    std::string data;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

TEST(Extract, ReportsEachProblem) {
    const std::string e = "emojitag-extract: ";
    const std::string gif = testData("tiny.gif");
    // 300 full sub-blocks: more than one JPEG segment could hold.
    std::vector<std::string> longComment(300, std::string(255, 'x'));
    longComment[0].replace(0, 7, "<emoji>");
    // clang-format off
    const ExtractCase cases[] = {
        {"no emoji comment", "a.gif", gif, {"a.gif"}, 1, "", e + "a.gif: no emoji text\n"},
        {"cut GIF", "a.gif", gif.substr(0, 40), {"a.gif"}, 1, "", e + "a.gif: malformed GIF\n"},
        {"not a JPEG", "a.jpg", "GIF89a", {"a.jpg"}, 1, "", e + "a.jpg: malformed JPEG\n"},
        {"line break", "a.jpg", jpgWith("<emoji>a\r\nb</emoji>"), {"a.jpg"}, 1, "",
         e + "a.jpg: text holds a line break\n"},
        {"no CP932 form: written", "a.jpg", jpgWith("<emoji>\xe0\xb8\x81</emoji>"), {"a.jpg"}, 1,
         "a.jpg,\"<emoji>?</emoji>\"\n", e + "a.jpg: characters not in CP932\n"},
        {"best-fit CP932 form: written", "a.jpg", jpgWith("<emoji>\xc3\xa9</emoji>"), {"a.jpg"}, 1,
         "a.jpg,\"<emoji>e</emoji>\"\n", e + "a.jpg: text changes in CP932\n"},
        {"comma in name", "a,b.jpg", jpgWith("<emoji>x</emoji>"), {"a,b.jpg"}, 1, "",
         e + "a,b.jpg: name cannot be listed\n"},
        {"quote in text: unquoted", "a.jpg", jpgWith("<emoji>\"</emoji>"), {"a.jpg"}, 0,
         "a.jpg,<emoji>\"</emoji>\n", ""},
        {"comment after the scan", "a.jpg", jpgWith("<EMOJI>x</EMOJI>", true), {"a.jpg"}, 0,
         "a.jpg,\"<EMOJI>x</EMOJI>\"\n", ""},
        {"GIF sub-blocks joined", "a.gif", gifWith({"<emoji><a>", "b</a></emoji>"}), {"a.gif"}, 0,
         "a.gif,\"<emoji><a>b</a></emoji>\"\n", ""},
        {"GIF comment too long", "a.gif", gifWith(longComment), {"a.gif"}, 1, "",
         e + "a.gif: comment too long\n"},
        {"not an image", "a.png", "x", {"a.png"}, 1, "", e + "a.png: not a GIF or JPEG file\n"},
        {"missing", "", "", {"none.gif"}, 1, "", e + "none.gif: cannot open\n"},
        {"CP932 name", "\xe3\x81\xad.jpg", jpgWith("<emoji>x</emoji>"),
         {"--cp932-names", "\xe3\x81\xad.jpg"}, 0, "\x82\xcb.jpg,\"<emoji>x</emoji>\"\n", ""},
        {"name without CP932 form", "\xe0\xb8\x81.jpg", jpgWith("<emoji>x</emoji>"),
         {"--cp932-names", "\xe0\xb8\x81.jpg"}, 1, "",
         e + "\xe0\xb8\x81.jpg: name has characters not in CP932\n"},
        {"CP932 names by default", "\xe3\x81\xad.jpg", jpgWith("<emoji>x</emoji>"),
         {"\xe3\x81\xad.jpg"}, 0, "\x82\xcb.jpg,\"<emoji>x</emoji>\"\n", ""},
        {"a name that is not UTF-8 as it is", "\x82\xcb.jpg", jpgWith("<emoji>x</emoji>"),
         {"\x82\xcb.jpg"}, 0, "\x82\xcb.jpg,\"<emoji>x</emoji>\"\n", ""},
        {"--raw-names: as the file system has it", "\xe3\x81\xad.jpg", jpgWith("<emoji>x</emoji>"),
         {"--raw-names", "\xe3\x81\xad.jpg"}, 0, "\xe3\x81\xad.jpg,\"<emoji>x</emoji>\"\n", ""},
        {"usage: no PATH", "", "", {}, 2, "", ""},
        {"usage: unknown option", "", "", {"-x", "a.gif"}, 2, "", ""},
        {"usage: -o without its file", "", "", {"a.gif", "-o"}, 2, "", ""},
        {"usage: --out without --check", "", "", {"--out", "a.gif"}, 2, "", ""},
        {"usage: --check with a PATH", "", "", {"--check", "l.csv", "a.gif"}, 2, "", ""},
        {"usage: --remove-checked without --out", "", "", {"--check", "l.csv", "--remove-checked"},
         2, "", ""},
        {"version", "", "", {"--version"}, 0, "emojitag-extract 1.0.0\n", ""},
        {"check: refused line, on standard output and the reader's message", "l.csv",
         "a.png,\"x\"\n", {"--check", "l.csv"}, 1,
         "1:a.png: skipped: not a .gif, .jpg or .jpeg name\n",
         "Error: 1:a.png: sfx not supported.\n"},
        {"check: the reader's input error, as emojitag prints it", "l.csv", "tiny.gif,\"x\n\n",
         {"--check", "l.csv"}, 1,
         "1:tiny.gif: skipped: the double quote before the text is not closed on the line\n"
         "2:: skipped: a blank line\n",
         "Error: 1: input error\nError: 2: input error\n"},
        {"check: missing image", "l.csv", "n.gif,\"<emoji><a>x</a></emoji>\"\n",
         {"--check", "l.csv"}, 1, "1:n.gif: not found\n", ""},
        {"check: malformed image", "l.csv", "l.csv.gif,\"<emoji><a>x</a></emoji>\"\n",
         {"--check", "l.csv"}, 1, "1:l.csv.gif: malformed\n", ""},
        {"check: no emoji text", "l.csv", "tiny.gif,\"<emoji><a/></emoji>\"\n", {"--check", "l.csv"}, 1,
         "1:tiny.gif: no emoji text\n", ""},
        {"check: a text that is no emoji comment matches none", "l.csv", "tiny.jpg,\"no tag\"\n",
         {"--check", "l.csv"}, 0, "", ""},
        {"check: a text the GIF writer cannot keep", "l.csv", "tiny.gif,\"no tag\"\n",
         {"--check", "l.csv"}, 1,
         "1:tiny.gif: a GIF comment cannot keep the whole text: each piece between tag ends "
         "must fit in 255 bytes\n", ""},
    };
    // clang-format on
    for (const ExtractCase &c : cases) {
        TempDir dir;
        writeFile(dir / "tiny.gif", gif);
        writeFile(dir / "tiny.jpg", testData("tiny.jpg"));
        writeFile(dir / "l.csv.gif", "GIF89a");
        if (!c.file.empty()) writeFile(dir / c.file, c.data);
        RunResult r = runExtract(c.args, dir.path());
        EXPECT_EQ(r.status, c.status) << c.why;
        EXPECT_EQ(r.out, c.out) << c.why;
        if (c.status == 2) {
            EXPECT_NE(r.err.find("usage: emojitag-extract"), std::string::npos) << c.why;
        } else {
            EXPECT_EQ(r.err, c.err) << c.why;
        }
    }
}

// --table: a row per picture, a column per field, cells as spreadsheets
// write them; what the table cannot carry is reported and its row left out.
TEST(Extract, TableOfThePictures) {
    const std::string e = "emojitag-extract: ";
    const std::string bom = "\xef\xbb\xbf";
    const std::string head = "file,yomi1,hyoki1,hinsi1,category1,type,tag1,tagcont";
    const std::string cp932Head = head + "\r\n";
    struct Picture {
        std::string name;
        std::string text;  // none when empty
    };
    struct TableCase {
        const char *why;
        std::vector<Picture> pictures;
        std::vector<std::string> args;  // after --table
        int status;
        std::string out;
        std::string err;
    };
    // clang-format off
    const TableCase cases[] = {
        {"the template's fields, a further one after them, a mark and CR LF",
         {{"a.jpg", "<emoji><yomi1>a</yomi1><yomi2>b</yomi2></emoji>"}}, {"a.jpg"}, 0,
         bom + head + ",yomi2\r\na.jpg,a,,,,,,,b\r\n", ""},
        {"elements out of the columns' order are kept whole: read back, the text is the same",
         {{"a.jpg", "<emoji><yomi2>b</yomi2><yomi1>a</yomi1></emoji>"}}, {"a.jpg"}, 0,
         bom + head + ",emoji\r\na.jpg,,,,,,,,<emoji><yomi2>b</yomi2><yomi1>a</yomi1></emoji>\r\n",
         e + "a.jpg: not a plain sequence of elements in the table's column order: the whole text "
             "in column emoji\n"},
        {"a picture without text: empty cells, in the listing's order",
         {{"b.jpg", ""}, {"a.jpg", "<emoji><tag1>x</tag1></emoji>"}}, {"."}, 0,
         bom + head + "\r\n./a.jpg,,,,,,x,\r\n./b.jpg,,,,,,,\r\n", ""},
        {"a comma, a quote and a blank end are quoted; escapes are characters",
         {{"a.jpg", "<emoji><yomi1> a</yomi1><type>&lt;&amp;</type><tag1>1, \"2\"</tag1></emoji>"}},
         {"a.jpg"}, 0, bom + head + "\r\na.jpg,\" a\",,,,<&,\"1, \"\"2\"\"\",\r\n", ""},
        {"a text that is no plain sequence of elements: whole in the last column",
         {{"a.jpg", "<EMOJI>x, y</EMOJI>"}, {"b.jpg", "<emoji><yomi1>a</yomi1></emoji>"}},
         {"a.jpg", "b.jpg"}, 0,
         bom + head + ",emoji\r\na.jpg,,,,,,,,\"<EMOJI>x, y</EMOJI>\"\r\nb.jpg,a,,,,,,,\r\n",
         e + "a.jpg: not a plain sequence of elements in the table's column order: the whole text "
             "in column emoji\n"},
        {"a field twice cannot take one cell", {{"a.jpg", "<emoji><a>1</a><a>2</a></emoji>"}},
         {"a.jpg"}, 0, bom + head + ",emoji\r\na.jpg,,,,,,,,<emoji><a>1</a><a>2</a></emoji>\r\n",
         e + "a.jpg: not a plain sequence of elements in the table's column order: the whole text "
             "in column emoji\n"},
        {"--cp932: names and values in CP932, no mark",
         {{"\xe3\x81\xad.jpg", "<emoji><yomi1>\xe7\x8c\xab</yomi1></emoji>"}},
         {"--cp932", "\xe3\x81\xad.jpg"}, 0, cp932Head + "\x82\xcb.jpg,\x94\x4c,,,,,,\r\n", ""},
        {"--cp932: a value without CP932 form leaves its row out",
         {{"a.jpg", "<emoji><yomi1>\xe0\xb8\x81</yomi1></emoji>"}, {"b.jpg", ""}},
         {"--cp932", "a.jpg", "b.jpg"}, 1, cp932Head + "b.jpg,,,,,,,\r\n",
         e + "a.jpg: characters not in CP932; no row for this picture\n"},
        {"--cp932: a name without CP932 form leaves its row out",
         {{"\xe0\xb8\x81.jpg", "<emoji><yomi1>a</yomi1></emoji>"}, {"b.jpg", ""}},
         {"--cp932", "\xe0\xb8\x81.jpg", "b.jpg"}, 1, cp932Head + "b.jpg,,,,,,,\r\n",
         e + "\xe0\xb8\x81.jpg: name has characters not in CP932\n"},
        {"a UTF-8 table keeps a UTF-8 name, and a CP932 one in UTF-8",
         {{"\xe3\x81\xad.jpg", ""}, {"\x94\x4c.jpg", ""}}, {"\xe3\x81\xad.jpg", "\x94\x4c.jpg"}, 0,
         bom + head + "\r\n\xe3\x81\xad.jpg,,,,,,,\r\n\xe7\x8c\xab.jpg,,,,,,,\r\n", ""},
        {"a value with a line end is no list value: reported, row left out",
         {{"a.jpg", "<emoji><tag1>1\r\n2</tag1></emoji>"}, {"b.jpg", "<emoji><a>b</a></emoji>"}},
         {"a.jpg", "b.jpg"}, 1, bom + head + ",a\r\nb.jpg,,,,,,,,b\r\n",
         e + "a.jpg: tag1: value holds a line break; no row for this picture\n"},
        {"a whole text with a line end too", {{"a.jpg", "<EMOJI>\n</EMOJI>"}}, {"a.jpg"}, 1,
         bom + head + "\r\n", e + "a.jpg: text holds a line break; no row for this picture\n"},
        {"a picture that cannot be read is reported as the listing does",
         {{"a.gif", "GIF89a"}}, {"a.gif"}, 1, bom + head + "\r\n", e + "a.gif: malformed GIF\n"},
        {"usage: with --check", {}, {"--check", "l.csv"}, 2, "", ""},
        {"usage: with --html", {}, {"--html", "s.html", "a.jpg"}, 2, "", ""},
        {"usage: with --raw-names", {}, {"--raw-names", "a.jpg"}, 2, "", ""},
        {"usage: with --cp932-names", {}, {"--cp932-names", "a.jpg"}, 2, "", ""},
    };
    // clang-format on
    for (const TableCase &c : cases) {
        TempDir dir;
        for (const Picture &p : c.pictures)
            writeFile(dir / p.name, p.name.find(".gif") != std::string::npos ? p.text
                                    : p.text.empty()                         ? testData("tiny.jpg")
                                                                             : jpgWith(p.text));
        std::vector<std::string> args{"--table"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        RunResult r = runExtract(args, dir.path());
        EXPECT_EQ(r.status, c.status) << c.why;
        EXPECT_EQ(r.out, c.out) << c.why;
        if (c.status == 2) {
            EXPECT_NE(r.err.find("--table takes no"), std::string::npos) << c.why << r.err;
        } else {
            EXPECT_EQ(r.err, c.err) << c.why;
        }
        // The same table through -o, in the place of an older one.
        if (c.status == 2 || c.out.empty()) continue;
        writeFile(dir / "set.csv", "old");
        args.insert(args.begin() + 1, {"-o", "set.csv"});
        r = runExtract(args, dir.path());
        EXPECT_EQ(r.status, c.status) << c.why;
        EXPECT_EQ(r.out, "") << c.why;
        bool headerOnly = c.out.find("\r\n") == c.out.size() - 2;
        EXPECT_EQ(readFile(dir / "set.csv"), headerOnly ? "old" : c.out) << c.why;
    }
}

// An output that cannot be written is reported with the system's reason.
TEST(Extract, WriteFailuresNameTheSystemsReason) {
    const std::string e = "emojitag-extract: ";
    struct WriteCase {
        const char *why;
        std::string command;  // after X=the program
        std::string err;
    };
    // clang-format off
    const WriteCase cases[] = {
        {"a full standard output", "$X a.jpg > /dev/full",
         e + "standard output: cannot write: No space left on device\n"},
        {"a sheet in a folder that is not there", "$X --html gone/s.html a.jpg",
         e + "gone/s.html: cannot write: No such file or directory\n"},
        {"a sheet cut short by the file size limit",
         "trap '' XFSZ; ulimit -f 1; $X --html s.html a.jpg",
         e + "s.html: cannot write: File too large\n"},
    };
    // clang-format on
    for (const WriteCase &c : cases) {
        TempDir dir;
        writeFile(dir / "a.jpg", jpgWith("<emoji>x</emoji>"));
        RunResult r = runShell("X=" + std::string(EXTRACT_BIN) + "; " + c.command, dir.path());
        EXPECT_EQ(r.status, 1) << c.why;
        EXPECT_EQ(r.err, c.err) << c.why;
        EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"a.jpg"}) << c.why;
    }
}

// With --cp932-names a name whose CP932 spelling names another file is not
// listed: read back, the name as written wins, and the line would tag that
// other file.
TEST(Extract, ACp932NameThatLeadsToAnotherFileIsNotListed) {
    TempDir dir;
    const std::string jpg = jpgWith("<emoji>x</emoji>");
    writeFile(dir / "\xe3\x81\xad.jpg", jpg);  // "ne" in UTF-8
    writeFile(dir / "\x82\xcb.jpg", jpg);      // the same in CP932
    RunResult r = runExtract({"--cp932-names", "\xe3\x81\xad.jpg"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "emojitag-extract: \xe3\x81\xad.jpg: CP932 name leads to another file\n");
}

// A GIF comment keeps only the pieces that fit its data blocks: the picture
// emojitag tagged carries part of the line's text, and the check says so.
TEST(Extract, CheckReportsAGifThatKeptPartOfItsText) {
    TempDir dir;
    writeFile(dir / "p.gif", testData("tiny.gif"));
    writeFile(dir / "l.csv",
              "p.gif,\"<emoji><a>x</a><b>" + std::string(300, 'y') + "</b></emoji>\"\n");
    RunResult r = runTool({"-o", "l.csv"}, dir.path());
    EXPECT_EQ(r.err, "Error: 1:p.gif: tag too long\n");
    r = runExtract({"--check", "l.csv"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "1:p.gif: a GIF comment cannot keep the whole text: each piece between tag ends "
              "must fit in 255 bytes\n1:p.gif: differs\n");
}

struct UnstorableCase {
    const char *why;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
    std::string file;  // a file the run leaves, and a piece it must hold
    std::string holds;
};

// A text that emojitag's GIF comment writer would store only in part, or not
// at all, gets no list line: emojitag -o would remove the old comment and put
// less (or nothing) in its place. Every mode says so; a JPEG keeps the same
// text whole.
TEST(Extract, TextsAGifCommentCannotStoreAgainAreNotListed) {
    const std::string cut =
        "a GIF comment cannot keep the whole text: each piece between tag ends must fit in 255 "
        "bytes";
    const std::string noTagEnd = "<emoji>no tag end at all";
    // An element of 300 bytes: no tag end within one sub-block.
    const std::string element = "<emoji><a>" + std::string(290, 'x') + "</a></emoji>";
    const std::string e = "emojitag-extract: ";
    const std::string ok = "ok.gif,\"<emoji><a>x</a></emoji>\"\n";
    // clang-format off
    const UnstorableCase cases[] = {
        {"no tag end at all: reported, no line", {"a.gif"}, 1, "", e + "a.gif: " + cut + "\n", "", ""},
        {"an element longer than a sub-block", {"b.gif"}, 1, "", e + "b.gif: " + cut + "\n", "", ""},
        {"a JPEG comment keeps the same text: listed", {"a.jpg"}, 0,
         "a.jpg,\"" + noTagEnd + "\"\n", "", "", ""},
        {"-o: the list holds the other pictures only", {"-o", "back.csv", "a.gif", "ok.gif", "b.gif"},
         1, "", e + "a.gif: " + cut + "\n" + e + "b.gif: " + cut + "\n", "back.csv", ok},
        {"--html: reported, its card flagged beside its text", {"--html", "s.html", "a.gif"}, 1, "",
         e + "a.gif: " + cut + "\n", "s.html",
         "<p class=\"flag\">" + cut + "</p><pre>&lt;emoji&gt;no tag end at all</pre>"},
        {"--check: the line that carries it is marked", {"--check", "l.csv"}, 1,
         "1:a.gif: " + cut + "\n", "", "", ""},
    };
    // clang-format on
    for (const UnstorableCase &c : cases) {
        TempDir dir;
        writeFile(dir / "a.gif", gifWith({noTagEnd}));
        writeFile(dir / "b.gif", gifWith({element.substr(0, 255), element.substr(255)}));
        writeFile(dir / "a.jpg", jpgWith(noTagEnd));
        writeFile(dir / "ok.gif", gifWith({"<emoji><a>x</a></emoji>"}));
        writeFile(dir / "l.csv", "a.gif,\"" + noTagEnd + "\"\n");
        RunResult r = runExtract(c.args, dir.path());
        EXPECT_EQ(r.status, c.status) << c.why;
        EXPECT_EQ(r.out, c.out) << c.why;
        EXPECT_EQ(r.err, c.err) << c.why;
        if (!c.file.empty()) {
            EXPECT_NE(readFile(dir / c.file).find(c.holds), std::string::npos) << c.why;
        }
    }
}

// The contact sheet sizes a JPEG's thumbnail by its frame header (tiny.jpg:
// 48 x 32, shown at twice that). A segment put before the frame, whose data
// would read as another size, is a frame only with a SOFn code.
struct FrameCase {
    const char *why;
    int code;  // of the segment put right after SOI
    std::string img;
};

TEST(Extract, SheetSizesAJpegByItsFrameHeader) {
    const std::string tiny = "width=\"96\" height=\"64\" class=\"px\"";
    const std::string square = "width=\"128\" height=\"128\" class=\"px\"";
    const FrameCase cases[] = {
        {"Huffman tables (0xC4) are no frame", 0xC4, tiny},
        {"reserved JPG code (0xC8) is no frame", 0xC8, tiny},
        {"arithmetic conditioning (0xCC) is no frame", 0xCC, tiny},
        {"a comment is passed over", 0xFE, tiny},
        {"a progressive frame (0xC2) comes first: its size is taken", 0xC2, square},
        {"a lossless frame (0xC3) likewise", 0xC3, square},
    };
    for (const FrameCase &c : cases) {
        TempDir dir;
        // Precision 8, then height and width 16: an 8 x 8 thumbnail box.
        std::string data = bytes({0x08, 0x00, 0x10, 0x00, 0x10, 0x01, 0x01, 0x11, 0x00});
        std::string segment = bytes({0xFF, c.code, 0x00, int(data.size() + 2)}) + data;
        writeFile(dir / "a.jpg", testData("tiny.jpg").insert(2, segment));
        RunResult r = runExtract({"--html", "s.html", "a.jpg"}, dir.path());
        EXPECT_EQ(r.err, "emojitag-extract: a.jpg: no emoji text\n") << c.why;
        EXPECT_NE(readFile(dir / "s.html").find(c.img), std::string::npos) << c.why;
    }
}

struct WalkCase {
    const char *why;
    std::string setup;  // shell commands in a directory that holds tagged.jpg
    std::string command;
    int status;
    std::string out;
    std::string err;
};

// The walk of a PATH that names a directory: every entry in byte order, each
// directory walked once in the run, links followed, the tree's depth bounded
// by the path length and not by the machine stack.
TEST(Extract, WalksEachDirectoryOnceInByteOrder) {
    const std::string e = "emojitag-extract: ";
    const std::string extract = std::string("'") + EXTRACT_BIN + "'";
    auto line = [](const std::string &path) { return path + ",\"<emoji>x</emoji>\"\n"; };
    std::string deep = "t";
    for (int level = 0; level < 2040; level++)
        deep += "/d";
    // Below a directory path of 3844 bytes an entry name of 250 bytes is the
    // longest that fits in 4095.
    std::string longDir = "t/long";
    for (int level = 0; level < 19; level++)
        longDir += "/" + std::string(200, 'd');
    longDir += "/" + std::string(18, 'e');
    // clang-format off
    const WalkCase cases[] = {
        {"byte order at every level, a directory where its name sorts",
         "mkdir -p t/a t/B && cp tagged.jpg t/a.jpg && cp tagged.jpg t/a/x.jpg && "
         "cp tagged.jpg t/B/y.jpg && cp tagged.jpg t/Z.jpg && touch t/note.txt",
         extract + " t", 0, line("t/B/y.jpg") + line("t/Z.jpg") + line("t/a/x.jpg") + line("t/a.jpg"),
         ""},
        {"a link cycle and a second way into a directory are walked once",
         "mkdir -p t/a t/b && cp tagged.jpg t/a/x.jpg && ln -s .. t/a/up && ln -s ../a t/b/again",
         extract + " t", 0, line("t/a/x.jpg"), ""},
        {"a directory named again is not walked again",
         "mkdir -p t/a && cp tagged.jpg t/a/x.jpg", extract + " t t/a t", 0, line("t/a/x.jpg"), ""},
        {"a dangling link is reported only when named like an image",
         "mkdir t && ln -s none t/gone.jpg && ln -s none t/gone.txt", extract + " t", 1, "",
         e + "t/gone.jpg: cannot open\n"},
        {"a path of 4095 bytes is listed, one past it reported with its directory",
         "d=$PWD && mkdir -p " + longDir + " && cd " + longDir + " && cp \"$d/tagged.jpg\" " +
             std::string(246, 'g') + ".jpg && touch " + std::string(251, 'k'),
         extract + " t", 1, line(longDir + "/" + std::string(246, 'g') + ".jpg"),
         e + longDir + ": name too long\n"},
        {"a tree deeper than a recursive walk would take under a small stack",
         "mkdir -p " + deep + " && cp tagged.jpg " + deep + "/x.jpg",
         "ulimit -s 256 && exec " + extract + " t", 0, line(deep + "/x.jpg"), ""},
    };
    // clang-format on
    for (const WalkCase &c : cases) {
        TempDir dir;
        writeFile(dir / "tagged.jpg", jpgWith("<emoji>x</emoji>"));
        ASSERT_EQ(runShell(c.setup, dir.path()).status, 0) << c.why;
        RunResult r = runShell(c.command, dir.path());
        EXPECT_EQ(r.status, c.status) << c.why;
        EXPECT_EQ(r.out, c.out) << c.why;
        EXPECT_EQ(r.err, c.err) << c.why;
    }
}

// A directory's entries in the order of their names' characters (code
// points, not the bytes of a code page) with numbers by value, the same on
// every platform: ASCII, hiragana, full-width and half-width forms, numbers
// of several lengths and with leading zeros, directories among them.
TEST(Extract, WalksNamesInTheOrderOfTheirCharactersAndNumbers) {
    TempDir dir;
    writeFile(dir / "tagged.jpg", jpgWith("<emoji>x</emoji>"));
    const std::vector<std::string> inOrder = {
        "a.jpg",      "d9/x.jpg",         "d10/x.jpg",        "e_239.jpg",       "e_0239.jpg",
        "e_2279.jpg", "\xE3\x81\x82.jpg", "\xEF\xBC\xA1.jpg", "\xEF\xBD\xB1.jpg"};
    runShell("mkdir t t/d9 t/d10", dir.path());
    std::string expected;
    // Created in reverse, so that no file system hands them over in order.
    for (auto it = inOrder.rbegin(); it != inOrder.rend(); ++it)
        writeFile(dir / ("t/" + *it), readFile(dir / "tagged.jpg"));
    for (const std::string &name : inOrder)
        expected += "t/" + name + ",\"<emoji>x</emoji>\"\n";
    RunResult r = runShell(std::string("'") + EXTRACT_BIN + "' --raw-names t", dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
}

}  // namespace
