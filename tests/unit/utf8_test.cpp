// UTF-16BE to UTF-8 step: every length class, surrogate rules and the bound.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "utf8.h"

namespace {

// Fills emojiUtf16 with `units` (the rest zero) and returns encodeUtf8's output.
std::string encode(const std::vector<unsigned> &units) {
    std::memset(emojiUtf16, 0, sizeof emojiUtf16);
    for (size_t i = 0; i < units.size(); i++) {
        emojiUtf16[2 * i] = static_cast<uint8_t>(units[i] >> 8);
        emojiUtf16[2 * i + 1] = static_cast<uint8_t>(units[i]);
    }
    encodeUtf8();
    return std::string(emojiUtf8);
}

struct Utf8Case {
    const char *why;
    std::vector<unsigned> units;
    std::string utf8;
};

TEST(EncodeUtf8, Table) {
    const Utf8Case cases[] = {
        {"ASCII", {0x41}, "\x41"},
        {"smallest two-byte", {0x80}, "\xC2\x80"},
        {"largest two-byte", {0x7FF}, "\xDF\xBF"},
        {"smallest three-byte", {0x800}, "\xE0\xA0\x80"},
        {"hiragana", {0x3042}, "\xE3\x81\x82"},
        {"half-width katakana", {0xFF61}, "\xEF\xBD\xA1"},
        {"largest unit", {0xFFFF}, "\xEF\xBF\xBF"},
        {"pair", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {"first pair", {0xD800, 0xDC00}, "\xF0\x90\x80\x80"},
        {"last pair", {0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
        {"lone low surrogate written, text goes on", {0xDC00, 0x41}, "\xED\xB0\x80\x41"},
        {"high surrogate before a non-surrogate ends the text", {0xD800, 0x41}, ""},
        {"high surrogate before the end", {0x41, 0xD800}, "\x41"},
        {"high surrogate before another high surrogate", {0x42, 0xDBFF, 0xDBFF, 0x41}, "\x42"},
        {"empty", {}, ""},
        {"unit with a zero high byte is a character", {0x0001, 0x0100}, "\x01\xC4\x80"},
    };
    for (const Utf8Case &c : cases)
        EXPECT_EQ(encode(c.units), c.utf8) << c.why;
}

TEST(EncodeUtf8, StopsAtTheUnitBound) {
    std::vector<unsigned> units(UTF16_MAX_UNITS, 0x3042);
    std::string out = encode(units);
    EXPECT_EQ(out.size(), 3u * UTF16_MAX_UNITS);

    // A high surrogate as the last unit has its partner beyond the bound.
    units.back() = 0xD800;
    EXPECT_EQ(encode(units).size(), 3u * (UTF16_MAX_UNITS - 1));

    // As the unit before the last it still pairs with the last.
    units[UTF16_MAX_UNITS - 2] = 0xD800;
    units[UTF16_MAX_UNITS - 1] = 0xDC00;
    out = encode(units);
    EXPECT_EQ(out.size(), 3u * (UTF16_MAX_UNITS - 2) + 4);
    EXPECT_EQ(out.substr(out.size() - 4), "\xF0\x90\x80\x80");
}

}  // namespace
