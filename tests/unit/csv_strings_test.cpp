// The reader's string helpers: white space, the first comma, line-end trimming.
#include <gtest/gtest.h>

#include <string>

#include "csv_reader.h"

namespace {

TEST(SkipSpace, SkipsOnlyAsciiWhiteSpace) {
    struct {
        std::string in;
        size_t skipped;
    } cases[] = {
        {"abc", 0},   {" \t\n\v\f\rx", 6}, {"   ", 3},
        {"", 0},      {"\x85x", 0},        {"\xA0x", 0},  // high bytes never count
        {"\x08x", 0}, {"\x0Ex", 0},                       // just outside 0x09-0x0D
    };
    for (auto &c : cases) {
        std::string s = c.in;
        EXPECT_EQ(skipSpace(&s[0]) - &s[0], static_cast<long>(c.skipped)) << c.in;
    }
}

TEST(FindComma, FindsTheFirst) {
    std::string s = "a.gif,b,c";
    EXPECT_EQ(findComma(&s[0]) - &s[0], 5);
    std::string none = "a.gif";
    EXPECT_EQ(findComma(&none[0]), nullptr);
}

TEST(TrimStr, CutsBeforeTheFirstLineEndAfterTheFirstByte) {
    struct {
        std::string in, out;
    } cases[] = {
        {"abc\r\n", "abc"}, {"abc\n", "abc"}, {"\r", "\r"},         {"\n", "\n"},   {"\r\n", "\r"},
        {"", ""},           {"a\rb\n", "a"},  {"\nabc\n", "\nabc"}, {"abc", "abc"},
    };
    for (auto &c : cases) {
        std::string s = c.in;
        EXPECT_EQ(trimStr(&s[0]), 0);
        EXPECT_EQ(std::string(s.c_str()), c.out) << c.in;
    }
}

}  // namespace
