// GIF embedding through the built tool on hand-built files: the output bytes,
// the writer's messages, malformed inputs and "-o".
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

using namespace testsupport;

namespace {

// GIF89a, 1x1 screen, global table of two colours.
const std::string HEADER = "GIF89a" + bytes({1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255});
const std::string IMAGE = bytes({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0});
const std::string GCE = bytes({0x21, 0xF9, 4, 0, 0, 0, 0, 0});
const std::string TRAILER = bytes({0x3B});
const std::string TEXT = "<emoji><yomi>abc</yomi><hyoki>def</hyoki></emoji>";

std::string comment(const std::string &data) {
    return bytes({0x21, 0xFE}) + static_cast<char>(data.size()) + data + '\0';
}

struct EmbedCase {
    const char *why;
    std::string input;
    std::string text;  // as written in the list
    std::string output;
    std::string err;
};

TEST(GifEmbed, OutputAndMessages) {
    const std::string oldEmoji = comment("<EMOJI><a>old</a></EMOJI>");
    const std::string note = comment("made by a scanner");
    const std::string plain = HEADER + GCE + IMAGE + TRAILER;
    const EmbedCase cases[] = {
        {"comment after the graphic control extension", plain, TEXT,
         HEADER + GCE + comment(TEXT) + IMAGE + TRAILER, ""},
        {"quoted text", plain, "\"" + TEXT + "\"", HEADER + GCE + comment(TEXT) + IMAGE + TRAILER,
         ""},
        {"old emoji comment replaced, note kept", HEADER + note + oldEmoji + IMAGE + TRAILER, TEXT,
         HEADER + note + comment(TEXT) + IMAGE + TRAILER, ""},
        {"no image: before the trailer", HEADER + TRAILER, TEXT, HEADER + comment(TEXT) + TRAILER,
         ""},
        {"text without tag end: both messages, no comment", plain, "hello", plain,
         "Error: 1:x.gif: cannot find tag-end\nError: 1:x.gif: tag too long\n"},
        {"text without tag end still removes the old comment", HEADER + oldEmoji + IMAGE + TRAILER,
         "hello", HEADER + IMAGE + TRAILER,
         "Error: 1:x.gif: cannot find tag-end\nError: 1:x.gif: tag too long\n"},
        {"first tag too long: one message, no comment", plain,
         "<a>" + std::string(249, 'x') + "</a>", plain, "Error: 1:x.gif: tag too long\n"},
        {"trailing text lost with both messages", plain, "<a/>tail",
         HEADER + GCE + comment("<a/>") + IMAGE + TRAILER,
         "Error: 1:x.gif: cannot find tag-end\nError: 1:x.gif: tag too long\n"},
    };
    for (const EmbedCase &c : cases) {
        TempDir dir;
        writeFile(dir / "x.gif", c.input);
        writeFile(dir / "list.csv", "x.gif," + c.text + "\n");
        RunResult r = runTool({"list.csv"}, dir.path());
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, c.err) << c.why;
        EXPECT_EQ(readFile(dir / "x-out.gif"), c.output) << c.why;
        EXPECT_EQ(readFile(dir / "x.gif"), c.input) << c.why;
    }
}

struct BadCase {
    const char *why;
    std::string input;
};

// A truncated or malformed stream is reported and, with "-o", never replaces
// the input; the next line of the list is still processed.
TEST(GifEmbed, MalformedFilesAreReportedAndKept) {
    const BadCase cases[] = {
        {"empty file", ""},
        {"header only", HEADER},
        {"no trailer", HEADER + IMAGE},
        {"zero byte between blocks", HEADER + IMAGE + bytes({0}) + TRAILER},
        {"unknown extension label", HEADER + bytes({0x21, 0x02, 1, 'x', 0}) + IMAGE + TRAILER},
        {"unknown introducer", HEADER + bytes({0x2B}) + IMAGE + TRAILER},
        {"sub-block cut", HEADER + IMAGE.substr(0, 13)},
        {"not a GIF at all", "just some text, not an image at all\n"},
    };
    for (const BadCase &c : cases) {
        for (bool overwrite : {false, true}) {
            TempDir dir;
            writeFile(dir / "x.gif", c.input);
            writeFile(dir / "y.gif", HEADER + IMAGE + TRAILER);
            writeFile(dir / "list.csv", "x.gif," + TEXT + "\ny.gif," + TEXT + "\n");
            std::vector<std::string> args{"list.csv"};
            if (overwrite) args.insert(args.begin(), "-o");
            RunResult r = runTool(args, dir.path());
            std::string why = std::string(c.why) + (overwrite ? " with -o" : "");
            EXPECT_EQ(r.status, 0) << why;
            EXPECT_EQ(r.err, "Error: 1:x.gif: bad GIF file\n") << why;
            EXPECT_EQ(readFile(dir / "x.gif"), c.input) << why;
            // The partial output stays under its own name; with "-o" it goes.
            EXPECT_EQ(fileExists(dir / "x-out.gif"), !overwrite) << why;
            if (overwrite) {
                EXPECT_EQ(listDir(dir.path()).size(), 3u) << why;
            }
            std::string good = HEADER + comment(TEXT) + IMAGE + TRAILER;
            EXPECT_EQ(readFile(dir / (overwrite ? "y.gif" : "y-out.gif")), good) << why;
        }
    }
}

// A disk that takes no byte (a file size limit of 0): the output cannot be
// completed, and with "-o" the input stays as it was.
TEST(GifEmbed, FullDiskKeepsTheInput) {
    TempDir dir;
    const std::string input = HEADER + IMAGE + TRAILER;
    writeFile(dir / "x.gif", input);
    writeFile(dir / "list.csv", "x.gif," + TEXT + "\n");
    RunResult r = runToolWithFileLimit({"-o", "list.csv"}, dir.path(), 0);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Error: 1:x-out.gif: write error\n");
    EXPECT_EQ(readFile(dir / "x.gif"), input);
    EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"list.csv", "x.gif"}));
}

TEST(GifEmbed, OverwriteReplacesTheInput) {
    TempDir dir;
    writeFile(dir / "x.gif", HEADER + IMAGE + TRAILER);
    writeFile(dir / "list.csv", "x.gif," + TEXT + "\n");
    RunResult r = runTool({"-o", "list.csv"}, dir.path());
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(dir / "x.gif"), HEADER + comment(TEXT) + IMAGE + TRAILER);
    EXPECT_FALSE(fileExists(dir / "x-out.gif"));
}

}  // namespace
