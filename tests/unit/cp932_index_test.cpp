// The direct index of convert_tbl (CP932_index.h) against the table walk it
// stands in for: key by key against the walking lookups, and through
// qz_code_convert for every two-byte text and every code unit, where
// convert_tbl itself takes the index and a copy of it (another address)
// takes the walk. Any difference in result or output bytes fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CP932.h"
#include "CP932_index.h"
#include "qz_cc_api.h"
#include "qz_cc_internal.h"

namespace {

const uint8_t *walkedCopy() {
    static const std::vector<uint8_t> copy(convert_tbl, convert_tbl + CP932_TABLE_SIZE);
    return copy.data();
}

qz_cc_context context() {
    qz_cc_context ctx;
    qz_cc_read_context(&ctx, convert_tbl);
    return ctx;
}

std::string hexKey(unsigned key) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", key);
    return text;
}

TEST(Cp932Index, EveryDoubleByteKeyAnswersAsTheWalk) {
    qz_cc_context ctx = context();
    int differences = 0;
    for (unsigned lead = 0x80; lead <= 0xFF; lead++) {
        for (unsigned trail = 0x40; trail <= 0xFF; trail++) {
            uint8_t local[2] = {static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)};
            uint8_t unit[2] = {0, 0};
            int found = qz_cc_lookup_l2u(local, unit, &ctx);
            unsigned walked = found ? (unit[0] << 8 | unit[1]) : 0;
            // 0 marks "not found" in the index, so no found value may be 0.
            EXPECT_TRUE(!found || walked != 0) << hexKey(lead << 8 | trail);
            unsigned indexed =
                qz_cc_cp932_l2u[(lead - QZ_CC_CP932_LEAD_FIRST) * QZ_CC_CP932_TRAILS +
                                (trail - QZ_CC_CP932_TRAIL_FIRST)];
            if (indexed != walked && ++differences <= 10)
                ADD_FAILURE() << hexKey(lead << 8 | trail) << ": index " << hexKey(indexed)
                              << ", walk " << hexKey(walked);
        }
    }
    EXPECT_EQ(differences, 0);
}

