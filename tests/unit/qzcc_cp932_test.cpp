// The converter's documented behaviour on the linked CP932 table, called
// the way the tool calls it (a 32,772-byte buffer) and with tight buffers.
#include <gtest/gtest.h>

#include <vector>

#include "CP932.h"
#include "qz_cc_api.h"
#include "qzcc_tables.h"

namespace {

using qzcctest::Bytes;
using qzcctest::hex;

const Bytes &cp932() {
    static const Bytes t(convert_tbl, convert_tbl + CP932_TABLE_SIZE);
    return t;
}

struct Case {
    const char *why;
    uint16_t form, direction;
    const char *input;
    uint32_t size;
    int32_t result;
    const char *output;
};

TEST(QzccCp932, DocumentedExamples) {
    const Case cases[] = {
        {"ASCII", 0, 0, "41", 32772, 2, "00 41"},
        {"hiragana a", 0, 0, "82 A0", 32772, 2, "30 42"},
        {"0x5C stays a backslash", 0, 0, "5C", 32772, 2, "00 5C"},
        {"half-width katakana", 0, 0, "B1", 32772, 2, "FF 71"},
        {"fbu section", 0, 0, "87 90", 32772, 2, "22 52"},
        {"IBM extension through fbu", 0, 0, "ED 40", 32772, 2, "7E 8A"},
        {"0x80: one byte", 0, 0, "80 41", 32772, -1, "00 3F 00 41"},
        {"0xA0 0x41: two bytes", 0, 0, "A0 41 42", 32772, -1, "00 3F 00 42"},
        {"0xFD 0x41: two bytes", 0, 0, "FD 41 42", 32772, -1, "00 3F 00 42"},
        {"lead then end", 0, 0, "82", 32772, -1, "00 3F"},
        {"lead + space", 0, 0, "82 20", 32772, -1, "00 3F"},
        {"UTF-8 hiragana", 1, 0, "82 A0", 32772, 3, "E3 81 82"},
        {"UTF-8 katakana", 1, 0, "B1", 32772, 3, "EF BD B1"},
        {"UTF-8 substitution", 1, 0, "80", 32772, -1, "3F"},
        {"size 4: second character stops", 0, 0, "41 42", 4, -2, "00 41 00 00"},
        {"size 3: nothing", 0, 0, "41", 3, -2, "00 00 00"},
        {"empty", 0, 0, "", 32772, 0, ""},
        {"to local: unit with zero high byte", 0, 1, "00 41", 32772, 1, "41"},
        {"to local: hiragana", 0, 1, "30 42", 32772, 2, "82 A0"},
        {"to local: katakana rule", 0, 1, "FF 61", 32772, 1, "A1"},
        {"to local: yen through fub", 0, 1, "00 A5", 32772, 1, "5C"},
        {"to local: broken bar, high byte 0", 0, 1, "00 A6", 32772, 1, "7C"},
        {"to local: U+203E, U+20AC, U+0080 unmapped", 0, 1, "20 3E 20 AC 00 80", 32772, -1,
         "3F 3F 3F"},
        {"to local: wave dash unmapped", 0, 1, "30 1C", 32772, -1, "3F"},
        {"to local: C0 80 is U+0000, unmapped", 1, 1, "C0 80", 32772, -1, "3F"},
        {"to local: size 3", 0, 1, "30 42 30 42", 3, -2, "82 A0 00"},
        {"to local: size 1", 0, 1, "00 41", 1, -2, "00"},
        {"to local: E3 41 42", 1, 1, "E3 41 42", 32772, -1, "3F"},
        {"to local: E3 81 then end", 1, 1, "E3 81", 32772, -1, "3F"},
        {"to local: UTF-8 kanji", 1, 1, "E4 BA 9C", 32772, 2, "88 9F"},
    };
    for (const Case &c : cases) {
        qzcctest::Out o = qzcctest::convert(hex(c.input), c.size, cp932(), c.form, c.direction);
        EXPECT_EQ(o.result, c.result) << c.why;
        Bytes want = hex(c.output);
        EXPECT_EQ(Bytes(o.whole.begin(), o.whole.begin() + want.size()), want) << c.why;
        size_t nonzero = 0;
        for (size_t i = want.size(); i < o.whole.size(); i++)
            nonzero += o.whole[i] != 0;
        EXPECT_EQ(nonzero, 0u) << c.why << ": buffer not cleared";
    }
}

// Whole rows of level-1 kanji through UTF-16BE and back as one text: every
// character stays in step, one unit per code and the same code back.
TEST(QzccCp932, LongTextStaysInStep) {
    Bytes text;
    for (unsigned lead = 0x89; lead <= 0x97; lead++)
        for (unsigned trail = 0x40; trail <= 0xFC; trail++) {
            if (trail == 0x7F) continue;
            text.push_back(static_cast<uint8_t>(lead));
            text.push_back(static_cast<uint8_t>(trail));
        }
    qzcctest::Out u = qzcctest::convert(text, 32772, cp932(), 0, 0);
    ASSERT_GT(u.result, 0) << "rows 0x89-0x97 are fully mapped";
    EXPECT_EQ(static_cast<size_t>(u.result), text.size()) << "one unit per code";
    Bytes back(u.whole.begin(), u.whole.begin() + u.result);
    qzcctest::Out l = qzcctest::convert(back, 32772, cp932(), 0, 1);
    ASSERT_EQ(l.result, u.result);
    EXPECT_EQ(Bytes(l.whole.begin(), l.whole.begin() + l.result), text);
}

}  // namespace
