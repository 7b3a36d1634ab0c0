// Names in messages show control bytes as '?', and a read error of the list
// is reported and fails the run, with nothing made of the line it cut.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "test_support.h"

using namespace testsupport;

namespace {

struct ShownCase {
    const char *why;
    std::string list;   // bytes of list.csv
    std::string entry;  // a file to create below d/
    std::vector<std::string> args;
    std::string err;
};

TEST(MessageSafety, ControlBytesOfNamesAreShownAsQuestionMarks) {
    const ShownCase cases[] = {
        {"ESC and SOH in a list line's name",
         "a\x1b[31mb\x01.gif,<emoji>x</emoji>\n",
         "",
         {"list.csv"},
         "Error: 1:a?[31mb?.gif: not found\n"},
        {"CP932 bytes stay as they are beside DEL",
         "\x83\x41\x7f.gif,<emoji>x</emoji>\n",
         "",
         {"list.csv"},
         "Error: 1:\x83\x41?.gif: not found\n"},
        {"ESC in the list's own name", "", "", {"\x1b.csv"}, "Error: ?.csv: not found\n"},
        {"-f: ESC and LF in an image's name",
         "",
         "x\x1by\n.gif",
         {"-f", "d", "t.csv"},
         "Error: d/x?y?.gif: name cannot be listed\n"},
    };
    for (const ShownCase &c : cases) {
        TempDir dir;
        runShell("mkdir d", dir.path());
        if (!c.list.empty()) writeFile(dir / "list.csv", c.list);
        if (!c.entry.empty()) writeFile(dir / ("d/" + c.entry), "");
        RunResult r = runTool(c.args, dir.path());
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, c.err) << c.why;
    }
}

struct ReadErrorCase {
    const char *why;
    const char *program;
    const char *options;  // before the list's name
    bool linesOnError;    // the lines' messages are on standard error, else output
    std::string last;     // the last line of standard error
};

TEST(MessageSafety, ReadErrorOfTheListIsReportedAndFailsTheRun) {
    if (!haveProgram("strace") || runShell("strace -o /dev/null true").status != 0)
        GTEST_SKIP() << "strace missing (Debian: strace) or not allowed to trace here";
    std::string eio = std::string("list.csv: read error: ") + std::strerror(EIO) + "\n";
    const ReadErrorCase cases[] = {
        {"emojitag, in its own form", EMOJITAG_BIN, "", true, "Error: list.csv: read error\n"},
        {"emojitag-extract --check", EXTRACT_BIN, "--check ", false, "emojitag-extract: " + eio},
        {"emojitag-list --check", LIST_BIN, "--check ", false, "emojitag-list: " + eio},
    };
    // Many more lines than the first read takes, each naming a missing image
    // by its own line number.
    const int lines = 3000;
    std::string list;
    for (int i = 1; i <= lines; i++)
        list += "pic" + std::to_string(i) + ".gif,<emoji>x</emoji>\n";
    for (const ReadErrorCase &c : cases) {
        TempDir dir;
        char real[PATH_MAX];  // strace's -P takes the path as resolved
        ASSERT_NE(realpath(dir.path().c_str(), real), nullptr);
        std::string path = std::string(real) + "/list.csv";
        writeFile(path, list);
        // The second read of the list fails; the sanitizers' leak check
        // cannot run under a tracer.
        RunResult r = runShell(
            "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace -o /dev/null "
            "-e trace=read -e inject=read:error=EIO:when=2 -P '" +
                path + "' '" + c.program + "' " + c.options + "list.csv",
            dir.path());
        EXPECT_EQ(r.status, 1) << c.why;
        std::vector<std::string> err = splitLines(r.err);
        ASSERT_FALSE(err.empty()) << c.why;
        EXPECT_EQ(err.back(), c.last) << c.why;
        // Lines 1 to k, each once and in order, and nothing of the cut line.
        if (c.linesOnError) err.pop_back();
        std::vector<std::string> done = c.linesOnError ? err : splitLines(r.out);
        ASSERT_FALSE(done.empty()) << c.why;
        EXPECT_LT(done.size(), static_cast<size_t>(lines)) << c.why;
        for (size_t i = 0; i < done.size(); i++) {
            std::string n = std::to_string(i + 1);
            EXPECT_EQ(done[i],
                      (c.linesOnError ? "Error: " : "") + n + ":pic" + n + ".gif: not found\n")
                << c.why;
        }
    }
}

}  // namespace
