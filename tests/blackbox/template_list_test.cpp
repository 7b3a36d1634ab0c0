// The template run ("-f"): which entries are listed, the group's exact text,
// entry paths, walk order, the list's name and the silent failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "template_support.h"
#include "test_support.h"

using namespace testsupport;
using namespace templatetest;

namespace {

const std::string GROUP_TAIL = ",yomi1\n,hyoki1\n,hinsi1\n,category1\n,type\n,tag1\n,tagcont\n";

TEST(TemplateList, OneGroupIsTheSevenExactLines) {
    TempDir dir;
    runShell("mkdir t && touch t/a.gif", dir.path());
    RunResult r = runTool({"-f", "t", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(dir / "list.csv"), "t/a.gif" + GROUP_TAIL);
}

struct NameCase {
    const char *name;
    bool listed;
    const char *why;
};

TEST(TemplateList, SuffixDecidesInAnyLetterCase) {
    const NameCase cases[] = {
        {"a.GIF", true, "upper-case suffix"},
        {"b.jpg", true, "plain .jpg"},
        {"c.JPEG", true, "four-letter suffix, upper case"},
        {"f.Jpg", true, "mixed case"},
        {"g.jPeG", true, "mixed case, four letters"},
        {".gif", true, "the whole name is the suffix"},
        {"l.jpeg.jpg", true, "only the last suffix counts"},
        {"d.png", false, "other image kind"},
        {"e", false, "no suffix at all"},
        {"x.gif.bak", false, "suffix is .bak"},
        {"k.gif.", false, "a trailing dot leaves an empty suffix"},
        {"h.jpe", false, "prefix of .jpeg"},
        {"i.gi", false, "prefix of .gif"},
        {"j.gifx", false, "longer than .gif"},
        {"m.jpegg", false, "longer than .jpeg"},
        {"gif", false, "the letters without the dot"},
        {"n.\xC4\x9Fif", false, "non-ASCII letter is not folded"},
    };
    TempDir dir;
    runShell("mkdir t", dir.path());
    std::vector<std::string> want;
    for (const NameCase &c : cases) {
        writeFile(dir / "t/" + c.name, "");
        if (c.listed) want.push_back(std::string("t/") + c.name);
    }
    RunResult r = runTool({"-f", "t", "list.csv"}, dir.path());
    EXPECT_EQ(r.err, "");
    std::vector<std::string> got = listedPaths(readFile(dir / "list.csv"));
    for (const NameCase &c : cases) {
        bool found = std::find(got.begin(), got.end(), std::string("t/") + c.name) != got.end();
        EXPECT_EQ(found, c.listed) << c.name << ": " << c.why;
    }
    // One group per file, in the order the directory delivers its entries.
    std::vector<std::string> inOrder;
    for (const std::string &n : enumerationOrder(dir / "t")) {
        if (std::find(want.begin(), want.end(), "t/" + n) != want.end())
            inOrder.push_back("t/" + n);
    }
    EXPECT_EQ(got, inOrder);
}

// A tree described by the test: which entries exist and which are listed.
struct Node {
    std::string name;
    bool dir;
    bool listed;  // files only
    std::vector<Node> kids;
};

void makeTree(const std::string &at, const std::vector<Node> &nodes) {
    for (const Node &n : nodes) {
        if (n.dir) {
            ASSERT_EQ(mkdir((at + "/" + n.name).c_str(), 0755), 0) << n.name;
            makeTree(at + "/" + n.name, n.kids);
        } else {
            writeFile(at + "/" + n.name, "");
        }
    }
}

// The expected groups: depth first, pre-order, in the platform's order.
void expectedWalk(const std::string &fsDir, const std::string &shown,
                  const std::vector<Node> &nodes, std::vector<std::string> *out) {
    for (const std::string &name : enumerationOrder(fsDir)) {
        for (const Node &n : nodes) {
            if (n.name != name) continue;
            if (n.dir) {
                expectedWalk(fsDir + "/" + name, shown + "/" + name, n.kids, out);
            } else if (n.listed) {
                out->push_back(shown + "/" + name);
            }
        }
    }
}

const std::vector<Node> NESTED = {
    {"top.gif", false, true, {}},
    {"notes.txt", false, false, {}},
    {"a",
     true,
     false,
     {{"a1.jpg", false, true, {}},
      {"a2.JPEG", false, true, {}},
      {"deeper",
       true,
       false,
       {{"d1.gif", false, true, {}}, {"bottom", true, false, {{"z.jpg", false, true, {}}}}}},
      {"a3.gif", false, true, {}}}},
    {"album.gif", true, false, {{"inside.gif", false, true, {}}}},
    {"empty.jpg", true, false, {}},
    {"b", true, false, {{"b1.gif", false, true, {}}, {"skip.bmp", false, false, {}}}},
    {"last.jpeg", false, true, {}},
};

TEST(TemplateList, NestedTreeIsWalkedDepthFirstInEnumerationOrder) {
    struct Case {
        const char *arg;
        const char *shown;
        const char *why;
    } cases[] = {
        {"t", "t", "plain path"},
        {"t/", "t/", "trailing separator is doubled in every path"},
        {"./t//", "./t//", "path used exactly as given"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        runShell("mkdir t", dir.path());
        makeTree(dir / "t", NESTED);
        std::vector<std::string> want;
        expectedWalk(dir / "t", c.shown, NESTED, &want);
        ASSERT_EQ(want.size(), 9u);
        RunResult r = runTool({"-f", c.arg, "list.csv"}, dir.path());
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, "") << c.why;
        EXPECT_EQ(listedPaths(readFile(dir / "list.csv")), want) << c.why;
    }
}

TEST(TemplateList, DotEntriesAreNotWalked) {
    // Walking ".." would list the parent's files; "." would list twice.
    TempDir dir;
    runShell("mkdir -p up/here/sub && touch up/p.gif up/here/h.gif up/here/sub/s.gif", dir.path());
    RunResult r = runTool({"-f", ".", "../../list.csv"}, dir / "up/here");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(sorted(listedPaths(readFile(dir / "list.csv"))),
              (std::vector<std::string>{"./h.gif", "./sub/s.gif"}));
}

TEST(TemplateList, KindComesFromTheStatusThroughLinks) {
    struct Case {
        const char *setup;
        std::vector<std::string> want;
        const char *why;
    } cases[] = {
        {"touch t/real.txt && ln -s real.txt t/link.gif",
         {"t/link.gif"},
         "a link named like an image to a regular file is listed"},
        {"touch t/real.gif && ln -s real.gif t/link.png",
         {"t/real.gif"},
         "the link's own name decides, not its target's"},
        {"mkdir d && touch d/x.jpg && ln -s ../d t/linked.gif",
         {"t/linked.gif/x.jpg"},
         "a link to a directory is walked, even when named like an image"},
        {"mkfifo t/pipe.gif", {}, "a FIFO is neither file nor directory"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        ASSERT_EQ(runShell(std::string("mkdir t && ") + c.setup, dir.path()).status, 0) << c.why;
        RunResult r = runTool({"-f", "t", "list.csv"}, dir.path());
        EXPECT_EQ(r.err, "") << c.why;
        EXPECT_EQ(sorted(listedPaths(readFile(dir / "list.csv"))), c.want) << c.why;
    }
}

TEST(TemplateList, DirectoryThatCannotBeOpenedGivesAnEmptyList) {
    struct Case {
        const char *setup;
        const char *arg;
        const char *why;
    } cases[] = {
        {"true", "missing", "no such directory"},
        {"touch plain.gif", "plain.gif", "a regular file, not a directory"},
        {"true", "", "empty path"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        runShell(c.setup, dir.path());
        writeFile(dir / "list.csv", "old content\n");
        RunResult r = runTool({"-f", c.arg, "list.csv"}, dir.path());
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, "") << c.why;
        EXPECT_TRUE(fileExists(dir / "list.csv")) << c.why;
        EXPECT_EQ(readFile(dir / "list.csv"), "") << c.why;
    }
}

TEST(TemplateList, ListNameMustEndInDotCsv) {
    struct Case {
        const char *list;
        const char *why;
    } cases[] = {
        {"t.CSV", "the check is case-sensitive"},
        {"t.txt", "other suffix"},
        {"list", "no dot"},
        {"t.csv.bak", "suffix after .csv"},
        {"t.csv ", "trailing space"},
        {"out.csv/list", "the last dot lies in a directory part"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        runShell("mkdir t && touch t/a.gif", dir.path());
        RunResult r = runTool({"-f", "t", c.list}, dir.path());
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, std::string("Error: ") + c.list + ": not csv file\n") << c.why;
        EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"t"}) << c.why;
    }
}

TEST(TemplateList, ListThatCannotBeCreated) {
    struct Case {
        const char *setup;
        const char *list;
        const char *why;
    } cases[] = {
        {"true", "nodir/t.csv", "its directory is missing"},
        {"mkdir taken.csv", "taken.csv", "a directory has the name"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        runShell(std::string("mkdir t && touch t/a.gif && ") + c.setup, dir.path());
        RunResult r = runTool({"-f", "t", c.list}, dir.path());
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, std::string("Error: ") + c.list + ": cannot write open\n") << c.why;
    }
}

TEST(TemplateList, AcceptedNamesAndAnExistingListIsReplaced) {
    TempDir dir;
    runShell("mkdir -p t a.b && touch t/a.gif", dir.path());
    writeFile(dir / "a.b/list.csv", std::string(1000, 'x'));
    RunResult r = runTool({"-f", "t", "a.b/list.csv"}, dir.path());
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(dir / "a.b/list.csv"), "t/a.gif" + GROUP_TAIL);
}

