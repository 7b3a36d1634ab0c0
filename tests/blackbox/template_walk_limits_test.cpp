// The template run on awkward trees: entry paths at and past the path limit,
// symbolic-link cycles and branches, entries whose status cannot be read,
// names a list line cannot carry and very deep trees. None of them may crash
// the walk, cut it short or make it run away.
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

TEST(TemplateWalkLimits, EachDirectoryIsWalkedOnceByTheFirstPathThatMeetsIt) {
    TempDir dir;
    const std::string setup =
        "mkdir -p t/sub/deep t/other t/side outside && touch t/a.gif t/sub/b.gif "
        "t/sub/deep/c.jpg t/other/o.gif t/side/s.gif outside/x.gif && "
        "ln -s .. t/sub/up && "                    // to the parent
        "ln -s . t/sub/self && "                   // to the directory itself
        "ln -s ../.. t/sub/deep/top && "           // to the top of the walk
        "ln -s \"$PWD/t/sub\" t/sub/deep/abs && "  // to an ancestor, absolute
        "ln -s ../other t/other/loop && "          // to itself through its parent
        "ln -s ../../side t/sub/deep/toside && "   // to a sibling of an ancestor
        "ln -s ../sub t/side/back && "             // and back again
        "ln -s ../../../outside t/sub/deep/out";   // out of the tree: walked there
    ASSERT_EQ(runShell(setup, dir.path()).status, 0);
    // A walk that followed the cycles would not end: stop it rather than hang.
    RunResult r = runShell("timeout 60 " + toolCommand({"-f", "t", "list.csv"}), dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // t/sub and t/side each lead to the other; whichever t lists first is
    // walked there, the other one's link finds it walked already.
    std::vector<std::string> top = enumerationOrder(dir / "t");
    bool sideFirst =
        std::find(top.begin(), top.end(), "side") < std::find(top.begin(), top.end(), "sub");
    std::string sub = sideFirst ? "t/side/back" : "t/sub";
    std::string side = sideFirst ? "t/side" : "t/sub/deep/toside";
    EXPECT_EQ(sorted(listedPaths(readFile(dir / "list.csv"))),
              sorted({"t/a.gif", "t/other/o.gif", sub + "/b.gif", sub + "/deep/c.jpg",
                      sub + "/deep/out/x.gif", side + "/s.gif"}));
}

TEST(TemplateWalkLimits, LinksThatBranchToTheSameDirectoryWalkItOnce) {
    // 40 directories, each holding two links to the next: followed every
    // time, the walk would double at each level.
    TempDir dir;
    ASSERT_EQ(runShell("mkdir -p t/d40 && i=0 && while [ $i -lt 40 ]; do "
                       "mkdir t/d$i && touch t/d$i/img$i.gif && "
                       "ln -s ../d$((i + 1)) t/d$i/a && ln -s ../d$((i + 1)) t/d$i/b && "
                       "i=$((i + 1)); done",
                       dir.path())
                  .status,
              0);
    RunResult r = runShell("timeout 60 " + toolCommand({"-f", "t", "list.csv"}), dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> names, want;
    for (const std::string &p : listedPaths(readFile(dir / "list.csv")))
        names.push_back(p.substr(p.rfind('/') + 1));
    for (int i = 0; i < 40; ++i)
        want.push_back("img" + std::to_string(i) + ".gif");
    EXPECT_EQ(sorted(names), sorted(want));
}

TEST(TemplateWalkLimits, NamesNoListLineCanCarryAreReportedAndSkipped) {
    struct Entry {
        const char *name;  // under t/
        bool dir;
        const char *message;  // the path as reported, or null when silent
    } entries[] = {
        {"q.gif\nvictim.gif", false, "t/q.gif?victim.gif"},  // would read back as two lines
        {"cr\r.jpg", false, "t/cr?.jpg"},
        {"a,b.gif", false, "t/a,b.gif"},   // would read back cut at the comma
        {"notes\n,.txt", false, nullptr},  // not an image: never listed anyway
        {"sub,dir", true, "t/sub,dir"},    // reported once, not walked
        {"line\nbreak", true, "t/line?break"},
        {"ok.gif", false, nullptr},
        {"plain", true, nullptr},
    };
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "t").c_str(), 0755), 0);
    std::string want;
    for (const Entry &e : entries) {
        std::string path = dir / "t/" + e.name;
        if (e.dir) {
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
            writeFile(path + "/in.gif", "");
        } else {
            writeFile(path, "");
        }
        if (e.message) want += std::string("Error: ") + e.message + ": name cannot be listed\n";
    }
    RunResult r = runTool({"-f", "t", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(sorted(splitLines(r.err)), sorted(splitLines(want)));
    EXPECT_EQ(sorted(listedPaths(readFile(dir / "list.csv"))),
              sorted({"t/ok.gif", "t/plain/in.gif"}));

    // The walked directory itself: nothing below it can be listed.
    r = runTool({"-f", "t/sub,dir", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Error: t/sub,dir: name cannot be listed\n");
    EXPECT_EQ(readFile(dir / "list.csv"), "");
}

// The reader skips the blanks before a name: a walked directory named with a
// leading blank would list names that read back as others.
TEST(TemplateWalkLimits, TopWithALeadingBlankIsNotListed) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / " t").c_str(), 0755), 0);
    writeFile(dir / " t/in.gif", "");
    RunResult r = runTool({"-f", " t", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Error:  t: name cannot be listed\n");
    EXPECT_EQ(readFile(dir / "list.csv"), "");
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

TEST(TemplateWalkLimits, DeepTreeIsWalkedToItsDeepestImageUnderASmallStack) {
    // Paths of up to 4095 bytes allow about 2000 levels ("t/d/d/..."); the walk
    // keeps its levels off the machine stack, so a 1 MiB stack is plenty. It
    // holds one directory open per level and raises its own soft limit on open
    // files, set low here, to the hard one.
    constexpr int kLevels = 2040;
    RunResult hard = runShell("ulimit -Hn");
    if (hard.out != "unlimited\n" && std::stol(hard.out) < kLevels + 64)
        GTEST_SKIP() << "this system allows only " << hard.out
                     << " open files; the walk needs one per level";
    TempDir dir;
    std::string path = "t";
    std::string setup;
    std::vector<std::string> want;
    for (int level = 1; level <= kLevels; ++level) {
        path += "/d";
        if (level == 5 || level == 1100 || level == kLevels) {
            std::string image = path + "/x" + std::to_string(level) + ".gif";
            setup += " && touch " + image;
            want.push_back(image);
        }
    }
    ASSERT_LE(want.back().size(), PATH_LIMIT);
    ASSERT_EQ(runShell("mkdir -p " + path + setup, dir.path()).status, 0);
    RunResult r =
        runShell("ulimit -s 1024 && ulimit -Sn 256 && exec " + toolCommand({"-f", "t", "list.csv"}),
                 dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(sorted(listedPaths(readFile(dir / "list.csv"))), sorted(want));
}

}  // namespace
