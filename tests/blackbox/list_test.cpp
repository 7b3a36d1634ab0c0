// emojitag-list: a template filled in and saved as spreadsheets and editors
// save it becomes a list that emojitag embeds and that comes back, through
// emojitag-extract and --template, field for field; every value the list
// cannot carry is refused with its line and field; --check names every line
// that emojitag would store otherwise than it says.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testsupport;

namespace {

// One field line of a group: the field's name and its value (UTF-8 here).
struct Field {
    std::string name;
    std::string value;
};

struct Picture {
    const char *why;
    std::string path;  // as on disk, UTF-8
    std::vector<Field> fields;
};

std::vector<Field> standard(const std::vector<Field> &filled) {
    std::vector<Field> fields;
    for (const char *f : {"yomi1", "hyoki1", "hinsi1", "category1", "type", "tag1", "tagcont"}) {
        fields.push_back({f, ""});
        for (const Field &x : filled)
            if (x.name == f) fields.back().value = x.value;
    }
    return fields;
}

// 77 kana and two letters: 233 bytes, all a GIF's first field may hold.
std::string gifLimitValue() {
    std::string v = "ab";
    for (int i = 0; i < 77; i++)
        v += "\xe3\x81\x82";
    return v;
}

// The pictures, named so that emojitag-extract lists them in this order.
std::vector<Picture> pictures() {
    std::vector<Field> yomi2 = standard({{"yomi1", "いぬ"}, {"hyoki1", "犬"}});
    yomi2.insert(yomi2.begin() + 1, {"yomi2", "イヌ"});
    return {
        {"kana and kanji", "pics/a1.jpg", standard({{"yomi1", "ねこ"}, {"hyoki1", "猫"}})},
        {"doubled quotes", "pics/a2.gif", standard({{"tag1", "彼は\"かわいい\"と言った"}})},
        {"commas in a value", "pics/a3.jpg", standard({{"tagcont", "小さい, 白い,丸い"}})},
        {"& < > come back as characters", "pics/a4.gif",
         standard({{"tag1", "<b>&amp;</b> & more"}})},
        {"half-width katakana", "pics/a5.gif", standard({{"yomi1", "ﾈｺ ｶﾞ ｲﾙ"}})},
        {"NEC and IBM duplicates", "pics/a6.jpg", standard({{"hyoki1", "纊Ⅰ∵￢"}})},
        {"an added yomi2 after yomi1", "pics/a7.jpg", yomi2},
        {"one field of seven", "pics/a8.jpg", standard({{"category1", "動物"}})},
        {"a GIF value at its limit", "pics/a9.gif", standard({{"yomi1", gifLimitValue()}})},
        {"a Japanese name whose trail byte is a backslash", "pics/表ソ.gif",
         standard({{"hyoki1", "表"}})},
    };
}

// How a program saves the template: CP932 or UTF-8 (with or without its
// mark), CR LF or LF, fields quoted when needed or all of them, trailing
// empty columns.
struct Style {
    const char *why;
    bool cp932;
    bool bom;
    const char *lineEnd;
    bool quoteAll;
    bool emptyColumns;
};

std::string quoted(const std::string &s, bool always) {
    if (!always && s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

std::string templateText(const std::vector<Picture> &pics, const Style &style) {
    std::string text;
    for (const Picture &p : pics) {
        bool first = true;
        for (const Field &f : p.fields) {
            std::string name = first ? quoted(p.path, style.quoteAll) : "";
            text += name + "," + quoted(f.name, style.quoteAll);
            if (!f.value.empty()) {
                text += "," + quoted(f.value, style.quoteAll);
            } else if (style.emptyColumns) {
                text += ",";
            }
            text += style.lineEnd;
            first = false;
        }
    }
    return text;
}

// The template as --template --utf-8 writes it back.
std::string expectedBack(const std::vector<Picture> &pics) {
    Style plain{"", false, false, "\n", false, false};
    return "\xef\xbb\xbf" + templateText(pics, plain);
}

std::string toCp932(const std::string &utf8, const TempDir &dir) {
    writeFile(dir / "utf8.txt", utf8);
    return runShell("iconv -f UTF-8 -t CP932 utf8.txt", dir.path()).out;
}

// The CP932 spellings a Windows program may have written for the duplicated
// characters: the NEC-selected IBM 纊, the IBM Ⅰ, NEC's ∵, the
// NEC-selected IBM ￢ (glibc's iconv writes the preferred ones).
std::string withDuplicates(std::string cp932) {
    std::string preferred = "\xfa\x5c\x87\x54\x81\xe6\x81\xca";
    size_t at = cp932.find(preferred);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos)
        cp932.replace(at, preferred.size(), "\xed\x40\xfa\x4a\x87\x9a\xee\xf9");
    return cp932;
}

TEST(List, TemplateSavedAsSpreadsheetsSaveItComesBackFieldForField) {
    const Style styles[] = {
        {"Excel, CSV (Comma delimited): CP932, CR LF", true, false, "\r\n", false, true},
        {"Excel, CSV UTF-8: byte-order mark, CR LF", false, true, "\r\n", false, true},
        {"LibreOffice, all text cells quoted: UTF-8, LF", false, false, "\n", true, false},
        {"an editor: UTF-8, LF, nothing quoted but what must be", false, false, "\n", false, false},
    };
    std::vector<Picture> pics = pictures();
    for (const Style &style : styles) {
        TempDir dir;
        runShell("mkdir pics", dir.path());
        for (const Picture &p : pics)
            writeFile(dir / p.path,
                      testData(p.path.find(".gif") != std::string::npos ? "tiny.gif" : "tiny.jpg"));
        std::string text = templateText(pics, style);
        if (style.cp932) text = withDuplicates(toCp932(text, dir));
        if (style.bom) text = "\xef\xbb\xbf" + text;
        writeFile(dir / "template.csv", text);

        RunResult r = runList({"-o", "list.csv", "template.csv"}, dir.path());
        EXPECT_EQ(r.status, 0) << style.why;
        EXPECT_EQ(r.err, "") << style.why;
        r = runList({"--check", "list.csv"}, dir.path());
        EXPECT_EQ(r.out + r.err, "") << style.why;
        r = runTool({"-o", "list.csv"}, dir.path());
        EXPECT_EQ(r.err, "") << style.why;
        r = runExtract({"--check", "list.csv"}, dir.path());
        EXPECT_EQ(r.out + r.err, "") << style.why;
        r = runShell(std::string(EXTRACT_BIN) + " pics | " + LIST_BIN + " --template --utf-8 -",
                     dir.path());
        EXPECT_EQ(r.status, 0) << style.why << r.err;
        EXPECT_EQ(r.out, expectedBack(pics)) << style.why;
        // The CP932 template of the same list reads as the same texts.
        runShell(std::string(EXTRACT_BIN) + " pics | " + LIST_BIN + " --template -o back.csv -",
                 dir.path());
        r = runList({"-o", "again.csv", "back.csv"}, dir.path());
        EXPECT_EQ(r.status, 0) << style.why << r.err;
        EXPECT_EQ(readFile(dir / "again.csv"), readFile(dir / "list.csv")) << style.why;
    }
}

struct Refusal {
    const char *why;
    std::string tmpl;  // the template, written as template.csv
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

std::string repeat(const std::string &s, int n) {
    std::string r;
    for (int i = 0; i < n; i++)
        r += s;
    return r;
}

TEST(List, EachValueTheListCannotCarryIsRefusedWithItsLineAndField) {
    const std::string e = "emojitag-list: template.csv:";
    const std::string no = "; no line for this picture\n";
    const std::vector<std::string> plain{"template.csv"};
    const std::string good = "ok.jpg,yomi1,x\n";
    const std::string goodLine = "ok.jpg,\"<emoji><yomi1>x</yomi1></emoji>\"\n";
    // clang-format off
    const Refusal cases[] = {
        {"a character not in CP932", "a.jpg,yomi1,x\n,tag1,😀と😀\n" + good, plain, 1, goodLine,
         e + "2: a.jpg: tag1: \"😀\" (U+1F600) is not in CP932 (and 1 more in this value)" + no},
        {"a character CP932 changes", "a.jpg,hyoki1,café\n", plain, 1, "",
         e + "1: a.jpg: hyoki1: \"é\" (U+00E9) becomes \"e\" in CP932" + no},
        {"a line break in a quoted value", "a.jpg,tag1,\"a\r\nb\"\r\n", plain, 1, "",
         e + "1: a.jpg: tag1: the value holds a line break" + no},
        {"a zero byte", std::string("a.jpg,tag1,a") + '\0' + "b\n", plain, 1, "",
         e + "1: a.jpg: tag1: the value holds a zero byte" + no},
        {"a GIF value one byte too long", "a.gif,yomi1,abc" + repeat("あ", 77) + "\n", plain, 1,
         "", e + "1: a.gif: yomi1: value too long for a GIF: 234 bytes in UTF-8, at most 233 in this field" + no},
        {"a GIF value counts its escapes", "a.gif,yomi1,x\n,tagcont,&" + repeat("x", 232) + "\n",
         plain, 1, "", e + "2: a.gif: tagcont: value too long for a GIF: 237 bytes in UTF-8, at most 236 in this field" + no},
        {"a line longer than emojitag reads", "a.jpg,tag1," + repeat("x", 32760) + "\n", plain, 1,
         "", e + "1: a.jpg: the list line would be 32797 bytes, more than the 32767 emojitag reads" + no},
        {"more characters than emojitag converts", "a.jpg,tag1," + repeat("x", 16400) + "\n",
         plain, 1, "", e + "1: a.jpg: the text would be 16428 characters, more than the 16385 emojitag converts" + no},
        {"not a field name", "a.jpg,yomi 1,x\n", plain, 1, "",
         e + "1: a.jpg: \"yomi 1\": not a field name (letters, digits and _, not emoji)" + no},
        {"emoji is no field name", "a.jpg,EMOJI,x\n", plain, 1, "",
         e + "1: a.jpg: \"EMOJI\": not a field name (letters, digits and _, not emoji)" + no},
        {"a value without a field name", "a.jpg,yomi1,x\n,,y\n", plain, 1, "",
         e + "2: a.jpg: a value without a field name" + no},
        {"a field before any picture", ",yomi1,x\n" + good, plain, 1, goodLine,
         e + "1: yomi1: a field before the first picture's name\n"},
        {"not a picture's name", "a.png,yomi1,x\n", plain, 1, "",
         e + "1: a.png: not a .gif, .jpg or .jpeg name" + no},
        {"a byte-order mark inside the first name", "\"\xef\xbb\xbf" "a.jpg\",yomi1,x\n", plain, 1,
         "", e + "1: \xef\xbb\xbf" "a.jpg: the name begins with a byte-order mark" + no},
        {"a comma in the name", "\"a,b.jpg\",yomi1,x\n", plain, 1, "",
         e + "1: a,b.jpg: a list line cannot hold this name (a comma, a line break or a leading blank)" + no},
        {"text after a closing quote", "a.jpg,tag1,\"a\"b\n", plain, 1, "",
         e + "1: a.jpg: tag1: text after a closing double quote" + no},
        {"a column after a quoted value", "a.jpg,tag1,\"a\",b\n", plain, 1, "",
         e + "1: a.jpg: tag1: text in a column after the value: \"b\"" + no},
        {"a quote open at the end", "a.jpg,tag1,\"a\n", plain, 1, "",
         e + "1: a.jpg: tag1: a double quote is not closed before the end of the file" + no},
        {"bytes not in CP932", "a.jpg,tag1,\x82\xa0\x85\x40\n", plain, 1, "",
         e + "1: a.jpg: tag1: bytes that are not CP932: 0x85 0x40" + no},
        {"bytes not in UTF-8, --from utf-8", "a.jpg,tag1,\x82\xa0\n", {"--from", "utf-8", "template.csv"},
         1, "", e + "1: a.jpg: tag1: bytes that are not UTF-8: 0x82" + no},
        {"UTF-8 but for one byte", "a.jpg,yomi1,ねこねこ\n,tag1,\xff\n", plain, 1, "",
         "emojitag-list: template.csv: the template is UTF-8 but for bytes on line 2: save it again, or name its encoding with --from\n"},
        {"UTF-16", "\xff\xfe" "a\0", plain, 1, "",
         "emojitag-list: template.csv: the template is in UTF-16: save it as CSV, in UTF-8 or CP932\n"},
        {"a name not in CP932: written", "\xe0\xb8\x81.jpg,yomi1,x\n", plain, 0,
         "\xe0\xb8\x81.jpg,\"<emoji><yomi1>x</yomi1></emoji>\"\n",
         e + "1: \xe0\xb8\x81.jpg: the name is not in CP932: written as it stands\n"},
        {"a UTF-8 name: written in CP932", "ね.jpg,yomi1,x\n", plain, 0,
         "\x82\xcb.jpg,\"<emoji><yomi1>x</yomi1></emoji>\"\n", ""},
        {"no field filled in: no line", "a.jpg,yomi1\n,hyoki1,\n" + good, plain, 0, goodLine, ""},
        {"fields named twice, rows sorted apart: said once for the group",
         "a.gif,yomi1,a\nb.gif,yomi1,b\n,hyoki1,B\n,hyoki1,A\n,tag1\n,tag1\n" + good, plain, 1,
         "a.gif,\"<emoji><yomi1>a</yomi1></emoji>\"\n" + goodLine,
         e + "4: b.gif: hyoki1: the field is named twice in this picture's group (lines 3 and 4)" + no},
        {"a field named twice, empty both times", "a.jpg,yomi1,x\n,tag1\n,tag1,\n", plain, 1, "",
         e + "3: a.jpg: tag1: the field is named twice in this picture's group (lines 2 and 3)" + no},
        {"an unquoted comma: a note in the next column", "a.jpg,yomi1,ねこ,確認済み\n", plain, 1, "",
         e + "1: a.jpg: yomi1: text in a column after the value: \"確認済み\"" + no},
        {"text after empty columns", "a.jpg,yomi1,x\n,tag1,y,,\"\",z,w\n", plain, 1, "",
         e + "2: a.jpg: tag1: text in a column after the value: \"z\"" + no},
        {"empty columns after a value, as Excel pads rows", "ok.jpg,yomi1,x,,\r\n,tag1,,\"\"\r\n", plain, 0,
         goodLine, ""},
        {"a missing template", "", {"none.csv"}, 1, "", "emojitag-list: none.csv: cannot open\n"},
    };
    // clang-format on
    for (const Refusal &c : cases) {
        TempDir dir;
        writeFile(dir / "template.csv", c.tmpl);
        RunResult r = runList(c.args, dir.path());
        EXPECT_EQ(r.status, c.status) << c.why;
        EXPECT_EQ(r.out, c.out) << c.why;
        EXPECT_EQ(r.err, c.err) << c.why;
    }
}

TEST(List, ACp932SpellingThatNamesAnotherFileKeepsTheNameAsItStands) {
    TempDir dir;
    writeFile(dir / "ね.jpg", "");
    writeFile(dir / "\x82\xcb.jpg", "");  // the same name in CP932
    writeFile(dir / "template.csv", "ね.jpg,yomi1,x\n");
    RunResult r = runList({"template.csv"}, dir.path());
    EXPECT_EQ(r.out, "ね.jpg,\"<emoji><yomi1>x</yomi1></emoji>\"\n");
    EXPECT_EQ(r.err,
              "emojitag-list: template.csv:1: ね.jpg: the CP932 spelling of the name names another "
              "file: written as it stands\n");
}

TEST(List, UsageErrorsLeaveEveryFileAlone) {
    const std::vector<std::vector<std::string>> cases = {
        {"-o", "list.txt", "t.csv"},
        {"-o", "t.csv", "t.csv"},
        {"--from", "latin1", "t.csv"},
        {"pics/a.jpg"},
        {"t.csv", "u.csv"},
        {"-"},
        {"--check", "-o", "l.csv", "t.csv"},
        {"--utf-8", "t.csv"},
        {"-x", "t.csv"},
        {"-x\x1b[31m\n", "t.csv"},  // an argument as typed reaches no terminal raw
    };
    for (const std::vector<std::string> &args : cases) {
        TempDir dir;
        writeFile(dir / "t.csv", "a.jpg,yomi1,x\n");
        RunResult r = runList(args, dir.path());
        std::string line;
        for (const std::string &a : args)
            line += a + " ";
        EXPECT_EQ(r.status, 2) << line;
        EXPECT_NE(r.err.find("usage: emojitag-list"), std::string::npos) << line;
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << line;
        EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"t.csv"}) << line;
        EXPECT_EQ(readFile(dir / "t.csv"), "a.jpg,yomi1,x\n") << line;
    }
}

struct TemplateCase {
    const char *why;
    std::string list;
    std::string out;  // --template --utf-8, after the byte-order mark
    std::string err;
};

TEST(List, TemplateOfAListWritesOnlyWhatComesBackTheSame) {
    const std::string e = "emojitag-list: l.csv:1: a.jpg: ";
    const std::string empty7 = ",hyoki1\n,hinsi1\n,category1\n,type\n,tag1\n,tagcont\n";
    const std::string notSimple =
        "the text is not an <emoji> element of simple elements: left out\n";
    // clang-format off
    const TemplateCase cases[] = {
        {"quoted as spreadsheets expect", "a.jpg,<emoji><yomi1>\"a,b\"</yomi1></emoji>\n",
         "a.jpg,yomi1,\"\"\"a,b\"\"\"\n" + empty7, ""},
        {"standard fields out of order keep it", "a.jpg,\"<emoji><hyoki1>b</hyoki1><yomi1>a</yomi1></emoji>\"\n",
         "a.jpg,hyoki1,b\n,yomi1,a\n,hinsi1\n,category1\n,type\n,tag1\n,tagcont\n", ""},
        {"a blank between elements", "a.jpg,\"<emoji> <a>x</a></emoji>\"\n", "", e + notSimple},
        {"a bare &", "a.jpg,\"<emoji><a>x&y</a></emoji>\"\n", "", e + notSimple},
        {"an empty element", "a.jpg,\"<emoji><a></a></emoji>\"\n", "", e + notSimple},
        {"upper-case EMOJI", "a.jpg,\"<EMOJI><a>x</a></EMOJI>\"\n", "", e + notSimple},
        {"bytes not in CP932", "a.jpg,\"<emoji><a>\x85\x40</a></emoji>\"\n", "",
         e + "bytes that are not CP932: left out\n"},
        {"a line emojitag skips", "a.png,\"x\"\n", "",
         "emojitag-list: l.csv:1: skipped: not a .gif, .jpg or .jpeg name\n"},
        {"an element twice: its group would be refused when read back",
         "a.jpg,<emoji><tag1>x</tag1><tag1>y</tag1></emoji>\n", "",
         e + "the text has an element twice, which a template group cannot: left out\n"},
    };
    // clang-format on
    for (const TemplateCase &c : cases) {
        TempDir dir;
        writeFile(dir / "l.csv", c.list);
        RunResult r = runList({"--template", "--utf-8", "l.csv"}, dir.path());
        EXPECT_EQ(r.status, c.err.empty() ? 0 : 1) << c.why;
        EXPECT_EQ(r.out, "\xef\xbb\xbf" + c.out) << c.why;
        EXPECT_EQ(r.err, c.err) << c.why;
    }
}

struct Finding {
    const char *why;
    std::string line;  // a line of the list
    std::string out;   // what --check prints for it (the number put in front)
};

TEST(List, CheckNamesEachLineEmojitagWouldStoreOtherwise) {
    const std::string keepGif =
        "a GIF comment cannot keep the whole text: each piece between tag ends must fit in 255 "
        "bytes";
    // clang-format off
    const Finding cases[] = {
        {"a byte-order mark on line 1", "\xef\xbb\xbf" "p.jpg,\"<emoji><a>x</a></emoji>\"\n",
         ":p.jpg: the list begins with a byte-order mark, taken as part of the name\n"
         ":p.jpg: not found\n"},
        {"a good line", "p.jpg,\"<emoji><a>x</a></emoji>\"\r\n", ""},
        {"a good unquoted line", "p.gif,<emoji><a>\"x\"</a></emoji>\n", ""},
        {"a blank line", "\r\n", ":: skipped: a blank line\n"},
        {"no comma", "p.jpg\n", ":: skipped: no comma after the name\n"},
        {"no suffix", "p,\"x\"\n", ":p: skipped: the name has no suffix\n"},
        {"not a picture", "p.png,\"x\"\n", ":p.png: skipped: not a .gif, .jpg or .jpeg name\n"},
        {"an open quote", "p.jpg,\"<emoji>\n",
         ":p.jpg: skipped: the double quote before the text is not closed on the line\n"},
        {"a doubled quote", "p.jpg,\"<emoji><a>\"\"x\"\"</a></emoji>\"\n",
         ":p.jpg: text after the closing double quote is dropped\n"},
        {"a CR inside", "p.jpg,<emoji><a>x\ry</a></emoji>\n",
         ":p.jpg: a carriage return within the text ends it\n"},
        {"an empty text", "p.jpg,\r\n", ":p.jpg: no text: emojitag stores the line end as the text\n"},
        {"a UTF-8 list", "p.jpg,\"<emoji><a>ねこ</a></emoji>\"\n",
         ":p.jpg: the list looks like UTF-8: emojitag reads CP932\n"},
        {"bytes not in CP932", "p.jpg,\"<emoji><a>\x85\x40</a></emoji>\"\n",
         ":p.jpg: bytes that are not CP932 are stored as ?\n"},
        {"a zero byte", std::string("p.jpg,<emoji><a>x") + '\0' + "y</a></emoji>\n",
         ":p.jpg: a zero byte ends the line early\n"},
        {"a GIF piece over 255 bytes", "p.gif,\"<emoji><a>" + repeat("x", 250) + "</a></emoji>\"\n",
         ":p.gif: " + keepGif + "\n"},
        {"a missing picture", "none.gif,\"<emoji><a>x</a></emoji>\"\n", ":none.gif: not found\n"},
        {"a directory", "d.jpg,\"<emoji><a>x</a></emoji>\"\n", ":d.jpg: not a regular file\n"},
        {"more characters than emojitag converts", "p.jpg," + repeat("x", 16400) + "\n",
         ":p.jpg: text longer than 16385 characters: the rest is dropped\n"},
    };
    // clang-format on
    TempDir dir;
    writeFile(dir / "p.jpg", testData("tiny.jpg"));
    writeFile(dir / "p.gif", testData("tiny.gif"));
    runShell("mkdir d.jpg", dir.path());
    std::string list;
    std::string expected;
    int n = 0;
    for (const Finding &c : cases) {
        list += c.line;
        ++n;
        for (const std::string &l : splitLines(c.out))
            expected += std::to_string(n) + l;
    }
    // A line longer than the reader's pieces, last: the rest counts as lines.
    list += "p.jpg," + repeat("x", 40000) + "\n";
    expected += std::to_string(++n) +
                ":p.jpg: longer than 32767 bytes: the rest is read as further lines\n";
    expected +=
        std::to_string(n) + ":p.jpg: text longer than 16385 characters: the rest is dropped\n";
    expected += std::to_string(++n) + ":: skipped: no comma after the name\n";
    writeFile(dir / "l.csv", list);
    RunResult r = runList({"--check", "l.csv"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
}

struct Reading {
    const char *why;
    std::string command;  // through the shell: $L is emojitag-list, $X emojitag-extract
    int status;
    std::string out;
    std::string err;
    std::string file;  // a file the command must leave holding `holds`
    std::string holds;
};

TEST(List, ATemplateReadsInTheEncodingItWasWrittenInAndAFileIsReplacedOnlyByContent) {
    // CP932 whose bytes are UTF-8 too (a kanji of lead 0xE3 and a half-width
    // katakana read as UTF-8 make "ね"), after a line that is ASCII.
    const std::string list =
        "b.jpg,\"<emoji><yomi1>x</yomi1></emoji>\"\n"
        "a.jpg,\"<emoji><yomi1>\xe3\x81\xad</yomi1></emoji>\"\n";
    const std::string listOut = "emojitag-list: gone/t.csv: cannot write: ";
    const std::string noDir = "No such file or directory\n";
    // "ﾎｱ" in CP932, "α" in UTF-8.
    const std::string both = "a.jpg,yomi1,\xce\xb1\n";
    const std::string taken =
        "emojitag-list: both.csv: reads as UTF-8 and as CP932; taken as UTF-8 (--from cp932 "
        "reads it as CP932)\n";
    // clang-format off
    const Reading cases[] = {
        {"a CP932 template whose bytes would read as UTF-8 reads back as it was written",
         "$L --template -o t.csv l.csv && $L t.csv", 0, list, "", "", ""},
        {"its note row quoted, with empty columns, as a spreadsheet saves it",
         "$L --template l.csv | LC_ALL=C sed '/^#/s/.*/\"&\",,/' > t.csv && $L t.csv", 0, list, "",
         "", ""},
        {"saved again in UTF-8 without a mark: read as UTF-8, to the same list",
         "$L --template l.csv | iconv -f CP932 -t UTF-8 > t.csv && $L t.csv", 0, list, "", "", ""},
        {"CP932 with kana, never UTF-8, gets no note row", "$L --template kana.csv", 0,
         "a.jpg,yomi1,\x82\xcb\n,hyoki1\n,hinsi1\n,category1\n,type\n,tag1\n,tagcont\n", "", "", ""},
        {"a file that reads both ways is taken as UTF-8, and says so", "$L both.csv", 0,
         "a.jpg,\"<emoji><yomi1>\x83\xbf</yomi1></emoji>\"\n", taken, "", ""},
        {"--from cp932 reads it as CP932, without a word", "$L --from cp932 both.csv", 0,
         "a.jpg,\"<emoji><yomi1>\xce\xb1</yomi1></emoji>\"\n", "", "", ""},
        {"a first cell of # that names a picture is a picture, not a note", "$L hash.csv", 0,
         "#a.jpg,\"<emoji><yomi1>x</yomi1></emoji>\"\n", "", "", ""},
        {"--template --utf-8 with nothing to write: the mark alone replaces nothing",
         "$L --template --utf-8 -o fix.csv empty.csv", 1, "",
         "emojitag-list: fix.csv: nothing to write, left as it was\n", "fix.csv", "hours of work\n"},
        {"a template that cannot be made names the system's reason",
         "$L --template -o gone/t.csv l.csv", 1, "", listOut + noDir, "", ""},
        {"a list that cannot be made names the system's reason",
         "$X -o gone/back.csv none.gif", 1, "",
         "emojitag-extract: gone/back.csv: cannot write: " + noDir, "", ""},
    };
    // clang-format on
    for (const Reading &c : cases) {
        TempDir dir;
        writeFile(dir / "l.csv", list);
        writeFile(dir / "kana.csv", "a.jpg,\"<emoji><yomi1>\x82\xcb</yomi1></emoji>\"\n");
        writeFile(dir / "both.csv", both);
        writeFile(dir / "hash.csv", "#a.jpg,yomi1,x\n");
        writeFile(dir / "empty.csv", "");
        writeFile(dir / "fix.csv", "hours of work\n");
        std::string command =
            "L=" + std::string(LIST_BIN) + "; X=" + EXTRACT_BIN + "; " + c.command;
        RunResult r = runShell(command, dir.path());
        EXPECT_EQ(r.status, c.status) << c.why;
        EXPECT_EQ(r.out, c.out) << c.why;
        EXPECT_EQ(r.err, c.err) << c.why;
        if (!c.file.empty()) {
            EXPECT_EQ(readFile(dir / c.file), c.holds) << c.why;
        }
    }
}

}  // namespace
