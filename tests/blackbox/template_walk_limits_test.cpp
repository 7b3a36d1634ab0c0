// The template run on awkward trees: entry paths at and past the path limit,
// symbolic-link cycles, entries whose status cannot be read and very deep
// trees. None of them may crash the walk or cut it short.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "template_support.h"
#include "test_support.h"

using namespace testsupport;
using namespace templatetest;

namespace {

// Longest entry path the walk names, in bytes.
constexpr size_t PATH_LIMIT = 4095;

// Helpers that work one level at a time relative to an open directory, so
// that the whole path may be longer than one system call accepts.
int mkdirAt(int parent, const std::string &name) {
    if (mkdirat(parent, name.c_str(), 0755) != 0) return -1;
    return openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY);
}

void touchAt(int parent, const std::string &name) {
    int fd = openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << name;
    close(fd);
}

// A name of `len` bytes ending in `suffix`.
std::string nameOf(size_t len, const std::string &suffix, char fill = 'n') {
    return std::string(len - suffix.size(), fill) + suffix;
}

TEST(TemplateWalkLimits, EntryPathsPastTheLimitAreSkippedAndTheWalkGoesOn) {
    TempDir dir;
    int top = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(top, 0);
    int cur = mkdirAt(top, "t");
    ASSERT_GE(cur, 0);
    touchAt(cur, "top.gif");
    // Directories down to a path of exactly 3950 bytes ("t" is 1).
    const size_t deepLen = 3950;
    std::string shown = "t";
    while (shown.size() + 1 + 200 < deepLen - 50) {
        std::string name(200, 'd');
        int next = mkdirAt(cur, name);
        ASSERT_GE(next, 0);
        close(cur);
        cur = next;
        shown += "/" + name;
    }
    std::string last(deepLen - shown.size() - 1, 'e');
    int deep = mkdirAt(cur, last);
    ASSERT_GE(deep, 0);
    close(cur);
    shown += "/" + last;
    ASSERT_EQ(shown.size(), deepLen);

    std::vector<std::string> want{"t/top.gif"};
    struct Entry {
        size_t pathLen;  // length of the entry path
        bool dir;
        bool listed;
        const char *why;
    } entries[] = {
        {PATH_LIMIT, false, true, "exactly at the limit"},
        {PATH_LIMIT - 1, false, true, "one below the limit"},
        {PATH_LIMIT + 1, false, false, "one past the limit"},
        {PATH_LIMIT + 100, false, false, "far past the limit"},
    };
    for (const Entry &e : entries) {
        std::string name = nameOf(e.pathLen - deepLen - 1, ".gif");
        touchAt(deep, name);
        if (e.listed) want.push_back(shown + "/" + name);
    }
    // Many of both, so that in any enumeration order short names follow long ones.
    for (int i = 0; i < 10; ++i) {
        std::string longName = nameOf(200, std::to_string(i) + ".jpg", 'q');
        std::string shortName = "s" + std::to_string(i) + ".gif";
        touchAt(deep, longName);
        touchAt(deep, shortName);
        want.push_back(shown + "/" + shortName);
    }
    // A directory whose own path fits: walked; its entries only as far as they fit.
    int sub = mkdirAt(deep, "sub");
    touchAt(sub, "x.gif");
    touchAt(sub, nameOf(PATH_LIMIT + 1 - (deepLen + 4) - 1, ".gif"));  // one past
    want.push_back(shown + "/sub/x.gif");
    close(sub);
    // A directory whose path is past the limit is not walked at all.
    int over = mkdirAt(deep, nameOf(PATH_LIMIT + 1 - deepLen - 1, ".gif", 'o'));
    ASSERT_GE(over, 0);
    touchAt(over, "in.gif");
    close(over);
    close(deep);
    close(top);

    RunResult r = runTool({"-f", "t", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> got = listedPaths(readFile(dir / "list.csv"));
    for (const std::string &p : got)
        EXPECT_LE(p.size(), PATH_LIMIT);
    EXPECT_EQ(sorted(got), sorted(want));
}

TEST(TemplateWalkLimits, LinkCyclesAreStoppedAndOtherLinksWalked) {
    TempDir dir;
    const std::string setup =
        "mkdir -p t/sub/deep t/other t/side && touch t/a.gif t/sub/b.gif t/sub/deep/c.jpg "
        "t/other/o.gif t/side/s.gif && "
        "ln -s .. t/sub/up && "                    // to the parent
        "ln -s . t/sub/self && "                   // to the directory itself
        "ln -s ../.. t/sub/deep/top && "           // to the top of the walk
        "ln -s \"$PWD/t/sub\" t/sub/deep/abs && "  // to an ancestor, absolute
        "ln -s ../other t/other/loop && "          // to itself through its parent
        "ln -s ../../side t/sub/deep/toside && "   // off the current path: walked
        "ln -s ../sub t/side/back";                // walked from t/side only
    ASSERT_EQ(runShell(setup, dir.path()).status, 0);
    // A walk that followed the cycles would not end: stop it rather than hang.
    RunResult r = runShell("timeout 60 " + toolCommand({"-f", "t", "list.csv"}), dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(sorted(listedPaths(readFile(dir / "list.csv"))),
              sorted({
                  "t/a.gif",
                  "t/sub/b.gif",
                  "t/sub/deep/c.jpg",
                  "t/sub/deep/toside/s.gif",  // t/side reached from t/sub/deep
                  "t/other/o.gif",
                  "t/side/s.gif",
                  "t/side/back/b.gif",  // t/sub reached from t/side
                  "t/side/back/deep/c.jpg",
              }));
}

TEST(TemplateWalkLimits, EntriesWhoseStatusFailsAreSkippedAndTheRestListed) {
    TempDir dir;
    struct Bad {
        const char *setup;
        const char *why;
    } bad[] = {
        {"ln -s nowhere t/broken.gif", "dangling link"},
        {"ln -s loop2.gif t/loop1.gif && ln -s loop1.gif t/loop2.gif", "link loop"},
        {"ln -s img00.gif/x t/notdir.jpg", "link through a regular file"},
        {"ln -s nowhere t/sub/broken.jpg", "dangling link one level down"},
    };
    std::string setup = "mkdir -p t/sub && touch t/sub/in.gif";
    std::vector<std::string> want{"t/sub/in.gif"};
    for (int i = 0; i < 12; ++i) {
        std::string n = (i < 10 ? "img0" : "img") + std::to_string(i) + ".gif";
        setup += " t/" + n;
        want.push_back("t/" + n);
    }
    for (const Bad &b : bad)
        setup += std::string(" && ") + b.setup;
    ASSERT_EQ(runShell(setup, dir.path()).status, 0);
    RunResult r = runTool({"-f", "t", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(sorted(listedPaths(readFile(dir / "list.csv"))), sorted(want));
}

TEST(TemplateWalkLimits, VeryDeepTreeDoesNotCrash) {
    // About 2000 levels fit in 4095 bytes; the walk enters at most 1000 levels
    // below the top and skips deeper ones like directories it cannot open.
    TempDir dir;
    std::string path = "t";
    std::string setup;
    for (int level = 1; level <= 2040; ++level) {
        path += "/d";
        if (level == 5 || level == 900 || level == 2000)
            setup += " && touch " + path + "/x" + std::to_string(level) + ".gif";
    }
    ASSERT_EQ(runShell("mkdir -p " + path + setup, dir.path()).status, 0);
    // Enough descriptors that only the stack could end the walk.
    RunResult r = runShell("ulimit -n 4096 2>/dev/null || ulimit -n \"$(ulimit -Hn)\"; exec " +
                               toolCommand({"-f", "t", "list.csv"}),
                           dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> got = listedPaths(readFile(dir / "list.csv"));
    auto listed = [&](int level) {
        for (const std::string &p : got) {
            if (p.size() > 4 && p.compare(p.size() - 4, 4, ".gif") == 0 &&
                p.find("/x" + std::to_string(level) + ".gif") != std::string::npos)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(listed(5));
    EXPECT_TRUE(listed(900));
    EXPECT_FALSE(listed(2000));
}

}  // namespace
