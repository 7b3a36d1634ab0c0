// emojitag-extract --check LIST.csv --out --remove-checked: removes each
// NAME-out.EXT just found to carry its line's text, and nothing else; a copy
// that fails the check, that no line checks, or that is not the file read
// (a link, a file put in its place after the check) stays, and the last is
// named. One row per case, through the built programs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "test_support.h"

using namespace testsupport;

namespace {

const std::string kList =
    "pics/a.gif,\"<emoji><a>1</a></emoji>\"\n"
    "pics/b.jpg,\"<emoji><a>2</a></emoji>\"\n"
    "pics/sign-out.gif,\"<emoji><a>3</a></emoji>\"\n";

// The set tagged into copies, with a copy no line names beside them.
void prepare(const TempDir &dir) {
    runShell("rm -rf pics && mkdir pics", dir.path());
    writeFile(dir / "pics/a.gif", testData("tiny.gif"));
    writeFile(dir / "pics/b.jpg", testData("tiny.jpg"));
    writeFile(dir / "pics/sign-out.gif", testData("tiny.gif"));
    writeFile(dir / "list.csv", kList);
    ASSERT_EQ(runTool({"list.csv"}, dir.path()).err, "");
    writeFile(dir / "pics/c-out.gif", testData("tiny.gif"));
}

// A file of the same bytes put in the copy's place, as a neighbour would.
void replaceCopy(const TempDir &dir) {
    writeFile(dir / "pics/new", readFile(dir / "pics/a-out.gif"));
    ASSERT_EQ(std::rename((dir / "pics/new").c_str(), (dir / "pics/a-out.gif").c_str()), 0);
}

struct RemoveRow {
    const char *name;
    const char *why;
    std::function<void(const TempDir &)> change;  // after tagging, or while held
    bool held;  // `change` runs while the program is held between check and removal
    int status;
    std::string out;
    std::string err;
    std::vector<std::string> left;  // in pics afterwards
};

const std::string kNotSame =
    "emojitag-extract: pics/a-out.gif: not removed: not the file checked\n";

const RemoveRow kRows[] = {
    {"CheckedCopiesGo",
     "every checked copy removed, the pictures and the copy no line names stay",
     [](const TempDir &) {},
     false,
     0,
     "",
     "emojitag-extract: removed 3 checked copies\n",
     {"a.gif", "b.jpg", "c-out.gif", "sign-out.gif"}},
    {"FailedCopyStays",
     "a copy without its line's text fails the check and stays",
     [](const TempDir &d) { writeFile(d / "pics/b-out.jpg", testData("tiny.jpg")); },
     false,
     1,
     "2:pics/b.jpg: no emoji text\n",
     "emojitag-extract: removed 2 checked copies\n",
     {"a.gif", "b-out.jpg", "b.jpg", "c-out.gif", "sign-out.gif"}},
    {"LinkStays",
     "a link in the copy's place: the check reads its target, neither goes",
     [](const TempDir &d) {
         runShell("mv a-out.gif kept.gif && ln -s kept.gif a-out.gif", d / "pics");
     },
     false,
     1,
     "",
     kNotSame + "emojitag-extract: removed 2 checked copies\n",
     {"a-out.gif", "a.gif", "b.jpg", "c-out.gif", "kept.gif", "sign-out.gif"}},
    {"ReplacedCopyStays",
     "a file put in the copy's place between its check and its removal",
     replaceCopy,
     true,
     1,
     "",
     kNotSame + "emojitag-extract: removed 2 checked copies\n",
     {"a-out.gif", "a.gif", "b.jpg", "c-out.gif", "sign-out.gif"}},
};

const std::vector<std::string> kArgs = {"--check", "list.csv", "--out", "--remove-checked"};

// The run of the row: held, it is stopped after the first removal opens the
// copies' directory, that is after the first line's check.
RunResult runRow(const TempDir &dir, const RemoveRow &row) {
    if (!row.held) {
        row.change(dir);
        return runExtract(kArgs, dir.path());
    }
    std::string command = EXTRACT_BIN;
    for (const std::string &a : kArgs)
        command += " " + a;
    int call = openatCallWith(dir.path(), command, {"\"pics/\"", "O_DIRECTORY"});
    EXPECT_GT(call, 0) << "no removal opened the directory";
    prepare(dir);  // the traced run above removed the copies
    return runStoppedAfterCall(dir.path(), EXTRACT_BIN, kArgs, call, [&] { row.change(dir); });
}

class RemoveChecked : public ::testing::TestWithParam<RemoveRow> {};

TEST_P(RemoveChecked, RemovesOnlyWhatItProved) {
    const RemoveRow &row = GetParam();
    if (row.held && (!haveProgram("strace") || runShell("strace -o /dev/null true").status != 0))
        GTEST_SKIP() << row.why << ": skipped, strace missing or not allowed to trace here";
    SCOPED_TRACE(row.why);
    TempDir dir;
    prepare(dir);
    RunResult r = runRow(dir, row);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(r.err, row.err);
    EXPECT_EQ(listDir(dir / "pics"), row.left);
    EXPECT_EQ(readFile(dir / "pics/a.gif"), testData("tiny.gif"));
    EXPECT_EQ(readFile(dir / "pics/b.jpg"), testData("tiny.jpg"));
    EXPECT_EQ(readFile(dir / "pics/sign-out.gif"), testData("tiny.gif"));
}

INSTANTIATE_TEST_SUITE_P(Rows, RemoveChecked, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<RemoveRow> &row) {
                             return std::string(row.param.name);
                         });

}  // namespace
