// The direct index of convert_tbl (CP932_index.h) against the table walk it
// stands in for: which tables are recognised as having it; key by key
// against the walking lookups; and through qz_code_convert for every
// two-byte text and every code unit, where convert_tbl takes the index and
// the same table laid out further into its image (no index belongs to that
// layout) takes the walk. Any difference in result or output bytes fails.
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

using Bytes = std::vector<uint8_t>;

constexpr size_t kHeader = 26;  // type code and six uint32 positions

uint32_t u32(const Bytes &t, size_t at) {
    return uint32_t{t[at]} << 24 | uint32_t{t[at + 1]} << 16 | uint32_t{t[at + 2]} << 8 | t[at + 3];
}

void setU16(Bytes &t, size_t at, unsigned v) {
    t[at] = static_cast<uint8_t>(v >> 8);
    t[at + 1] = static_cast<uint8_t>(v);
}

void setU32(Bytes &t, size_t at, uint32_t v) {
    setU16(t, at, v >> 16);
    setU16(t, at + 2, v & 0xFFFF);
}

Bytes copyOfTable() {
    return Bytes(convert_tbl, convert_tbl + CP932_TABLE_SIZE);
}

// convert_tbl with `shift` filler bytes after its header and every section
// position moved with them: the same mapping in another layout (block
// positions count within their areas and stay as they are).
Bytes relaid(size_t shift) {
    Bytes t = copyOfTable();
    t.insert(t.begin() + kHeader, shift, 0xEE);
    for (size_t at = 2; at < kHeader; at += 4)
        setU32(t, at, u32(t, at) + static_cast<uint32_t>(shift));
    return t;
}

const uint8_t *walkedTable() {
    static const Bytes table = relaid(16);
    return table.data();
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

TEST(Cp932Index, RecognisedByItsBytes) {
    struct Case {
        const char *why;
        Bytes table;
        bool indexed;
    };
    Bytes fewerFbu = copyOfTable(), fewerFub = copyOfTable(), type21 = copyOfTable();
    setU16(fewerFbu, u32(fewerFbu, 22) - 1, 397);
    setU16(fewerFub, u32(fewerFub, 18) - 1, 82);
    setU16(type21, 0, 21);
    // A table of the same layout that maps one character otherwise: the
    // index would answer with convert_tbl's mapping.
    Bytes otherMapping = copyOfTable();
    otherMapping[u32(otherMapping, 6) + 40] ^= 0x01;
    const Case cases[] = {
        {"a copy at another address: the content decides", copyOfTable(), true},
        {"the same mapping laid out further: other positions", relaid(16), false},
        {"one byte further is enough", relaid(1), false},
        {"the same header, one fbu record fewer", fewerFbu, false},
        {"the same header, one fub record fewer", fewerFub, false},
        {"type 21 has other rules than the index holds", type21, false},
        {"the same header and counts, one data byte otherwise", otherMapping, false},
        {"the same header and counts, the last byte otherwise",
         [] {
             Bytes t = copyOfTable();
             t.back() ^= 0x01;
             return t;
         }(),
         false},
    };
    qz_cc_context ctx;
    qz_cc_read_context(&ctx, convert_tbl);
    EXPECT_EQ(ctx.index, &qz_cc_cp932_index) << "convert_tbl itself";
    for (const Case &c : cases) {
        qz_cc_read_context(&ctx, c.table.data());
        EXPECT_EQ(ctx.index, c.indexed ? &qz_cc_cp932_index : nullptr) << c.why;
    }
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
                qz_cc_cp932_index.l2u[(lead - QZ_CC_INDEX_LEAD_FIRST) * QZ_CC_INDEX_TRAILS +
                                      (trail - QZ_CC_INDEX_TRAIL_FIRST)];
            if (indexed != walked && ++differences <= 10)
                ADD_FAILURE() << hexKey(lead << 8 | trail) << ": index " << hexKey(indexed)
                              << ", walk " << hexKey(walked);
        }
    }
    EXPECT_EQ(differences, 0);
}

