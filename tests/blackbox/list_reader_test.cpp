// The emoji list reader: line checks in their order, line numbering, name and
// suffix rules, and which lines reach an image job.
#include <gtest/gtest.h>

#include <map>

#include "test_support.h"

using namespace testsupport;

namespace {

struct ReaderCase {
    const char *why;
    std::string list;                  // bytes of list.csv
    std::vector<std::string> images;   // copies of a real GIF/JPEG to create
    std::string err;                   // standard error, every line in order
    std::vector<std::string> outputs;  // files that must exist afterwards
    std::vector<std::string> absent;   // files that must not exist
};

std::string imageFor(const std::string &name) {
    std::string lower;
    for (char c : name)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool gif = lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".gif") == 0;
    return testData(gif ? "tiny.gif" : "tiny.jpg");
}

void runCase(const ReaderCase &c) {
    TempDir dir;
    writeFile(dir / "list.csv", c.list);
    for (const std::string &img : c.images)
        writeFile(dir / img, imageFor(img));
    RunResult r = runTool({"list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0) << c.why;
    EXPECT_EQ(r.out, "") << c.why;
    EXPECT_EQ(splitLines(r.err), splitLines(c.err)) << c.why;
    for (const std::string &f : c.outputs)
        EXPECT_TRUE(fileExists(dir / f)) << c.why << ": " << f;
    for (const std::string &f : c.absent)
        EXPECT_FALSE(fileExists(dir / f)) << c.why << ": " << f;
}

TEST(ListReader, LineChecksInOrder) {
    const ReaderCase cases[] = {
        {"empty line, then the next line is numbered 2",
         "\nmissing.gif,<emoji></emoji>\n",
         {},
         "Error: 1: input error\nError: 2:missing.gif: not found\n",
         {},
         {"missing-out.gif"}},
        {"blank line", " \t \r\n", {}, "Error: 1: input error\n", {}, {}},
        {"no comma", "a.gif <emoji></emoji>\n", {}, "Error: 1: input error\n", {}, {}},
        {"last line ends right after its comma",
         "a.gif,",
         {"a.gif"},
         "Error: 1: input error\n",
         {},
         {"a-out.gif"}},
        {"the suffix is checked before the empty text",
         "a.png,",
         {},
         "Error: 1:a.png: sfx not supported.\n",
         {},
         {}},
        {"line starting with a comma has an empty name",
         ",<emoji></emoji>\n",
         {},
         "Error: 1:: bad file name\n",
         {},
         {}},
        {"name without a dot",
         "picture,<emoji></emoji>\n",
         {},
         "Error: 1:picture: bad file name\n",
         {},
         {}},
        {"dot only in the text field",
         "picture,a.gif\n",
         {},
         "Error: 1:picture: bad file name\n",
         {},
         {}},
        {"png refused",
         "a.png,<emoji></emoji>\n",
         {},
         "Error: 1:a.png: sfx not supported.\n",
         {},
         {}},
        {"blank before the comma belongs to the suffix",
         "a.gif ,<emoji></emoji>\n",
         {},
         "Error: 1:a.gif : sfx not supported.\n",
         {},
         {}},
        {"suffix cut at 15 characters",
         "a.gifgifgifgifgifgif,x\n",
         {},
         "Error: 1:a.gifgifgifgifgifgif: sfx not supported.\n",
         {},
         {}},
        {"unclosed quote is an input error; the next line still runs",
         "a.gif,\"<emoji>\nb.gif,x\n",
         {"a.gif"},
         "Error: 1: input error\nError: 2:b.gif: not found\n",
         {},
         {"a-out.gif"}},
    };
    for (const ReaderCase &c : cases)
        runCase(c);
}

TEST(ListReader, NamesAndSuffixes) {
    const ReaderCase cases[] = {
        {"upper and mixed case suffixes are accepted",
         "A.GIF,<e/>\nB.JpEg,x\nC.JPG,x\n",
         {"A.GIF", "B.JpEg", "C.JPG"},
         "",
         {"A-out.GIF", "B-out.JpEg", "C-out.JPG"},
         {}},
        {"leading blanks skipped, inner blanks kept",
         "  \tmy pic.gif,<e/>\n",
         {"my pic.gif"},
         "",
         {"my pic-out.gif"},
         {}},
        {"the last dot starts the suffix", "a.b.gif,<e/>\n", {"a.b.gif"}, "", {"a.b-out.gif"}, {}},
        {"a name ending in -out gets a second -out",
         "x-out.gif,<e/>\n",
         {"x-out.gif"},
         "",
         {"x-out-out.gif"},
         {}},
        {"missing image: no output, next line processed",
         "gone.jpg,x\nhere.jpg,x\n",
         {"here.jpg"},
         "Error: 1:gone.jpg: not found\n",
         {"here-out.jpg"},
         {"gone-out.jpg"}},
        {"CR LF lines",
         "a.gif,<e/>\r\nb.jpg,\"y\"\r\n",
         {"a.gif", "b.jpg"},
         "",
         {"a-out.gif", "b-out.jpg"},
         {}},
        {"empty quoted text still runs the job", "a.jpg,\"\"\n", {"a.jpg"}, "", {"a-out.jpg"}, {}},
        {"a text field of only the line end still runs the job",
         "a.jpg,\r\n",
         {"a.jpg"},
         "",
         {"a-out.jpg"},
         {}},
    };
    for (const ReaderCase &c : cases)
        runCase(c);
}

TEST(ListReader, LongLinesAreTakenInPieces) {
    // 40000 bytes: the first 32767 bytes are line 1, the rest line 2.
    std::string line = "a.jpg,<emoji>" + std::string(40000 - 14, 'x') + "\n";
    ReaderCase c{"",
                 line + "missing.gif,x\n",
                 {"a.jpg"},
                 "Error: 2: input error\nError: 3:missing.gif: not found\n",
                 {"a-out.jpg"},
                 {}};
    runCase(c);
}

TEST(ListReader, OutputThatCannotBeCreated) {
    TempDir dir;
    writeFile(dir / "list.csv", "p.gif,<e/>\nq.gif,<e/>\n");
    writeFile(dir / "p.gif", testData("tiny.gif"));
    writeFile(dir / "q.gif", testData("tiny.gif"));
    ASSERT_EQ(runShell("mkdir p-out.gif", dir.path()).status, 0);
    RunResult r = runTool({"list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Error: 1:p-out.gif: file open error\n");
    EXPECT_EQ(readFile(dir / "p.gif"), testData("tiny.gif"));
    EXPECT_TRUE(fileExists(dir / "q-out.gif"));
}

}  // namespace
