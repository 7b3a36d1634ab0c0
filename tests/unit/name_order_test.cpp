// The order of the names of a directory: pairs in the order they must come,
// as UTF-8 names (their own keys) and as CP932 names (keyed through the
// converter), each compared both ways round.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "name_order.h"

namespace {

// The key of a name in the system's spelling.
std::string keyOf(const std::string &name, bool cp932) {
    if (!cp932) return name;
    std::vector<char> key(NAME_KEY_BYTES_PER_BYTE * name.size() + 1);
    size_t len = cp932NameKey(name.c_str(), key.data(), key.size());
    return std::string(key.data(), len);
}

int compare(const std::string &a, const std::string &b, bool cp932) {
    std::string keyA = keyOf(a, cp932), keyB = keyOf(b, cp932);
    return compareNames(a.c_str(), keyA.c_str(), b.c_str(), keyB.c_str());
}

struct OrderCase {
    const char *why;
    bool cp932;  // the names are CP932 bytes, else UTF-8
    const char *first;
    const char *second;
};

TEST(NameOrder, PairsComeInTheirOrder) {
    const OrderCase cases[] = {
        {"numbers by value, not by digits", false, "e_239.gif", "e_2279.gif"},
        {"a number against a longer one", false, "2.gif", "10.gif"},
        {"hiragana (U+3042) before full-width A (U+FF21) in UTF-8", false, "\xE3\x81\x82",
         "\xEF\xBC\xA1"},
        {"the same in CP932, whose bytes put them the other way", true, "\x82\xA0", "\x82\x60"},
        {"half-width katakana (U+FF71) after full-width A in CP932", true, "\x82\x60", "\xB1"},
        {"ASCII before hiragana in CP932", true, "a.gif", "\x82\xA0.gif"},
        {"a number in CP932 names by value", true,
         "\x82\xA0"
         "9.gif",
         "\x82\xA0"
         "10.gif"},
        {"fewer leading zeros first", false, "e_7.gif", "e_007.gif"},
        {"the first run whose zeros differ decides", false, "0a00", "00a0"},
        {"a greater number decides before any zeros", false, "007b", "8a"},
        {"a name that ends first", false, "a", "a1"},
        {"a digit by its byte against a letter", false, "a1", "aa"},
        {"a digit by its byte against a dot", false, "a.gif", "a1.gif"},
        {"upper case by its code point before lower", false, "B", "a"},
        {"a byte that is no UTF-8 by its value: below a lead byte", false, "\x80", "\xC3\xA9"},
        {"a byte that is no UTF-8 by its value: above every lead byte", false, "\xE3\x81\x82",
         "\xFF"},
        {"one key for two CP932 names: their bytes", true, "\x82\x21", "\x82\x22"},
    };
    for (const OrderCase &c : cases) {
        EXPECT_LT(compare(c.first, c.second, c.cp932), 0) << c.why;
        EXPECT_GT(compare(c.second, c.first, c.cp932), 0) << c.why;
    }
}

TEST(NameOrder, OnlyTheSameBytesAreEqual) {
    EXPECT_EQ(compare("e_239.gif", "e_239.gif", false), 0);
    EXPECT_EQ(compare("\x82\xA0", "\x82\xA0", true), 0);
}

}  // namespace