// What each byte is on its own under the type-22 rules, range by range.
TEST(Cp932Index, EveryByteAloneAnswersAsTheRules) {
    struct Range {
        const char *why;
        unsigned first, last;
        bool lead;  // else the code unit is first unit + (b - first)
        unsigned unit;
    };
    const Range ranges[] = {
        {"0x00 ends the text; never looked up, held as 0", 0x00, 0x00, false, 0x0000},
        {"ASCII stands for itself", 0x01, 0x7F, false, 0x0001},
        {"0x80 has no conversion in type 22", 0x80, 0x80, false, 0x0000},
        {"lead bytes below the katakana", 0x81, 0x9F, true, 0},
        {"0xA0 is a lead byte without any code", 0xA0, 0xA0, true, 0},
        {"half-width katakana", 0xA1, 0xDF, false, 0xFF61},
        {"lead bytes above the katakana, user-defined area and unused ones included", 0xE0, 0xFF,
         true, 0},
    };
    unsigned next = 0;
    for (const Range &r : ranges) {
        ASSERT_EQ(r.first, next) << r.why;  // the ranges cover every byte once
        for (unsigned b = r.first; b <= r.last; b++) {
            unsigned want = r.lead ? QZ_CC_INDEX_LEAD : (r.unit == 0 ? 0 : r.unit + (b - r.first));
            EXPECT_EQ(qz_cc_cp932_index.l2u_byte[b], want) << r.why << ", byte " << hexKey(b);
        }
        next = r.last + 1;
    }
    EXPECT_EQ(next, 0x100u);
}

// The index entry of a code unit.
unsigned unitEntry(unsigned u) {
    return qz_cc_cp932_index.u2l[qz_cc_cp932_index.u2l_page[u >> 8]][u & 0xFF];
}