TEST(Cp932Index, EveryCodeUnitAnswersAsTheWalk) {
    qz_cc_context ctx = context();
    int differences = 0;
    for (unsigned u = 0; u <= 0xFFFF; u++) {
        uint8_t unit[2] = {static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
        uint8_t local[2] = {0, 0};
        int found = qz_cc_lookup_u2l(unit, local, &ctx);
        unsigned walked = found ? (local[0] << 8 | local[1]) : 0;
        EXPECT_TRUE(!found || walked != 0) << hexKey(u);
        unsigned indexed = qz_cc_cp932_u2l[qz_cc_cp932_u2l_page[u >> 8]][u & 0xFF];
        if (indexed != walked && ++differences <= 10)
            ADD_FAILURE() << "U+" << hexKey(u) << ": index " << hexKey(indexed) << ", walk "
                          << hexKey(walked);
    }
    EXPECT_EQ(differences, 0);
}

TEST(Cp932Index, EmptyPageHoldsOnlyZeros) {
    for (unsigned low = 0; low < 256; low++)
        EXPECT_EQ(qz_cc_cp932_u2l[0][low], 0) << low;
}

// One call with convert_tbl and one with the copy; both results and both
// whole output buffers must be equal. Returns false after a difference.
bool sameConversion(const uint8_t *input, uint32_t size, uint16_t form, uint16_t direction,
                    const std::string &what) {
    uint8_t direct[64], walked[64];
    std::memset(direct, 0xAA, sizeof direct);
    std::memset(walked, 0x55, sizeof walked);
    int32_t a = qz_code_convert(direct, input, size, convert_tbl, form, direction);
    int32_t b = qz_code_convert(walked, input, size, walkedCopy(), form, direction);
    if (a == b && std::memcmp(direct, walked, size) == 0) return true;
    ADD_FAILURE() << what << ": results " << a << " and " << b << " or the outputs differ";
    return false;
}

struct Mode {
    const char *why;
    uint16_t form;
    uint32_t size;
};

TEST(Cp932Index, EveryTwoByteTextConvertsAsWithTheWalk) {
    const Mode modes[] = {
        {"UTF-16BE, room to spare", QZ_CC_UTF16BE, 16},
        {"UTF-16BE, room for one unit: the second character is refused", QZ_CC_UTF16BE, 4},
        {"UTF-16BE, room for two units", QZ_CC_UTF16BE, 6},
        {"UTF-8, room to spare", QZ_CC_UTF8, 16},
        {"UTF-8, room for two bytes only", QZ_CC_UTF8, 3},
    };
    for (const Mode &m : modes) {
        int differences = 0;
        // Every first and second byte, with the terminator behind; a zero
        // second byte ends the text after one byte.
        for (unsigned text = 0x0100; text <= 0xFFFF && differences < 10; text++) {
            uint8_t input[4] = {static_cast<uint8_t>(text >> 8), static_cast<uint8_t>(text), 0, 0};
            if (!sameConversion(input, m.size, m.form, QZ_CC_TO_UNICODE,
                                std::string(m.why) + ", " + hexKey(text)))
                differences++;
        }
        EXPECT_EQ(differences, 0) << m.why;
    }
}

// The UTF-8 form of a code unit (overlong-free, surrogates encoded as they are).
void encodeUtf8(unsigned u, uint8_t *out) {
    if (u < 0x80) {
        out[0] = static_cast<uint8_t>(u);
        out[1] = 0;
    } else if (u < 0x800) {
        out[0] = static_cast<uint8_t>(0xC0 | u >> 6);
        out[1] = static_cast<uint8_t>(0x80 | (u & 0x3F));
        out[2] = 0;
    } else {
        out[0] = static_cast<uint8_t>(0xE0 | u >> 12);
        out[1] = static_cast<uint8_t>(0x80 | (u >> 6 & 0x3F));
        out[2] = static_cast<uint8_t>(0x80 | (u & 0x3F));
        out[3] = 0;
    }
}

TEST(Cp932Index, EveryCodeUnitConvertsAsWithTheWalk) {
    const Mode modes[] = {
        {"UTF-16BE input, room to spare", QZ_CC_UTF16BE, 16},
        {"UTF-16BE input, room for one byte: a two-byte code is refused", QZ_CC_UTF16BE, 2},
        {"UTF-8 input, room to spare", QZ_CC_UTF8, 16},
        {"UTF-8 input, room for two bytes", QZ_CC_UTF8, 3},
    };
    for (const Mode &m : modes) {
        int differences = 0;
        for (unsigned u = 0x0001; u <= 0xFFFF && differences < 10; u++) {
            uint8_t input[6] = {0, 0, 0, 0, 0, 0};
            if (m.form == QZ_CC_UTF16BE) {
                // Each unit followed by a second one, U+3042, to see that the
                // conversion goes on after it.
                input[0] = static_cast<uint8_t>(u >> 8);
                input[1] = static_cast<uint8_t>(u);
                input[2] = 0x30;
                input[3] = 0x42;
            } else {
                encodeUtf8(u, input);
            }
            if (!sameConversion(input, m.size, m.form, QZ_CC_TO_LOCAL,
                                std::string(m.why) + ", U+" + hexKey(u)))
                differences++;
        }
        EXPECT_EQ(differences, 0) << m.why;
    }
}

// A text that walks through every kind of character in one call, where the
// direct path must keep its per-call state straight.
TEST(Cp932Index, MixedTextsConvertAsWithTheWalk) {
    struct Text {
        const char *why;
        uint16_t form, direction;
        std::vector<uint8_t> bytes;  // without the terminator
    };
    const Text texts[] = {
        {"ASCII, kana, hiragana, kanji, fbu code, unmapped lead, lone lead at the end",
         QZ_CC_UTF16BE,
         QZ_CC_TO_UNICODE,
         {0x41, 0xB1, 0x82, 0xA0, 0x88, 0x9F, 0xED, 0x40, 0x80, 0xA0, 0x41, 0x82, 0x20, 0x82}},
        {"the same to UTF-8",
         QZ_CC_UTF8,
         QZ_CC_TO_UNICODE,
         {0x41, 0xB1, 0x82, 0xA0, 0x88, 0x9F, 0xED, 0x40, 0x80, 0xA0, 0x41, 0x82, 0x20, 0x82}},
        {"units: ASCII, kana, hiragana, fub, unmapped, U+0080, surrogate",
         QZ_CC_UTF16BE,
         QZ_CC_TO_LOCAL,
         {0x00, 0x41, 0xFF, 0x61, 0x30, 0x42, 0x00, 0xA5, 0x30, 0x1C, 0x00, 0x80, 0xD8, 0x00}},
        {"UTF-8: ASCII, hiragana, broken group, four-byte lead",
         QZ_CC_UTF8,
         QZ_CC_TO_LOCAL,
         {0x41, 0xE3, 0x81, 0x82, 0xE3, 0x41, 0x42, 0xF0, 0x9F, 0x41}},
    };
    for (const Text &t : texts) {
        std::vector<uint8_t> input = t.bytes;
        input.insert(input.end(), {0, 0});
        for (uint32_t size = 1; size <= 40; size++)
            sameConversion(input.data(), size, t.form, t.direction,
                           std::string(t.why) + ", size " + std::to_string(size));
    }
}

}  // namespace
