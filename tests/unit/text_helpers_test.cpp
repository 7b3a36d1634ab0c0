// The text helpers of the core: the well-formed UTF-8 character, CP932
// character lengths, the converter's calls under their size rule, and the
// shown form of a control byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "CP932.h"
#include "qz_cc_api.h"
#include "shown_name.h"
#include "text_cp932.h"
#include "text_utf8.h"

namespace {

TEST(DecodeUtf8Char, Table) {
    struct Row {
        const char *why;
        std::string bytes;
        size_t len;   // 0: no well-formed character
        uint32_t cp;  // when there is one
    };
    const Row rows[] = {
        {"ASCII", "A", 1, 0x41},
        {"a NUL is a character", std::string(1, '\0'), 1, 0},
        {"two bytes, smallest", "\xC2\x80", 2, 0x80},
        {"three bytes, smallest", "\xE0\xA0\x80", 3, 0x800},
        {"four bytes", "\xF0\x9F\x98\x80", 4, 0x1F600},
        {"four bytes, largest", "\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
        {"only the first character counts", "\xC3\xA9\x80", 2, 0xE9},
        {"overlong two bytes", "\xC0\x80", 0, 0},
        {"overlong three bytes", "\xE0\x80\x80", 0, 0},
        {"overlong four bytes", "\xF0\x80\x80\x80", 0, 0},
        {"surrogate", "\xED\xA0\x80", 0, 0},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 0, 0},
        {"lead byte 0xF5", "\xF5\x80\x80\x80", 0, 0},
        {"lead byte 0xF8", "\xF8\x80\x80\x80\x80", 0, 0},
        {"stray continuation byte", "\x80", 0, 0},
        {"cut short by the end", "\xE3\x81", 0, 0},
        {"a NUL is no continuation byte", std::string("\xE3\x81\0", 3), 0, 0},
        {"ASCII where a continuation belongs",
         "\xE3"
         "A\x82",
         0, 0},
    };
    for (const Row &row : rows) {
        uint32_t cp = 0xFFFFFFFF;
        size_t len = decodeUtf8Char(row.bytes.data(), row.bytes.size(), &cp);
        EXPECT_EQ(len, row.len) << row.why;
        if (row.len > 0) {
            EXPECT_EQ(cp, row.cp) << row.why;
        }
        // A text is UTF-8 when it is that character and nothing else.
        bool whole = row.len == row.bytes.size();
        EXPECT_EQ(isUtf8(row.bytes.data(), row.bytes.size()), whole) << row.why;
    }
}

TEST(EncodeUtf8Char, EachLengthDecodesBack) {
    struct Row {
        const char *why;
        uint32_t cp;
        size_t len;
    };
    const Row rows[] = {
        {"largest one-byte", 0x7F, 1},       {"smallest two-byte", 0x80, 2},
        {"largest two-byte", 0x7FF, 2},      {"smallest three-byte", 0x800, 3},
        {"largest unit", 0xFFFF, 3},         {"smallest four-byte", 0x10000, 4},
        {"largest code point", 0x10FFFF, 4},
    };
    for (const Row &row : rows) {
        char out[UTF8_CHAR_MAX];
        ASSERT_EQ(encodeUtf8Char(row.cp, out), row.len) << row.why;
        uint32_t back = 0;
        EXPECT_EQ(decodeUtf8Char(out, row.len, &back), row.len) << row.why;
        EXPECT_EQ(back, row.cp) << row.why;
    }
    // A surrogate's value takes its three-byte form, which no decoder takes.
    char out[UTF8_CHAR_MAX];
    ASSERT_EQ(encodeUtf8Char(0xDC00, out), 3u);
    EXPECT_EQ(std::string(out, 3), "\xED\xB0\x80");
}

TEST(Cp932CharLength, Table) {
    struct Row {
        const char *why;
        std::string bytes;
        size_t len;
        size_t characters;
    };
    const Row rows[] = {
        {"ASCII", "a", 1, 1},
        {"0x80 stands alone", "\x80\x41", 1, 2},
        {"half-width katakana stand alone", "\xB1\xDF", 1, 2},
        {"lead and trail byte", "\x82\xA0", 2, 1},
        {"0xA0 is a lead byte", "\xA0\x41", 2, 1},
        {"a lead byte before a NUL stands alone", std::string("\x82\0", 2), 1, 2},
        {"a lead byte at the end stands alone", "\x82", 1, 1},
        {"kanji, kana and ASCII", "\x8A\xBF\xB1z\x82\xA0", 2, 4},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(cp932CharLength(row.bytes.data(), row.bytes.size()), row.len) << row.why;
        EXPECT_EQ(cp932Characters(row.bytes.data(), row.bytes.size()), row.characters) << row.why;
    }
}

// The converter's own call with all of `cap`, into a cleared area.
int32_t fullCall(std::string *out, size_t cap, const std::string &in, uint16_t form,
                 uint16_t direction) {
    std::string buf(cap, '\0');
    int32_t r = qz_code_convert(reinterpret_cast<uint8_t *>(&buf[0]),
                                reinterpret_cast<const uint8_t *>(in.c_str()),
                                static_cast<uint32_t>(cap), convert_tbl, form, direction);
    *out = std::string(buf.c_str());
    return r;
}

TEST(ConvertCp932, GivesTheCallWithTheWholeSize) {
    struct Row {
        const char *why;
        std::string text;
        size_t cap;
        uint16_t form;
        uint16_t direction;
    };
    const std::string kana = "\x82\xA0\xB1\x8A\xBF";  // hiragana, half-width, kanji
    const std::string utf8 = "\xE3\x81\x82\xEF\xBD\xB1\xE6\xBC\xA2";
    const Row rows[] = {
        {"CP932 to UTF-8, room to spare", kana, 64, QZ_CC_UTF8, QZ_CC_TO_UNICODE},
        {"CP932 to UTF-8, exactly the room", kana, 10, QZ_CC_UTF8, QZ_CC_TO_UNICODE},
        {"CP932 to UTF-8, full", kana, 9, QZ_CC_UTF8, QZ_CC_TO_UNICODE},
        {"half-width katakana, three bytes each", "\xB1\xB2\xB3", 10, QZ_CC_UTF8, QZ_CC_TO_UNICODE},
        {"bytes with no Unicode form", "\xFD\xFE", 64, QZ_CC_UTF8, QZ_CC_TO_UNICODE},
        {"CP932 to UTF-16BE", kana, 64, QZ_CC_UTF16BE, QZ_CC_TO_UNICODE},
        {"CP932 to UTF-16BE, full", kana, 8, QZ_CC_UTF16BE, QZ_CC_TO_UNICODE},
        {"UTF-8 to CP932, room to spare", utf8, 64, QZ_CC_UTF8, QZ_CC_TO_LOCAL},
        {"UTF-8 to CP932, full", utf8, 5, QZ_CC_UTF8, QZ_CC_TO_LOCAL},
        {"characters not in CP932", "\xF0\x9F\x98\x80\xE2\x82\xAC", 64, QZ_CC_UTF8, QZ_CC_TO_LOCAL},
        {"malformed UTF-8", "\xC3(\xE3\x81", 64, QZ_CC_UTF8, QZ_CC_TO_LOCAL},
        {"empty", "", 4, QZ_CC_UTF8, QZ_CC_TO_UNICODE},
    };
    for (const Row &row : rows) {
        std::string want;
        int32_t wantResult = fullCall(&want, row.cap, row.text, row.form, row.direction);
        // Left from a longer text: the bytes beyond the room given stay.
        std::string out(row.cap, 'x');
        int32_t r = convertCp932(&out[0], row.cap, row.text.c_str(), row.text.size(), row.form,
                                 row.direction);
        EXPECT_EQ(r, wantResult) << row.why;
        EXPECT_EQ(std::string(out.c_str()), want) << row.why;
    }
}

TEST(ShownName, ControlBytesAndNothingElse) {
    struct Row {
        const char *why;
        unsigned char byte;
        bool control;
    };
    const Row rows[] = {
        {"NUL", 0x00, true},
        {"tab", '\t', true},
        {"line feed", '\n', true},
        {"escape", 0x1B, true},
        {"last below space", 0x1F, true},
        {"space", ' ', false},
        {"tilde", '~', false},
        {"DEL", 0x7F, true},
        {"0x80", 0x80, false},
        {"a CP932 lead byte", 0x82, false},
        {"0xFF", 0xFF, false},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(isControlByte(row.byte), row.control) << row.why;
        char c = static_cast<char>(row.byte);
        EXPECT_EQ(shownByte(c), row.control ? '?' : c) << row.why;
    }
}

}  // namespace
