// UTF-16BE to UTF-8 step: every length class, surrogate rules and the bound;
// the reader's conversion of a text against the converter's full-size call.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CP932.h"
#include "csv_reader.h"
#include "qz_cc_api.h"
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

// What the reader's conversion must give: the converter's call with the
// whole output size into a cleared area, then the UTF-8 step.
int fullSizeConversion(const std::string &text, std::string *utf8) {
    static uint8_t utf16[2 * UTF16_MAX_UNITS];
    static char out[UTF8_BUF_SIZE];
    int result = qz_code_convert(utf16, reinterpret_cast<const uint8_t *>(text.c_str()),
                                 UTF16_CONVERT_SIZE, convert_tbl, QZ_CC_UTF16BE, QZ_CC_TO_UNICODE);
    encodeUtf8Units(utf16, out);
    *utf8 = out;
    return result;
}

std::string repeated(const std::string &piece, size_t times) {
    std::string s;
    for (size_t i = 0; i < times; i++)
        s += piece;
    return s;
}

TEST(ConvertCp932Text, GivesTheFullSizeCallsTextAndResultAfterALongerLine) {
    struct Row {
        const char *why;
        std::string text;
    };
    const Row rows[] = {
        {"empty", ""},
        {"ASCII", "<emoji><yomi1>abc</yomi1></emoji>"},
        {"kana and kanji", "\x82\xA0\x8A\xBF"},
        {"half-width katakana: one byte, one unit", "\xB1\xB2\xB3"},
        {"lead byte without a trail byte at the end", "a\x82"},
        {"bytes that map to nothing", "\x80\xA0\xFD\xFE\xFF"},
        {"the most units a conversion holds", std::string(16385, 'a')},
        {"one unit more: the output is full", std::string(16386, 'a')},
        {"the longest text, kanji", repeated("\x88\x9F", (LINE_BUF_SIZE - 1) / 2)},
        {"the longest text, ASCII", std::string(LINE_BUF_SIZE - 1, 'b')},
    };
    // Each row follows a line that filled the area with other units.
    const std::string longer(LINE_BUF_SIZE - 1, 'z');
    for (const Row &row : rows) {
        std::string want;
        int wantResult = fullSizeConversion(row.text, &want);
        convertCp932Text(longer.c_str(), longer.size(), emojiUtf8, sizeof emojiUtf8);
        int result =
            convertCp932Text(row.text.c_str(), row.text.size(), emojiUtf8, sizeof emojiUtf8);
        EXPECT_EQ(result, wantResult) << row.why;
        EXPECT_EQ(std::string(emojiUtf8), want) << row.why;
    }
}

}  // namespace
