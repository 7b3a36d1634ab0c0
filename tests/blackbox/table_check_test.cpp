// emojitag-extract --check SET.csv: the table is checked as the list its
// import writes, row by row, each finding numbered by its row; a row the
// import refuses fails the check.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testsupport;

namespace {

struct CheckCase {
    const char *why;
    std::string table;  // the file checked
    std::string from;   // --from, or empty
    int status;
    std::string out;
    std::string err;  // a part of standard error
};

std::string run(const std::string &dir, const std::string &command) {
    RunResult r = runShell(command, dir);
    EXPECT_EQ(r.status, 0) << command << ": " << r.err;
    return r.out;
}

TEST(TableCheck, EachRowIsCheckedAsTheLineItsImportWrites) {
    TempDir dir;
    ASSERT_EQ(runShell("mkdir pics", dir.path()).status, 0);
    for (const char *n : {"pics/a.gif", "pics/b.jpg", "pics/c.gif"})
        writeFile(dir / n, testData(n[7] == 'g' ? "tiny.gif" : "tiny.jpg"));
    // CP932: ねこ, a text only a round trip through CP932 gives back.
    writeFile(dir / "list.csv",
              "pics/a.gif,\"<emoji><yomi1>\x82\xcb\x82\xb1</yomi1></emoji>\"\n"
              "pics/b.jpg,\"<emoji><yomi1>b</yomi1><tag1>t</tag1></emoji>\"\n"
              "pics/c.gif,\"<emoji><yomi1>c</yomi1></emoji>\"\n");
    const std::string T = std::string(EMOJITAG_BIN), X = EXTRACT_BIN, L = LIST_BIN;
    run(dir.path(), T + " -o list.csv");
    run(dir.path(), X + " --table -o set.csv pics");
    std::string set = readFile(dir / "set.csv");
    ASSERT_EQ(set.rfind("\xef\xbb\xbf", 0), 0u);
    // b edited, imported and tagged; then c edited and not tagged.
    set.replace(set.find("pics/b.jpg,b,"), 13, "pics/b.jpg,bb,");
    writeFile(dir / "set.csv", set);
    run(dir.path(), L + " -o new.csv set.csv");
    run(dir.path(), T + " -o new.csv");
    run(dir.path(), X + " --table --cp932 -o set932.csv pics");
    std::string tagged = set;
    set.replace(set.find("pics/c.gif,c,"), 13, "pics/c.gif,cc,");
    writeFile(dir / "edited.csv", set);
    writeFile(dir / "twice.csv", tagged + "pics/b.jpg,bb,,,,,t,\r\n");
    // A value a spreadsheet could not have saved in CP932.
    writeFile(dir / "emoji932.csv",
              readFile(dir / "set932.csv") + "pics/d.jpg,\xf0\x9f\x98\x80,,,,,,\r\n,,,\r\n");
    const std::string E = "emojitag-extract: ";
    const std::string REFUSED = ": refused by the import: no line for this picture\n";
    // clang-format off
    const CheckCase cases[] = {
        {"UTF-8 with a mark, edited, imported and tagged", "set.csv", "", 0, "", ""},
        {"CP932, told from its bytes", "set932.csv", "", 0, "", ""},
        {"CP932 asked for", "set932.csv", "cp932", 0, "", ""},
        {"a value edited and not tagged fails its row", "edited.csv", "", 1,
         "4:pics/c.gif: differs\n", ""},
        {"a picture in two rows fails both", "twice.csv", "", 1,
         "3:pics/b.jpg" + REFUSED + "5:pics/b.jpg" + REFUSED,
         E + "twice.csv:3: pics/b.jpg: also in row 5; no line for this picture\n"},
        {"a value not in CP932 fails its row, an empty row is passed over", "emoji932.csv", "", 1,
         "5:pics/d.jpg" + REFUSED,
         E + "emoji932.csv:5: pics/d.jpg: yomi1: bytes that are not CP932: 0xF0 0x9F; no line for "
             "this picture\n"},
    };
    // clang-format on
    for (const CheckCase &c : cases) {
        std::vector<std::string> args = {"--check", c.table};
        if (!c.from.empty()) args.insert(args.end(), {"--from", c.from});
        RunResult r = runExtract(args, dir.path());
        EXPECT_EQ(r.status, c.status) << c.why << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.why;
        if (c.err.empty()) {
            EXPECT_EQ(r.err, "") << c.why;
        } else {
            EXPECT_NE(r.err.find(c.err), std::string::npos) << c.why << ": " << r.err;
        }
    }
}

}  // namespace