// The whole conversion of one code unit with convert_tbl, as the rules of
// type 22 and the walking lookup give it, in the index's writing order.
unsigned walkedUnit(unsigned u, const qz_cc_context &ctx) {
    uint8_t unit[2] = {static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
    uint8_t local[2] = {0, 0};
    if (u >= 0xFF61 && u <= 0xFF9F) return (u & 0xFF) + 0x40;  // half-width katakana
    if (u >= 0x0001 && u <= 0x007F)
        return qz_cc_lookup_ascii(local, unit, QZ_CC_TYPE_KANA, QZ_CC_TO_LOCAL) ? local[0] : 0;
    if (u == 0x0080) return 0;  // no table lookup for U+0080
    if (!qz_cc_lookup_u2l(unit, local, &ctx)) return 0;
    // 0 marks "no conversion" in the index, so no found code may be 0.
    EXPECT_TRUE(local[0] != 0 || local[1] != 0) << hexKey(u);
    return local[0] == 0 ? local[1] : (local[1] << 8 | local[0]);
}

TEST(Cp932Index, EveryCodeUnitAnswersAsTheRulesAndTheWalk) {
    qz_cc_context ctx = context();
    int differences = 0;
    for (unsigned u = 0; u <= 0xFFFF; u++) {
        unsigned walked = walkedUnit(u, ctx);
        unsigned indexed = unitEntry(u);
        if (indexed != walked && ++differences <= 10)
            ADD_FAILURE() << "U+" << hexKey(u) << ": index " << hexKey(indexed) << ", walk "
                          << hexKey(walked);
    }
    EXPECT_EQ(differences, 0);
}

TEST(Cp932Index, EntriesHoldTheirBytesInWritingOrder) {
    struct Case {
        const char *why;
        unsigned unit, entry;
    };
    const Case cases[] = {
        {"hiragana a is 0x82 0xA0", 0x3042, 0xA082},
        {"half-width katakana a is the single byte 0xB1", 0xFF71, 0x00B1},
        {"ASCII A is the single byte 0x41", 0x0041, 0x0041},
        {"the yen sign converts one way to the single byte 0x5C", 0x00A5, 0x005C},
        {"the full-width tilde is 0x81 0x60", 0xFF5E, 0x6081},
        {"the cent sign converts one way to 0x81 0x91", 0x00A2, 0x9181},
        {"U+0080 has no conversion", 0x0080, 0x0000},
        {"U+0000 has no conversion", 0x0000, 0x0000},
    };
    for (const Case &c : cases)
        EXPECT_EQ(unitEntry(c.unit), c.entry) << c.why;
}

TEST(Cp932Index, EmptyPageHoldsOnlyZeros) {
    for (unsigned low = 0; low < 256; low++)
        EXPECT_EQ(qz_cc_cp932_index.u2l[0][low], 0) << low;
}

// One call with convert_tbl and one with the walked layout; both results and both
// whole output buffers must be equal. Returns false after a difference.
bool sameConversion(const uint8_t *input, uint32_t size, uint16_t form, uint16_t direction,
                    const std::string &what) {
    uint8_t direct[512], walked[512];
    std::memset(direct, 0xAA, sizeof direct);
    std::memset(walked, 0x55, sizeof walked);
    int32_t a = qz_code_convert(direct, input, size, convert_tbl, form, direction);
    int32_t b = qz_code_convert(walked, input, size, walkedTable(), form, direction);
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
        {"UTF-16BE, room for nothing: one byte", QZ_CC_UTF16BE, 1},
        {"UTF-16BE, room for nothing: three bytes, one short of unit and terminator", QZ_CC_UTF16BE,
         3},
        {"UTF-16BE, room for one unit: the second character is refused", QZ_CC_UTF16BE, 4},
        {"UTF-16BE, room for one unit and a byte", QZ_CC_UTF16BE, 5},
        {"UTF-16BE, room for two units", QZ_CC_UTF16BE, 6},
        {"UTF-8, room to spare", QZ_CC_UTF8, 16},
        {"UTF-8, room for nothing", QZ_CC_UTF8, 1},
        {"UTF-8, room for one byte", QZ_CC_UTF8, 2},
        {"UTF-8, room for two bytes only", QZ_CC_UTF8, 3},
        {"UTF-8, room for three bytes", QZ_CC_UTF8, 4},
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
        {"UTF-16BE input, room for nothing", QZ_CC_UTF16BE, 1},
        {"UTF-16BE input, room for one byte: a two-byte code is refused", QZ_CC_UTF16BE, 2},
        {"UTF-16BE input, room for two bytes: U+3042 after a single byte is refused", QZ_CC_UTF16BE,
         3},
        {"UTF-16BE input, room for three bytes", QZ_CC_UTF16BE, 4},
        {"UTF-16BE input, room for four bytes: both characters fit", QZ_CC_UTF16BE, 5},
        {"UTF-8 input, room to spare", QZ_CC_UTF8, 16},
        {"UTF-8 input, room for nothing", QZ_CC_UTF8, 1},
        {"UTF-8 input, room for one byte", QZ_CC_UTF8, 2},
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
// index loops must keep its per-call state straight.
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

// Input that runs into the output: the clearing comes first, and every
// character is read only after the one before it was written, so the
// conversion goes on over what it wrote itself. The index loops must keep
// that order exactly as the walk does.
TEST(Cp932Index, InputRunningIntoTheOutputConvertsAsWithTheWalk) {
    struct Text {
        const char *why;
        uint16_t form, direction;
        std::vector<uint8_t> bytes;  // placed at the start of the buffer
    };
    const Text texts[] = {
        {"units: hiragana, then half of a unit in front of the output",
         QZ_CC_UTF16BE,
         QZ_CC_TO_LOCAL,
         {0x30, 0x42, 0x30, 0x44, 0x4E}},
        {"units: ASCII and half-width katakana",
         QZ_CC_UTF16BE,
         QZ_CC_TO_LOCAL,
         {0x00, 0x41, 0xFF, 0x71, 0x00}},
        {"CP932: kanji and ASCII", QZ_CC_UTF16BE, QZ_CC_TO_UNICODE, {0x88, 0x9F, 0x41, 0x42}},
        {"CP932: katakana and a lead byte",
         QZ_CC_UTF16BE,
         QZ_CC_TO_UNICODE,
         {0xB1, 0x82, 0xA0, 0x83}},
    };
    for (const Text &t : texts) {
        for (size_t offset = 1; offset <= t.bytes.size(); offset++) {
            for (uint32_t size = 1; size <= 24; size++) {
                uint8_t direct[64] = {}, walked[64] = {};
                std::memcpy(direct, t.bytes.data(), t.bytes.size());
                std::memcpy(walked, t.bytes.data(), t.bytes.size());
                int32_t a = qz_code_convert(direct + offset, direct, size, convert_tbl, t.form,
                                            t.direction);
                int32_t b = qz_code_convert(walked + offset, walked, size, walkedTable(), t.form,
                                            t.direction);
                EXPECT_TRUE(a == b && std::memcmp(direct, walked, sizeof direct) == 0)
                    << t.why << ", output at " << offset << ", size " << size << ": results " << a
                    << " and " << b;
            }
        }
    }
}

// Seeded texts of up to 60 characters drawn from every kind of character,
// converted at every output size from 1 to beyond their length: the index
// loops check the room once for a stretch of characters, and these texts
// end such stretches at every place.
struct Lcg {
    uint64_t s;
    unsigned next(unsigned n) {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>((s >> 33) % n);
    }
};

// One CP932 character or malformed group (never a zero byte).
void appendLocal(std::vector<uint8_t> &t, Lcg &r) {
    switch (r.next(9)) {
        case 0:
            t.push_back(static_cast<uint8_t>(1 + r.next(0x7F)));
            break;  // ASCII
        case 1:
            t.push_back(static_cast<uint8_t>(0xA1 + r.next(0x3F)));
            break;  // katakana
        case 2:
            t.push_back(0x80);
            break;  // no conversion
        case 3:     // a mapped double-byte code: hiragana or kanji
            t.push_back(r.next(2) ? 0x82 : 0x88);
            t.push_back(static_cast<uint8_t>(0x9F + r.next(0x54)));
            break;
        case 4:
            t.insert(t.end(), {0x87, 0x90});
            break;  // from the fbu section
        case 5:     // any lead, any trail 0x40 and up
            t.push_back(static_cast<uint8_t>(0x81 + r.next(0x7F)));
            t.push_back(static_cast<uint8_t>(0x40 + r.next(0xC0)));
            break;
        case 6:  // a lead byte before a byte below 0x40: one substitution for both
            t.push_back(0x82);
            t.push_back(static_cast<uint8_t>(1 + r.next(0x3F)));
            break;
        case 7:
            t.insert(t.end(), {0xEB, 0x41});
            break;  // unmapped lead byte
        default:    // the row of full-width forms
            t.push_back(0x81);
            t.push_back(static_cast<uint8_t>(0x40 + r.next(0xBD)));
            break;
    }
}

// One UTF-16BE code unit, never 0x0000.
void appendUnit(std::vector<uint8_t> &t, Lcg &r) {
    static const unsigned kinds[][2] = {
        {0x0001, 0x007F},  // ASCII
        {0xFF61, 0xFF9F},  // half-width katakana
        {0x3041, 0x3093},  // hiragana
        {0x4E00, 0x9FA0},  // ideographs, mapped or not
        {0x0080, 0x00FF},  // U+0080 and the Latin-1 fallbacks
        {0x0100, 0x017F},  // high byte 0x01: a low byte that looks like ASCII
        {0xD800, 0xDFFF},  // lone surrogates
        {0xFF00, 0xFFFF},  // full-width forms and the end of the plane
    };
    const unsigned *k = kinds[r.next(8)];
    unsigned u = k[0] + r.next(k[1] - k[0] + 1);
    t.push_back(static_cast<uint8_t>(u >> 8));
    t.push_back(static_cast<uint8_t>(u));
}

TEST(Cp932Index, SeededMixedTextsConvertAsWithTheWalkAtEverySize) {
    Lcg r{20240611};
    for (int n = 0; n < 200; n++) {
        std::vector<uint8_t> local, units;
        unsigned length = 1 + r.next(60);
        for (unsigned i = 0; i < length; i++) {
            appendLocal(local, r);
            appendUnit(units, r);
        }
        // A lone lead byte at the end now and then: its terminator is not consumed.
        if (r.next(4) == 0) local.push_back(0x83);
        local.push_back(0);
        units.insert(units.end(), {0, 0});
        std::vector<uint8_t> utf8;  // the units as UTF-8, surrogates encoded as they are
        for (size_t i = 0; i + 2 < units.size(); i += 2) {
            uint8_t seq[4];
            encodeUtf8(static_cast<unsigned>(units[i] << 8 | units[i + 1]), seq);
            for (int j = 0; seq[j] != 0; j++)
                utf8.push_back(seq[j]);
        }
        utf8.push_back(0);
        const std::string text = "text " + std::to_string(n) + ", size ";
        for (uint32_t size = 1; size <= 2 * units.size() + 4; size++) {
            sameConversion(local.data(), size, QZ_CC_UTF16BE, QZ_CC_TO_UNICODE,
                           "CP932 to UTF-16BE, " + text + std::to_string(size));
            sameConversion(local.data(), size, QZ_CC_UTF8, QZ_CC_TO_UNICODE,
                           "CP932 to UTF-8, " + text + std::to_string(size));
            sameConversion(units.data(), size, QZ_CC_UTF16BE, QZ_CC_TO_LOCAL,
                           "UTF-16BE to CP932, " + text + std::to_string(size));
            sameConversion(utf8.data(), size, QZ_CC_UTF8, QZ_CC_TO_LOCAL,
                           "UTF-8 to CP932, " + text + std::to_string(size));
        }
    }
}

}  // namespace
