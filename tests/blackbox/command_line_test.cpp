// The command line: options, usage errors and exit status.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testsupport;

namespace {

struct CommandCase {
    const char *why;
    std::vector<std::string> args;
    int status;
    std::string err;
};

TEST(CommandLine, UsageAndOptionOrder) {
    const CommandCase cases[] = {
        {"no arguments", {}, 255, "Error: no file\n"},
        {"only -o", {"-o"}, 255, "Error: no file\n"},
        {"-o twice", {"-o", "-o"}, 255, "Error: no file\n"},
        {"-f without operands", {"-f"}, 255, "Error: no file for -f\n"},
        {"-f with only a directory", {"-f", "dir"}, 255, "Error: no file for -f\n"},
        {"unknown option is the list's name", {"-x", "list.csv"}, 0, "Error: -x: not csv file\n"},
        {"-O is not -o", {"-O"}, 0, "Error: -O: not csv file\n"},
        {"--o is not -o", {"--o"}, 0, "Error: --o: not csv file\n"},
        {"-of is not -o", {"-of"}, 0, "Error: -of: not csv file\n"},
        {"missing list", {"nothing.csv"}, 0, "Error: nothing.csv: not found\n"},
        {"upper-case suffix refused", {"LIST.CSV"}, 0, "Error: LIST.CSV: not csv file\n"},
        {"suffix after .csv refused", {"list.csv.bak"}, 0, "Error: list.csv.bak: not csv file\n"},
        {"no dot", {"list"}, 0, "Error: list: not csv file\n"},
        {"only the first list is read", {"a.csv", "b.txt"}, 0, "Error: a.csv: not found\n"},
    };
    for (const CommandCase &c : cases) {
        TempDir dir;
        RunResult r = runTool(c.args, dir.path());
        EXPECT_EQ(r.status, c.status) << c.why;
        EXPECT_EQ(r.err, c.err) << c.why;
        EXPECT_EQ(r.out, "") << c.why;
        EXPECT_TRUE(listDir(dir.path()).empty()) << c.why;
    }
}

TEST(CommandLine, TemplateRunEndsBeforeTheList) {
    TempDir dir;
    writeFile(dir / "list.csv", "x.gif,<emoji></emoji>\n");
    RunResult r = runTool({"-f", ".", "t.csv", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fileExists(dir / "t.csv"));
    // The list was not read: no "not found" for x.gif.
}

TEST(CommandLine, SecondIncompleteTemplateOptionFailsAfterTheFirstScan) {
    TempDir dir;
    RunResult r = runTool({"-f", ".", "a.csv", "-f", "."}, dir.path());
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Error: no file for -f\n");
    EXPECT_TRUE(fileExists(dir / "a.csv"));
}

TEST(CommandLine, TwoTemplateScansRunInOrder) {
    TempDir dir;
    RunResult r = runTool({"-f", ".", "a.txt", "-f", ".", "b.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Error: a.txt: not csv file\n");
    EXPECT_FALSE(fileExists(dir / "a.txt"));
    EXPECT_TRUE(fileExists(dir / "b.csv"));
}

}  // namespace
