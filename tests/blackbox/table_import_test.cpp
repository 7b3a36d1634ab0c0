// emojitag-list SET.csv for a table (a header row, then one row per
// picture): every row with a value becomes the line a template would give,
// in the table's row order; every refusal names the row, the picture and
// the column and says that the picture gets no line.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testsupport;

namespace {

struct TableCase {
    const char *why;
    std::string table;  // written as set.csv
    bool toFile;        // -o l.csv, which brings the summary line
    int status;
    std::string out;  // the list, standard output or l.csv
    std::string err;
};

const std::string BOM = "\xef\xbb\xbf";
const std::string HEAD = "file,yomi1,hyoki1,tag1\r\n";
const std::string GOOD = "ok.jpg,x,,\r\n";
const std::string GOOD_LINE = "ok.jpg,\"<emoji><yomi1>x</yomi1></emoji>\"\n";
const std::string E = "emojitag-list: set.csv:";
const std::string NO_LINE = "; no line for this picture\n";

TEST(TableImport, EachRowBecomesItsLineAndEachRefusalNamesRowPictureAndColumn) {
    // clang-format off
    const TableCase cases[] = {
        {"a column header that is no field name refuses the table",
         "file,yomi1,yomi 1\r\n" + GOOD, false, 1, "",
         E + "1: column 3: \"yomi 1\": not a field name (letters, digits and _), emoji or a note (empty or #...); the table is not read\n"},
        {"a field named in two columns refuses the table",
         "file,yomi1,tag1,yomi1\r\n" + GOOD, false, 1, "",
         E + "1: column 4: \"yomi1\": also column 2; the table is not read\n"},
        {"a value not in CP932", HEAD + "a.jpg,x,,😀\r\n" + GOOD, false, 1, GOOD_LINE,
         E + "2: a.jpg: tag1: \"😀\" (U+1F600) is not in CP932" + NO_LINE},
        {"a picture in two rows: neither gets a line", HEAD + "a.gif,x,,\r\n" + GOOD + "a.gif,y,,\r\n",
         false, 1, GOOD_LINE,
         E + "2: a.gif: also in row 4" + NO_LINE + E + "4: a.gif: also in row 2" + NO_LINE},
        {"field cells and the emoji cell both filled", "file,yomi1,emoji\r\na.jpg,x,<emoji/>\r\n" + GOOD,
         false, 1, GOOD_LINE, E + "2: a.jpg: emoji: a whole text beside fields" + NO_LINE},
        {"a whole text in the emoji column is the line's text as it stands",
         "file,yomi1,emoji\r\na.gif,,\"<emoji> <yomi1>x</yomi1></emoji>\"\r\n", false, 0,
         "a.gif,\"<emoji> <yomi1>x</yomi1></emoji>\"\n", ""},
        {"a cell under no header", HEAD + "a.jpg,x,,,extra\r\n" + GOOD, false, 1, GOOD_LINE,
         E + "2: a.jpg: column 5: a cell under no header" + NO_LINE},
        {"text after a closing quote names its column", HEAD + "a.jpg,x,\"y\"z,\r\n" + GOOD, false,
         1, GOOD_LINE, E + "2: a.jpg: hyoki1: text after a closing double quote" + NO_LINE},
        {"a line break in a value", HEAD + "a.jpg,\"x\r\ny\",,\r\n" + GOOD, false, 1, GOOD_LINE,
         E + "2: a.jpg: yomi1: the value holds a line break" + NO_LINE},
        {"values but no picture's name", HEAD + ",x,,\r\n" + GOOD, false, 1, GOOD_LINE,
         E + "2: file: empty; the values of this row get no line\n"},
        {"empty trailing cells (a spreadsheet pads rows) are fine", HEAD + "ok.jpg,x,,,,,\r\n", false,
         0, GOOD_LINE, ""},
        {"notes, empty-headed and #-headed, are left out",
         "file,#checked,yomi1,,tag1\r\nok.jpg,done,x,see me,\r\n", false, 0, GOOD_LINE, ""},
        {"rows in another order: lines in the table's order, fields in the columns' order",
         "file,tag1,yomi1\r\nz.gif,t,y\r\na.jpg,,a\r\n", false, 0,
         "z.gif,\"<emoji><tag1>t</tag1><yomi1>y</yomi1></emoji>\"\na.jpg,\"<emoji><yomi1>a</yomi1></emoji>\"\n", ""},
        {"plain text cells: & < > and quotes escaped as the template escapes them",
         HEAD + "ok.jpg,\"<b>&amp;\",\"say \"\"hi\"\"\",\r\n", false, 0,
         "ok.jpg,<emoji><yomi1>&lt;b&gt;&amp;amp;</yomi1><hyoki1>say \"hi\"</hyoki1></emoji>\n", ""},
        {"UTF-8 with a mark", BOM + HEAD + "ね.jpg,ねこ,,\r\n", false, 0,
         "\x82\xcb.jpg,\"<emoji><yomi1>\x82\xcb\x82\xb1</yomi1></emoji>\"\n", ""},
        {"UTF-8 without a mark", HEAD + "ね.jpg,ねこ,,\r\n", false, 0,
         "\x82\xcb.jpg,\"<emoji><yomi1>\x82\xcb\x82\xb1</yomi1></emoji>\"\n", ""},
        {"a CP932 table with '?' in a value: warned, the line written",
         HEAD + "\x82\xcb.jpg,caf?,\x82\xcb,\r\n", false, 0,
         "\x82\xcb.jpg,\"<emoji><yomi1>caf?</yomi1><hyoki1>\x82\xcb</hyoki1></emoji>\"\n",
         E + "2: ね.jpg: yomi1: a character the spreadsheet could not save in CP932? save as CSV UTF-8\n"},
        {"the summary when writing a file: blank rows passed over, empty rows counted",
         HEAD + GOOD + "b.jpg,,,\r\n,,,\r\na.jpg,,,😀\r\n", true, 1, GOOD_LINE,
         E + "5: a.jpg: tag1: \"😀\" (U+1F600) is not in CP932" + NO_LINE +
             "emojitag-list: 3 pictures: 1 line, 1 empty, 1 refused\n"},
    };
    // clang-format on
    for (const TableCase &c : cases) {
        TempDir dir;
        writeFile(dir / "set.csv", c.table);
        std::vector<std::string> args{"set.csv"};
        if (c.toFile) args = {"-o", "l.csv", "set.csv"};
        RunResult r = runList(args, dir.path());
        EXPECT_EQ(r.status, c.status) << c.why;
        EXPECT_EQ(c.toFile ? readFile(dir / "l.csv") : r.out, c.out) << c.why;
        EXPECT_EQ(r.err, c.err) << c.why;
    }
}

// The export read back: the table emojitag-extract --table writes, imported,
// gives byte for byte the list emojitag-extract gives for the same pictures
// (a further field, escapes, quotes and commas, Japanese text, a text kept
// whole, a picture without text).
TEST(TableImport, TheExportReadBackIsTheListing) {
    TempDir dir;
    ASSERT_EQ(runShell("mkdir -p pics/sub", dir.path()).status, 0);
    const char *names[] = {"pics/a.gif", "pics/b.jpg", "pics/sub/c.gif", "pics/d.jpg",
                           "pics/e.gif"};
    for (const char *n : names)
        writeFile(dir / n, testData(std::string(n).find(".gif") != std::string::npos ? "tiny.gif"
                                                                                     : "tiny.jpg"));
    // CP932: ねこ, 猫.
    writeFile(
        dir / "list.csv",
        "pics/a.gif,\"<emoji><yomi1>\x82\xcb\x82\xb1</yomi1><hyoki1>\x94\x4c</hyoki1>"
        "<tag1>a, b</tag1><yomi2>x</yomi2></emoji>\"\n"
        "pics/b.jpg,<emoji><yomi1>&lt;&amp;&gt;</yomi1><tagcont>say \"hi\"</tagcont></emoji>\n"
        "pics/sub/c.gif,\"<EMOJI> <yomi1>q</yomi1></EMOJI>\"\n"
        "pics/d.jpg,\"<emoji><memo>m</memo><yomi1>y</yomi1></emoji>\"\n");
    ASSERT_EQ(runShell(std::string(EMOJITAG_BIN) + " -o list.csv", dir.path()).status, 0);
    RunResult listed = runShell(std::string(EXTRACT_BIN) + " pics", dir.path());
    RunResult exported =
        runShell(std::string(EXTRACT_BIN) + " --table -o set.csv pics", dir.path());
    RunResult imported = runShell(std::string(LIST_BIN) + " set.csv", dir.path());
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(listed.out.find("pics/d.jpg"), std::string::npos) << listed.err;
    EXPECT_EQ(imported.out, listed.out);
}

}  // namespace