TEST(TemplateList, ListInsideTheWalkedTreeIsNotListed) {
    TempDir dir;
    runShell("touch a.gif b.JPG", dir.path());
    RunResult r = runTool({"-f", ".", "list.csv"}, dir.path());
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(sorted(listedPaths(readFile(dir / "list.csv"))),
              (std::vector<std::string>{"./a.gif", "./b.JPG"}));
}

TEST(TemplateList, UnreadableSubdirectoryIsSkippedSilently) {
    TempDir dir;
    std::string prefix, why;
    if (!permissionsBind(dir.path(), &prefix, &why)) GTEST_SKIP() << why;
    struct Case {
        const char *mode;
        const char *why;
    } cases[] = {
        {"000", "cannot be opened at all"},
        {"100", "can be searched but not read"},
        {"444", "can be read but its entries' status cannot"},
    };
    for (const Case &c : cases) {
        TempDir tree;
        runShell(std::string("mkdir -p t/aa t/locked/inner t/zz && touch t/a.gif t/aa/b.gif "
                             "t/locked/c.gif t/locked/inner/d.gif t/zz/e.gif t/z.jpg && chmod ") +
                     c.mode + " t/locked",
                 tree.path());
        RunResult r = runShell(prefix + toolCommand({"-f", "t", "list.csv"}), tree.path());
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, "") << c.why;
        EXPECT_EQ(sorted(listedPaths(readFile(tree / "list.csv"))),
                  (std::vector<std::string>{"t/a.gif", "t/aa/b.gif", "t/z.jpg", "t/zz/e.gif"}))
            << c.why;
    }
}

TEST(TemplateList, UnreadableTopDirectoryGivesAnEmptyList) {
    TempDir dir;
    std::string prefix, why;
    if (!permissionsBind(dir.path(), &prefix, &why)) GTEST_SKIP() << why;
    runShell("mkdir t && touch t/a.gif && chmod 000 t", dir.path());
    RunResult r = runShell(prefix + toolCommand({"-f", "t", "list.csv"}), dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fileExists(dir / "list.csv"));
    EXPECT_EQ(readFile(dir / "list.csv"), "");
}

}  // namespace
