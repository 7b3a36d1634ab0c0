// The image job: output naming, replacement of the input with "-o", and what
// stays on disk after faults.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_support.h"

using namespace testsupport;

namespace {

const char *const kGifLine = "pic.gif,<emoji><a>1</a></emoji>\n";
const char *const kJpgLine = "pic.jpg,<emoji><a>1</a></emoji>\n";

// What a run without "-o" writes for `image` named `name` with list `line`.
std::string plainOutput(const std::string &name, const std::string &image, const std::string &line,
                        const std::string &outName) {
    TempDir dir;
    writeFile(dir / name, image);
    writeFile(dir / "list.csv", line);
    RunResult r = runTool({"list.csv"}, dir.path());
    EXPECT_EQ(r.err, "");
    return readFile(dir / outName);
}

unsigned modeOf(const std::string &path) {
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

struct ReplaceCase {
    const char *why;
    std::string name, outName, data, line;
    unsigned mode;
};

TEST(ImageJob, ReplacementLeavesOnlyTheInputNameWithTheNewContent) {
    const ReplaceCase cases[] = {
        {"GIF", "pic.gif", "pic-out.gif", testData("tiny.gif"), kGifLine, 0644},
        {"JPEG", "pic.jpg", "pic-out.jpg", testData("tiny.jpg"), kJpgLine, 0644},
        {"group-shared picture keeps its mode", "pic.jpg", "pic-out.jpg", testData("tiny.jpg"),
         kJpgLine, 0660},
        {"private picture stays private", "pic.jpg", "pic-out.jpg", testData("tiny.jpg"), kJpgLine,
         0600},
        {"read-only picture keeps its mode", "pic.gif", "pic-out.gif", testData("tiny.gif"),
         kGifLine, 0444},
        {"executable bits kept as they were", "pic.gif", "pic-out.gif", testData("tiny.gif"),
         kGifLine, 0751},
    };
    for (const ReplaceCase &c : cases) {
        std::string expected = plainOutput(c.name, c.data, c.line, c.outName);
        TempDir dir;
        writeFile(dir / c.name, c.data);
        ASSERT_EQ(chmod((dir / c.name).c_str(), c.mode), 0);
        writeFile(dir / "list.csv", c.line);
        RunResult r = runTool({"-o", "list.csv"}, dir.path());
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, "") << c.why;
        EXPECT_EQ(readFile(dir / c.name), expected) << c.why;
        EXPECT_FALSE(fileExists(dir / c.outName)) << c.why;
        EXPECT_EQ(modeOf(dir / c.name), c.mode) << c.why;
        EXPECT_EQ(listDir(dir.path()).size(), 2u) << c.why;
    }
}

TEST(ImageJob, OptionPositions) {
    // "-o" after the list's name is never examined.
    TempDir dir;
    writeFile(dir / "pic.gif", testData("tiny.gif"));
    writeFile(dir / "list.csv", kGifLine);
    RunResult r = runTool({"list.csv", "-o"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(dir / "pic.gif"), testData("tiny.gif"));
    EXPECT_TRUE(fileExists(dir / "pic-out.gif"));

    // With two list names only the first is read, with replacement.
    TempDir two;
    writeFile(two / "pic.gif", testData("tiny.gif"));
    writeFile(two / "pic.jpg", testData("tiny.jpg"));
    writeFile(two / "a.csv", kGifLine);
    writeFile(two / "b.csv", kJpgLine);
    r = runTool({"-o", "a.csv", "b.csv"}, two.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(readFile(two / "pic.gif") != testData("tiny.gif"));  // replaced
    EXPECT_EQ(readFile(two / "pic.jpg"), testData("tiny.jpg"));
    EXPECT_EQ(listDir(two.path()),
              (std::vector<std::string>{"a.csv", "b.csv", "pic.gif", "pic.jpg"}));
}

TEST(ImageJob, RunningTwiceRewritesTheOutputs) {
    std::string expected = plainOutput("pic.gif", testData("tiny.gif"), kGifLine, "pic-out.gif");
    TempDir dir;
    writeFile(dir / "pic.gif", testData("tiny.gif"));
    writeFile(dir / "pic-out.gif", std::string(100000, 'z'));  // stale and longer
    writeFile(dir / "list.csv", kGifLine);
    EXPECT_EQ(runTool({"list.csv"}, dir.path()).err, "");
    EXPECT_EQ(readFile(dir / "pic-out.gif"), expected);
    EXPECT_EQ(runTool({"list.csv"}, dir.path()).err, "");
    EXPECT_EQ(readFile(dir / "pic-out.gif"), expected);
}

TEST(ImageJob, UnreadableInputKeepsItsPlaceWithReplacement) {
    // A directory named like an image is no file to read: not found.
    TempDir dir;
    ASSERT_EQ(runShell("mkdir pic.gif pic.jpg", dir.path()).status, 0);
    writeFile(dir / "list.csv", std::string(kGifLine) + kJpgLine);
    RunResult r = runTool({"-o", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Error: 1:pic.gif: not found\nError: 2:pic.jpg: not found\n");
    struct stat st;
    ASSERT_EQ(stat((dir / "pic.gif").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    // The incomplete outputs were temporary files and are gone.
    EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"list.csv", "pic.gif", "pic.jpg"}));
}

TEST(ImageJob, OutputThatCannotBeWrittenIsReportedAndTheInputKept) {
    for (const char *opt : {"", "-o"}) {
        TempDir dir;
        writeFile(dir / "pic.gif", testData("tiny.gif"));
        writeFile(dir / "pic.jpg", testData("tiny.jpg"));
        writeFile(dir / "list.csv", std::string(kGifLine) + kJpgLine);
        // A file size limit of 0 makes every write fail, as on a full disk.
        std::vector<std::string> args{"list.csv"};
        if (*opt) args.insert(args.begin(), opt);
        RunResult r = runToolWithFileLimit(args, dir.path(), 0);
        EXPECT_EQ(r.status, 0) << opt;
        EXPECT_EQ(r.err, "Error: 1:pic-out.gif: write error\nError: 2:pic-out.jpg: write error\n")
            << opt;
        EXPECT_EQ(readFile(dir / "pic.gif"), testData("tiny.gif")) << opt;
        EXPECT_EQ(readFile(dir / "pic.jpg"), testData("tiny.jpg")) << opt;
    }
}

// A link to the input at the output's name: without "-o" the output is
// refused (emptying it would destroy the input); with "-o" it is not used at
// all, the input is replaced and the link stays as it was.
TEST(ImageJob, OutputNameLeadingToTheInputLeavesTheInputWhole) {
    const std::string replaced =
        plainOutput("pic.gif", testData("tiny.gif"), kGifLine, "pic-out.gif");
    for (const char *link : {"ln -s pic.gif pic-out.gif", "ln pic.gif pic-out.gif"}) {
        for (const char *opt : {"", "-o"}) {
            TempDir dir;
            writeFile(dir / "pic.gif", testData("tiny.gif"));
            ASSERT_EQ(runShell(link, dir.path()).status, 0);
            writeFile(dir / "list.csv", kGifLine);
            std::vector<std::string> args{"list.csv"};
            if (*opt) args.insert(args.begin(), opt);
            RunResult r = runTool(args, dir.path());
            bool replace = *opt != '\0';
            EXPECT_EQ(r.status, 0) << link << opt;
            EXPECT_EQ(r.err, replace ? "" : "Error: 1:pic-out.gif: file open error\n")
                << link << opt;
            EXPECT_TRUE(readFile(dir / "pic.gif") == (replace ? replaced : testData("tiny.gif")))
                << link << opt;
            // A symbolic link still leads to pic.gif; a hard link keeps the old picture.
            EXPECT_TRUE(readFile(dir / "pic-out.gif") ==
                        (replace && link[3] == '-' ? replaced : testData("tiny.gif")))
                << link << opt;
        }
    }
}

// A second "-o" leaves a picture whose rewrite would give its own bytes as it
// is (same file, same modification time); any other is replaced.
struct RetagCase {
    const char *why;
    std::string name, before, line, after;
    bool kept;
};

TEST(ImageJob, RetaggingReplacesOnlyPicturesThatChange) {
    const std::string gifLine2 = "pic.gif,<emoji><a>2</a></emoji>\n";
    const std::string jpgLine2 = "pic.jpg,<emoji><a>2</a></emoji>\n";
    const std::string gif = plainOutput("pic.gif", testData("tiny.gif"), kGifLine, "pic-out.gif");
    const std::string jpg = plainOutput("pic.jpg", testData("tiny.jpg"), kJpgLine, "pic-out.jpg");
    // A further emoji comment right after the one that holds the text.
    const std::string further = "<emoji><b>3</b></emoji>";
    const size_t end = jpg.find("</emoji>") + 8;
    const std::string twoComments = jpg.substr(0, end) +
                                    bytes({0xFF, 0xFE, 0, int(further.size() + 2)}) + further +
                                    jpg.substr(end);
    const RetagCase cases[] = {
        {"GIF holding its text stays", "pic.gif", gif, kGifLine, gif, true},
        {"JPEG holding its text stays", "pic.jpg", jpg, kJpgLine, jpg, true},
        {"a changed text replaces the GIF", "pic.gif", gif, gifLine2,
         plainOutput("pic.gif", testData("tiny.gif"), gifLine2, "pic-out.gif"), false},
        {"a text of the same length replaces the JPEG", "pic.jpg", jpg, jpgLine2,
         plainOutput("pic.jpg", testData("tiny.jpg"), jpgLine2, "pic-out.jpg"), false},
        {"the text beside a further emoji comment: rewritten without it", "pic.jpg", twoComments,
         kJpgLine, jpg, false},
    };
    for (const RetagCase &c : cases) {
        TempDir dir;
        const std::string path = dir / c.name;
        writeFile(path, c.before);
        // An old time, so that a rewrite cannot meet it by chance.
        const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
        struct stat before, after;
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        writeFile(dir / "list.csv", c.line);
        RunResult r = runTool({"-o", "list.csv"}, dir.path());
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, "") << c.why;
        EXPECT_EQ(readFile(path), c.after) << c.why;
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino == before.st_ino, c.kept) << c.why;
        EXPECT_EQ(after.st_mtime == before.st_mtime, c.kept) << c.why;
        EXPECT_EQ(listDir(dir.path()).size(), 2u) << c.why;  // no temporary file left
    }
}

}  // namespace
