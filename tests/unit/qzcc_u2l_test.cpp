// Unicode-to-local direction on made-up tables: the rule order per type,
// both bitmap levels and range lists, the fallback list, four-byte runs,
// the single-byte index, the UTF-8 decoder's malformed groups and the
// writing rule that keeps one byte free.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "qz_cc_api.h"
#include "qz_cc_internal.h"
#include "qzcc_tables.h"

namespace {

using qzcctest::Bytes;
using qzcctest::Case;
using qzcctest::hex;
using qzcctest::namedTable;

TEST(QzccToLocal, RulesByType) {
    const Case cases[] = {
        {"ASCII", "22", 0, "00 41", 64, 1, "41"},
        {"a zero high byte alone does not end the text", "22", 0, "00 41 00 42", 64, 2, "41 42"},
        {"type 22 backslash, tilde, DEL are ASCII", "22", 0, "00 5C 00 7E 00 7F", 64, 3,
         "5C 7E 7F"},
        {"type 22 katakana rule", "22", 0, "FF 61 FF 9F", 64, 2, "A1 DF"},
        {"type 22 below the katakana goes to the table", "22", 0, "FF 60", 64, -1, "3F"},
        {"type 22: U+0080 never reaches the table", "22", 0, "00 80", 64, -1, "3F"},
        {"type 22: U+203E has no rule", "22", 0, "20 3E", 64, -1, "3F"},
        {"type 22: U+20AC from the table", "22", 0, "20 AC", 64, 2, "87 90"},
        {"type 21 backslash", "21", 0, "00 5C", 64, 2, "81 5F"},
        {"type 21 yen and overline", "21", 0, "00 A5 20 3E", 64, 2, "5C 7E"},
        {"type 21 tilde and DEL not convertible", "21", 0, "00 7E 00 7F 00 7D", 64, -1, "3F 3F 7D"},
        {"type 21 katakana", "21", 0, "FF 61", 64, 1, "A1"},
        {"type 23 backslash", "23", 0, "00 5C", 64, 2, "A1 C0"},
        {"type 23 yen and overline", "23", 0, "00 A5 20 3E", 64, 2, "5C 7E"},
        {"type 23 tilde not convertible", "23", 0, "00 7E", 64, -1, "3F"},
        {"type 23: U+FF61 goes to the table", "23", 0, "FF 61", 64, 2, "88 88"},
        {"type 11 euro rule", "11", 0, "20 AC", 64, 1, "80"},
        {"type 12 euro rule", "12", 0, "20 AC", 64, 1, "80"},
        {"type 11: U+FF61 goes to the table", "11", 0, "FF 61", 64, 2, "88 88"},
        {"type 11 yen only through the fallback list", "11", 0, "00 A5", 64, 1, "5C"},
        {"other type: euro from the table", "0", 0, "20 AC", 64, 2, "87 90"},
        // Lookups in the type-22 table.
        {"range list of high byte 0xFF", "22", 0, "FF 10 FF 19", 64, 4, "82 4F 82 58"},
        {"past the run", "22", 0, "FF 1A", 64, -1, "3F"},
        {"table code below 0x100 is one byte", "22", 0, "00 A6", 64, 1, "7C"},
        {"range list of high byte 0x00", "22", 0, "00 F7", 64, 2, "81 80"},
        {"high byte present, range miss, fallback hit", "22", 0, "00 C0 00 A5", 64, 2, "41 5C"},
        {"bitmap block: first low byte", "22", 0, "30 00", 64, 2, "81 40"},
        {"bitmap block: last of group 0", "22", 0, "30 3F", 64, 2, "81 41"},
        {"bitmap block: first of group 1", "22", 0, "30 40", 64, 2, "81 42"},
        {"bitmap block: last bit of group 3", "22", 0, "30 FF", 64, 2, "81 43"},
        {"bit clear, fallback hit", "22", 0, "30 01 20 16", 64, 4, "81 41 81 61"},
        {"bit clear, no fallback", "22", 0, "30 02", 64, -1, "3F"},
        {"full bitmap: rank 0", "22", 0, "4E 00", 64, 2, "90 00"},
        {"full bitmap: rank 63", "22", 0, "4E 3F", 64, 2, "90 3F"},
        {"full bitmap: rank 192", "22", 0, "4E C0", 64, 2, "90 C0"},
        {"full bitmap: rank 224", "22", 0, "4E E0", 64, 2, "90 E0"},
        {"full bitmap: rank 255 behind the stored 0", "22", 0, "4E FF", 64, 2, "90 FF"},
        {"high byte absent, no fallback", "22", 0, "01 00", 64, -1, "3F"},
        {"fub position 0", "22-nofallback", 0, "00 A5 30 01", 64, -1, "3F 3F"},
        {"surrogates are not paired", "22", 0, "D8 3D DE 00", 64, -1, "3F 3F"},
        {"zero bytes at odd offsets do not end", "22", 0, "41 00 00 42", 64, -1, "3F 42"},
        {"empty", "22", 0, "", 64, 0, ""},
        // Type 13.
        {"type 13: U+0080 without a lookup", "13", 0, "00 80", 64, 4, "81 30 81 30"},
        {"type 13: fourth byte steps", "13", 0, "00 81", 64, 4, "81 30 81 31"},
        {"type 13: third byte steps", "13", 0, "00 8A", 64, 4, "81 30 82 30"},
        {"type 13: last of the run", "13", 0, "00 A3", 64, 4, "81 30 84 35"},
        {"type 13: outside the runs, two-byte side", "13", 0, "00 A4", 64, 2, "A1 E8"},
        {"type 13: in neither", "13", 0, "00 A5", 64, -1, "3F"},
        {"type 13: second run", "13", 0, "01 05", 64, 4, "81 31 81 35"},
        {"type 13: ideograph written as two bytes", "13", 0, "4E 00", 64, 2, "00 41"},
        {"type 13: U+E76B only on the two-byte side", "13", 0, "E7 6B", 64, 2, "FE 50"},
        {"type 13: U+E760 never tries the runs", "13", 0, "E7 60", 64, -1, "3F"},
        {"type 13: U+E76C through the runs", "13", 0, "E7 6C", 64, 4, "83 30 82 32"},
        {"type 13: offset 18 is no fallback list", "13", 0, "81 31", 64, -1, "3F"},
        {"type 13: no katakana rule", "13", 0, "FF 61", 64, -1, "3F"},
        {"type 13: ASCII", "13", 0, "00 7E", 64, 1, "7E"},
        // Single-byte table.
        {"single-byte ASCII", "50", 0, "00 41 00 5C", 64, 2, "41 5C"},
        {"exact index match", "50", 0, "00 A0", 64, 2, "81 A0"},
        {"nearest lower index record", "50", 0, "00 E9", 64, 2, "81 E9"},
        {"last of the run", "50", 0, "00 FF", 64, 2, "81 FF"},
        {"past the run (0x60 > 95)", "50", 0, "01 00", 64, -1, "3F"},
        {"below the first index record", "50", 0, "00 90", 64, -1, "3F"},
        {"U+0080 below the index", "50", 0, "00 80", 64, -1, "3F"},
        {"exact match of run 1", "50", 0, "20 AC", 64, 2, "81 80"},
        {"past a run of length 1", "50", 0, "20 AD", 64, -1, "3F"},
    };
    for (const Case &c : cases)
        qzcctest::runCase(c, QZ_CC_TO_LOCAL);
}

TEST(QzccToLocal, Utf8Decoder) {
    const Case cases[] = {
        {"one byte", "50", 1, "41", 64, 1, "41"},
        {"two bytes", "50", 1, "C3 A9", 64, 2, "81 E9"},
        {"three bytes", "50", 1, "E2 82 AC", 64, 2, "81 80"},
        {"two-byte lead then end", "50", 1, "C3", 64, -1, "3F"},
        {"two-byte lead + non-continuation: both bytes", "50", 1, "C3 41 42", 64, -1, "3F 42"},
        {"two-byte lead + lead: both, then a lone continuation", "50", 1, "C3 C3 A9", 64, -1,
         "3F 3F"},
        {"three-byte lead then end", "50", 1, "E3", 64, -1, "3F"},
        {"three-byte lead, one continuation, end", "50", 1, "E3 81", 64, -1, "3F"},
        {"three-byte lead, non-zero second, zero third", "50", 1, "E3 41", 64, -1, "3F"},
        {"three bytes consumed when not both continuations", "50", 1, "E3 41 42 43", 64, -1,
         "3F 43"},
        {"bad third byte: three consumed", "50", 1, "E3 81 41 44", 64, -1, "3F 44"},
        {"lone continuation", "50", 1, "80 41", 64, -1, "3F 41"},
        {"last continuation", "50", 1, "BF", 64, -1, "3F"},
        {"four-byte sequence: four substitutions", "22", 1, "F0 9F 98 80", 64, -1, "3F 3F 3F 3F"},
        {"0xFF", "50", 1, "FF 41", 64, -1, "3F 41"},
        {"C0 80 is U+0000, not the end", "22", 1, "C0 80 41", 64, -1, "3F 41"},
        {"overlong two-byte form passes", "50", 1, "C1 A9", 64, 1, "69"},
        {"overlong three-byte form passes", "50", 1, "E0 81 A9", 64, 1, "69"},
        {"encoded surrogate is a unit", "50", 1, "ED A0 80", 64, -1, "3F"},
        {"hiragana into a double-byte code", "22", 1, "E3 80 80", 64, 2, "81 40"},
        {"empty", "22", 1, "", 64, 0, ""},
    };
    for (const Case &c : cases)
        qzcctest::runCase(c, QZ_CC_TO_LOCAL);
}

TEST(QzccToLocal, OutputFull) {
    const Case cases[] = {
        {"size 3: one double-byte code, not two", "22", 0, "30 00 30 00", 3, -2, "81 40 00"},
        {"size 1: nothing fits", "22", 0, "00 41", 1, -2, "00"},
        {"size 2: one byte", "22", 0, "00 41", 2, 1, "41"},
        {"size 2: a double-byte code does not fit", "22", 0, "30 00", 2, -2, "00 00"},
        {"size 4: four bytes do not fit", "13", 0, "00 80", 4, -2, "00 00 00 00"},
        {"size 5: four bytes fit", "13", 0, "00 80", 5, 4, "81 30 81 30"},
        {"-2 wins over -1", "22", 0, "01 00 00 41", 2, -2, "3F 00"},
        {"a substitution that does not fit", "22", 0, "00 41 01 00", 2, -2, "41 00"},
        {"UTF-8 input", "22", 1, "E3 80 80", 2, -2, "00 00"},
    };
    for (const Case &c : cases)
        qzcctest::runCase(c, QZ_CC_TO_LOCAL);
}

TEST(QzccToLocal, FourByteLookupExamples) {
    const Bytes t = qzcctest::type13Table();
    qz_cc_context ctx;
    qz_cc_read_context(&ctx, t.data());
    struct {
        const char *why;
        unsigned unit;
        int found;
        const char *seq;
    } cases[] = {
        {"origin", 0x0080, 1, "81 30 81 30"},
        {"U+0081", 0x0081, 1, "81 30 81 31"},
        {"U+008A carries into the third byte", 0x008A, 1, "81 30 82 30"},
        {"U+00A4 lies outside the first run", 0x00A4, 0, ""},
        {"second run at distance 1260", 0x0105, 1, "81 31 81 35"},
        {"below every run", 0x007F, 0, ""},
    };
    for (const auto &c : cases) {
        uint8_t unit[2] = {static_cast<uint8_t>(c.unit >> 8), static_cast<uint8_t>(c.unit)};
        uint8_t seq[4] = {0, 0, 0, 0};
        ASSERT_EQ(qz_cc_lookup_4b_u2l(unit, seq, &ctx), c.found) << c.why;
        if (c.found) {
            EXPECT_EQ(Bytes(seq, seq + 4), hex(c.seq)) << c.why;
        }
    }
}

}  // namespace
