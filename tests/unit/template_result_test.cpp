// Results of the template walk and of its start, which the command line does
// not show: -1 for a refused or uncreatable list and for a directory that
// cannot be opened, 0 for a walk whose last entry was handled.
#include <gtest/gtest.h>

#include <cstdio>

#include "template_list.h"
#include "test_support.h"

using namespace testsupport;

namespace {

TEST(TemplateResult, SearchGif) {
    struct Case {
        const char *setup;
        const char *dir;
        int result;
        size_t groups;
        const char *why;
    } cases[] = {
        {"true", "missing", -1, 0, "no such directory"},
        {"touch f.gif", "f.gif", -1, 0, "not a directory"},
        {"mkdir t", "t", 0, 0, "only the dot entries"},
        {"mkdir t && touch t/a.gif t/b.JPG t/c.txt", "t", 0, 2, "files only"},
        {"mkdir -p t/s/u && touch t/s/u/a.jpeg", "t", 0, 1, "nested directories"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        ASSERT_EQ(runShell(c.setup, dir.path()).status, 0) << c.why;
        FILE *list = std::tmpfile();
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(searchGif((dir / c.dir).c_str(), list), c.result) << c.why;
        long size = std::ftell(list);
        std::rewind(list);
        std::string text(static_cast<size_t>(size), '\0');
        EXPECT_EQ(std::fread(&text[0], 1, text.size(), list), text.size());
        std::fclose(list);
        EXPECT_EQ(splitLines(text).size(), 7 * c.groups) << c.why;
    }
}

TEST(TemplateResult, StartSearchGif) {
    struct Case {
        const char *dir;
        const char *list;
        int result;
        bool created;
        const char *why;
    } cases[] = {
        {"t", "l.txt", -1, false, "refused name"},
        {"t", "no/l.csv", -1, false, "list cannot be created"},
        {"missing", "l.csv", -1, true, "walk fails, list still created"},
        {"t", "l.csv", 0, true, "walk succeeds"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        ASSERT_EQ(runShell("mkdir t && touch t/a.gif", dir.path()).status, 0);
        EXPECT_EQ(startSearchGif((dir / c.dir).c_str(), (dir / c.list).c_str()), c.result) << c.why;
        EXPECT_EQ(fileExists(dir / c.list), c.created) << c.why;
    }
}

}  // namespace
