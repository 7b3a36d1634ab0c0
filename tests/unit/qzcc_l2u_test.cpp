// Converter entry and local-to-Unicode direction on made-up tables of every
// kind: per-type rules, lookups at bitmap and range edges, malformed groups
// and the bytes they consume, output-full boundaries, the byte form.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "qz_cc_api.h"
#include "qzcc_tables.h"

namespace {

using qzcctest::Bytes;
using qzcctest::Case;
using qzcctest::hex;
using qzcctest::namedTable;

TEST(QzccToUnicode, RulesAndLookups) {
    const Case cases[] = {
        // Single bytes by type.
        {"ASCII", "22", 0, "41", 64, 2, "00 41"},
        {"type 22 has no yen rule", "22", 0, "5C 7E 7F", 64, 6, "00 5C 00 7E 00 7F"},
        {"type 21 yen, overline, 0x7F", "21", 0, "5C 7E 7F", 64, -1, "00 A5 20 3E 00 3F"},
        {"type 23 yen, overline, 0x7F", "23", 0, "5C 7E 7F", 64, -1, "00 A5 20 3E 00 3F"},
        {"type 22 half-width katakana ends", "22", 0, "A1 B1 DF", 64, 6, "FF 61 FF 71 FF 9F"},
        {"type 21 half-width katakana", "21", 0, "A1 DF", 64, 4, "FF 61 FF 9F"},
        {"type 23: 0xA1 is a lead byte", "23", 0, "A1 41 42", 64, -1, "00 3F 00 42"},
        {"type 11: 0xB1 is a lead byte", "11", 0, "B1 41 42", 64, -1, "00 3F 00 42"},
        {"type 22: 0xA0 and 0xE0 are lead bytes", "22", 0, "A0 41 E0 41", 64, -1, "00 3F 00 3F"},
        {"type 11 euro", "11", 0, "80", 64, 2, "20 AC"},
        {"type 12 euro", "12", 0, "80", 64, 2, "20 AC"},
        {"type 22: 0x80 alone is one substitution", "22", 0, "80 41", 64, -1, "00 3F 00 41"},
        {"other type: 0x80 substituted", "0", 0, "80", 64, -1, "00 3F"},
        // Bitmap block of lead 0x81.
        {"first trail of a bitmap block", "22", 0, "81 40", 64, 2, "30 00"},
        {"trail in word 1 of group 0", "22", 0, "81 7E", 64, 2, "00 D7"},
        {"absent trail, not in fbu", "22", 0, "81 7F", 64, -1, "00 3F"},
        {"first trail of group 1 takes group 0's count", "22", 0, "81 80", 64, 2, "00 F7"},
        {"last of word 0", "22", 0, "81 9F", 64, 2, "4E 00"},
        {"first of word 1", "22", 0, "81 A0", 64, 2, "4E 01"},
        {"last of group 1", "22", 0, "81 BF", 64, 2, "4E 02"},
        {"first of group 2", "22", 0, "81 C0", 64, 2, "4E 03"},
        {"last trail byte", "22", 0, "81 FF", 64, 2, "4E 04"},
        {"absent trail found in fbu", "22", 0, "81 90", 64, 2, "22 52"},
        // Range list of lead 0x82.
        {"first of a run", "22", 0, "82 4F", 64, 2, "FF 10"},
        {"first + length - 1", "22", 0, "82 58", 64, 2, "FF 19"},
        {"first + length is outside", "22", 0, "82 59", 64, -1, "00 3F"},
        {"middle record", "22", 0, "82 60 82 79", 64, 4, "FF 21 FF 3A"},
        {"run up to 0xFF without wrap", "22", 0, "82 F0 82 FF", 64, 4, "30 41 30 50"},
        {"no range covers it, fbu does", "22", 0, "82 80", 64, 2, "12 34"},
        {"range record of length 1", "22", 0, "9F 50", 64, 2, "60 00"},
        {"length 1: neighbours outside", "22", 0, "9F 4F 9F 51", 64, -1, "00 3F 00 3F"},
        {"lead in the second group", "11", 0, "C1 41", 64, 2, "50 00"},
        {"lead in word 1 of the second group", "22", 0, "E1 41", 64, 2, "50 01"},
        {"type 22: 0xC1 is katakana, not a lead", "22", 0, "C1 41", 64, 4, "FF 81 00 41"},
        {"last lead and trail", "22", 0, "FF FF", 64, 2, "70 00"},
        {"absent lead found in fbu", "22", 0, "ED 40", 64, 2, "7E 8A"},
        {"absent lead not in fbu", "22", 0, "ED 41", 64, -1, "00 3F"},
        {"fbu position 0: no fallback", "22-nofallback", 0, "81 90 ED 40", 64, -1, "00 3F 00 3F"},
        // Malformed double-byte groups.
        {"lead then terminator: one substitution, end", "22", 0, "81", 64, -1, "00 3F"},
        {"lead + 0x20: one substitution for both", "22", 0, "81 20 41", 64, -1, "00 3F 00 41"},
        {"lead + digit outside type 13: both bytes", "22", 0, "81 30 41", 64, -1, "00 3F 00 41"},
        {"lead + 0x3F: both bytes", "22", 0, "81 3F 41", 64, -1, "00 3F 00 41"},
        {"lead + 0x01: both bytes", "22", 0, "81 01 41", 64, -1, "00 3F 00 41"},
        {"mixed text", "22", 0, "41 81 40 B1 42", 64, 8, "00 41 30 00 FF 71 00 42"},
        // Type 13.
        {"type 13 origin", "13", 0, "81 30 81 30", 64, 2, "00 80"},
        {"type 13 fourth byte", "13", 0, "81 30 81 39", 64, 2, "00 89"},
        {"type 13 third byte", "13", 0, "81 30 82 30", 64, 2, "00 8A"},
        {"type 13 second run", "13", 0, "81 31 81 35", 64, 2, "01 05"},
        {"type 13 third run", "13", 0, "83 30 82 32", 64, 2, "E7 6C"},
        {"type 13 between runs", "13", 0, "81 30 85 30", 64, -1, "00 3F"},
        {"type 13 past the last run", "13", 0, "FE 39 FE 39", 64, -1, "00 3F"},
        {"type 13 double-byte code", "13", 0, "81 40", 64, 2, "4E 00"},
        {"type 13: 0x80 substituted", "13", 0, "80 41", 64, -1, "00 3F 00 41"},
        {"type 13: no katakana rule", "13", 0, "A1 41 42", 64, -1, "00 3F 00 42"},
        {"type 13: 0x81 0x30 then end", "13", 0, "81 30", 64, -1, "00 3F"},
        {"type 13: zero fourth byte ends after three", "13", 0, "81 30 81", 64, -1, "00 3F"},
        {"type 13: bad third and fourth byte, all four", "13", 0, "81 30 41 42 43", 64, -1,
         "00 3F 00 43"},
        {"type 13: third byte 0x80 is not a lead", "13", 0, "81 30 80 30 43", 64, -1,
         "00 3F 00 43"},
        {"type 13: fourth byte not a digit", "13", 0, "81 30 81 41 43", 64, -1, "00 3F 00 43"},
        {"type 13: second byte below the digits", "13", 0, "81 2F 43", 64, -1, "00 3F 00 43"},
        {"type 13: second byte above the digits", "13", 0, "81 3A 43", 64, -1, "00 3F 00 43"},
        {"type 13: ASCII unchanged", "13", 0, "5C 7E", 64, 4, "00 5C 00 7E"},
        // Single-byte tables.
        {"single-byte ASCII", "50", 0, "41 5C", 64, 4, "00 41 00 5C"},
        {"escaped high byte through a run", "50", 0, "81 E9", 64, 2, "00 E9"},
        {"first and last byte of a run", "50", 0, "81 A0 81 FF", 64, 4, "00 A0 00 FF"},
        {"run of length 1", "50", 0, "81 80", 64, 2, "20 AC"},
        {"byte in no run", "50", 0, "81 90", 64, -1, "00 3F"},
        {"escape + ASCII: both consumed", "50", 0, "81 41 42", 64, -1, "00 3F 00 42"},
        {"escape then end", "50", 0, "81", 64, -1, "00 3F"},
        {"unescaped high byte: one byte", "50", 0, "E9 41", 64, -1, "00 3F 00 41"},
        {"0x80 unescaped", "50", 0, "80", 64, -1, "00 3F"},
        {"any type from 50 up", "200", 0, "81 E9", 64, 2, "00 E9"},
        // UTF-8 output.
        {"UTF-8 one byte", "22", 1, "41", 64, 1, "41"},
        {"UTF-8 two bytes", "22", 1, "81 7E", 64, 2, "C3 97"},
        {"UTF-8 three bytes", "22", 1, "81 40", 64, 3, "E3 80 80"},
        {"UTF-8 katakana", "22", 1, "B1", 64, 3, "EF BD B1"},
        {"UTF-8 substitution", "22", 1, "80", 64, -1, "3F"},
        {"UTF-8 euro", "11", 1, "80", 64, 3, "E2 82 AC"},
        {"UTF-8 high byte 0x01", "13", 1, "81 31 81 35", 64, 2, "C4 85"},
        // Empty input.
        {"empty input", "22", 0, "", 64, 0, ""},
        {"empty input, UTF-8", "22", 1, "", 1, 0, ""},
    };
    for (const Case &c : cases)
        qzcctest::runCase(c, QZ_CC_TO_UNICODE);
}

TEST(QzccToUnicode, OutputFull) {
    const Case cases[] = {
        {"size 4: first unit fits, second not", "22", 0, "41 42", 4, -2, "00 41 00 00"},
        {"size 3: nothing fits", "22", 0, "41", 3, -2, "00 00 00"},
        {"size 5: still one unit", "22", 0, "41 42", 5, -2, "00 41"},
        {"size 6: both fit with the two-byte terminator", "22", 0, "41 42", 6, 4, "00 41 00 42"},
        {"-2 wins over a pending -1", "22", 0, "80 41", 4, -2, "00 3F"},
        {"a substitution that does not fit", "22", 0, "41 80", 5, -2, "00 41"},
        {"UTF-8 one byte needs 2", "22", 1, "41", 1, -2, ""},
        {"UTF-8 one byte in 2", "22", 1, "41", 2, 1, "41"},
        {"UTF-8 two bytes need 3", "22", 1, "81 7E", 2, -2, ""},
        {"UTF-8 two bytes in 3", "22", 1, "81 7E", 3, 2, "C3 97"},
        {"UTF-8 three bytes need 4", "22", 1, "81 40", 3, -2, ""},
        {"UTF-8 three bytes in 4", "22", 1, "81 40", 4, 3, "E3 80 80"},
        {"UTF-8: a later character stops it", "22", 1, "41 81 40", 4, -2, "41"},
    };
    for (const Case &c : cases)
        qzcctest::runCase(c, QZ_CC_TO_UNICODE);
}

TEST(QzccBytes, BothDirections) {
    const Case toBytes[] = {
        {"copied", "none", 2, "41 7F", 64, 2, "41 7F"},
        {"escaped high byte", "none", 2, "81 E9", 64, 1, "E9"},
        {"escaped 0x80 and 0xFF", "none", 2, "81 80 81 FF", 64, 2, "80 FF"},
        {"unescaped high byte", "none", 2, "82", 64, -1, "3F"},
        {"escape + ASCII: both consumed", "none", 2, "81 41 42", 64, -1, "3F 42"},
        {"escape + '?' is still a substitution", "none", 2, "81 3F", 64, -1, "3F"},
        {"a plain '?' is not", "none", 2, "3F", 64, 1, "3F"},
        {"escape then end", "none", 2, "81", 64, -1, "3F"},
        {"size 1: nothing fits", "none", 2, "41", 1, -2, ""},
        {"size 2: one byte", "none", 2, "41 42", 2, -2, "41"},
        {"empty", "none", 2, "", 1, 0, ""},
        {"table not read", "22", 2, "81 E9", 64, 1, "E9"},
    };
    for (const Case &c : toBytes)
        qzcctest::runCase(c, QZ_CC_TO_UNICODE);
    const Case toEscaped[] = {
        {"high byte escaped", "none", 2, "E9", 64, 2, "81 E9"},
        {"mixed", "none", 2, "41 E9 81", 64, 5, "41 81 E9 81 81"},
        {"escaped pair needs 3", "none", 2, "E9", 2, -2, ""},
        {"escaped pair in 3", "none", 2, "E9", 3, 2, "81 E9"},
        {"ASCII needs 2", "none", 2, "41", 1, -2, ""},
        {"empty", "none", 2, "", 1, 0, ""},
    };
    for (const Case &c : toEscaped)
        qzcctest::runCase(c, QZ_CC_TO_LOCAL);
}

TEST(QzccEntry, ArgumentChecks) {
    const Bytes t = namedTable("22");
    const uint8_t in[] = {0x41, 0};
    struct {
        const char *why;
        bool output, input;
        uint32_t size;
        bool table;
        uint16_t form, direction;
        int32_t result;
    } cases[] = {
        {"valid", true, true, 8, true, 0, 0, 2},
        {"no output", false, true, 8, true, 0, 0, -3},
        {"no input", true, false, 8, true, 0, 0, -3},
        {"size 0", true, true, 0, true, 0, 0, -3},
        {"no table, UTF-16BE", true, true, 8, false, 0, 0, -3},
        {"no table, UTF-8", true, true, 8, false, 1, 1, -3},
        {"no table, byte form", true, true, 8, false, 2, 0, 1},
        {"form 3", true, true, 8, true, 3, 0, -3},
        {"direction 2", true, true, 8, true, 0, 2, -3},
    };
    for (const auto &c : cases) {
        uint8_t buf[9];
        memset(buf, 0xAA, sizeof buf);
        int32_t r = qz_code_convert(c.output ? buf : nullptr, c.input ? in : nullptr, c.size,
                                    c.table ? t.data() : nullptr, c.form, c.direction);
        EXPECT_EQ(r, c.result) << c.why;
        if (!c.output) continue;
        // The output is cleared over its whole size, also when rejected;
        // with size 0 nothing is touched.
        size_t written = r > 0 ? static_cast<size_t>(r) : 0;
        for (size_t i = written; i < c.size; i++)
            EXPECT_EQ(buf[i], 0) << c.why << " byte " << i;
        EXPECT_EQ(buf[c.size], 0xAA) << c.why << ": cleared past the size";
    }
}

}  // namespace
