// The generated CP932 table `convert_tbl`: size, header, section layout,
// telling bytes, counts, block encodings, fallback sets and sample lookups,
// read with the plain reader of table_reader_test_util.h.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "CP932.h"
#include "table_reader_test_util.h"

namespace {

using tablereader::kNotFound;
using tablereader::u16;
using tablereader::u32;

const uint8_t *const T = convert_tbl;

std::vector<uint8_t> at(size_t offset, size_t n) {
    return std::vector<uint8_t>(T + offset, T + offset + n);
}

std::vector<uint8_t> bytes(std::initializer_list<unsigned> list) {
    std::vector<uint8_t> out;
    for (unsigned b : list)
        out.push_back(static_cast<uint8_t>(b));
    return out;
}

// One second-level block as found through its first level.
struct Block {
    unsigned key;      // lead byte or high byte
    size_t offset;     // table offset of the block
    bool range;        // range list (else bitmap block)
    size_t size;       // bytes
    unsigned entries;  // mapped second bytes
    unsigned runs;     // maximal runs of consecutive keys and values, at most 255 long
};

std::vector<Block> blocks(uint32_t indexPos, uint32_t dataPos, unsigned firstLowest,
                          unsigned secondLowest) {
    std::vector<Block> out;
    const uint8_t *index = T + indexPos - 1;
    size_t bitmapSize = tablereader::bitmapSize(firstLowest);
    for (unsigned key = firstLowest; key < 256; key++) {
        if (!tablereader::bitSet(index, firstLowest, key)) continue;
        const uint8_t *rec = index + bitmapSize + 3 * out.size();
        Block b{key, dataPos - 1 + u16(rec, 0) - 1u, rec[2] == 1, 0, 0, 0};
        const uint8_t *block = T + b.offset;
        int prevKey = -2, prevValue = -2;
        unsigned runLength = 0;
        for (unsigned k = secondLowest; k < 256; k++) {
            int v = tablereader::lookupBlock(block, rec[2], secondLowest, k);
            if (v == kNotFound) continue;
            b.entries++;
            bool follows = static_cast<int>(k) == prevKey + 1 && v == prevValue + 1;
            if (follows && runLength < 255) {
                runLength++;
            } else {
                b.runs++;
                runLength = 1;
            }
            prevKey = static_cast<int>(k);
            prevValue = v;
        }
        b.size = b.range ? 1 + 4 * block[0] : tablereader::bitmapSize(secondLowest) + 2 * b.entries;
        out.push_back(b);
    }
    return out;
}

std::vector<Block> l2uBlocks() {
    return blocks(u32(T, 2), u32(T, 6), 0x80, 0x40);
}
std::vector<Block> u2lBlocks() {
    return blocks(u32(T, 10), u32(T, 14), 0x00, 0x00);
}

std::set<unsigned> keysOf(const std::vector<Block> &list, bool rangeOnly) {
    std::set<unsigned> keys;
    for (const Block &b : list)
        if (!rangeOnly || b.range) keys.insert(b.key);
    return keys;
}

std::set<unsigned> span(std::initializer_list<std::pair<unsigned, unsigned>> ranges) {
    std::set<unsigned> out;
    for (const auto &r : ranges)
        for (unsigned v = r.first; v <= r.second; v++)
            out.insert(v);
    return out;
}

TEST(Cp932Table, HeaderAndSize) {
    EXPECT_EQ(CP932_TABLE_SIZE, 34848);
    EXPECT_EQ(at(0, 26), bytes({0x00, 0x16, 0x00, 0x00, 0x00, 0x1B, 0x00, 0x00, 0x00,
                                0xB4, 0x00, 0x00, 0x3C, 0x03, 0x00, 0x00, 0x3D, 0x53,
                                0x00, 0x00, 0x80, 0x99, 0x00, 0x00, 0x81, 0xE7}));
    size_t end = u32(T, 22) - 1 + 2 + 4 * u16(T, u32(T, 22) - 1);
    EXPECT_EQ(end, 34848u) << "the fbu section ends the table";
}

TEST(Cp932Table, SectionsFollowEachOtherWithoutGaps) {
    std::vector<Block> l2u = l2uBlocks(), u2l = u2lBlocks();
    struct Section {
        const char *what;
        size_t start, size, nextStart;
    };
    size_t l2uArea = 0, u2lArea = 0;
    for (const Block &b : l2u)
        l2uArea += b.size;
    for (const Block &b : u2l)
        u2lArea += b.size;
    const Section sections[] = {
        {"local-to-Unicode first level", 26, 18 + 3 * l2u.size(), u32(T, 6) - 1u},
        {"local-to-Unicode area", 179, l2uArea, u32(T, 10) - 1u},
        {"Unicode-to-local first level", 15362, 36 + 3 * u2l.size(), u32(T, 14) - 1u},
        {"Unicode-to-local area", 15698, u2lArea, u32(T, 18) - 1u},
        {"fub section", 32920, 2 + 4 * 83u, u32(T, 22) - 1u},
        {"fbu section", 33254, 2 + 4 * 398u, 34848},
    };
    size_t expectedStart = 26;
    for (const Section &s : sections) {
        EXPECT_EQ(s.start, expectedStart) << s.what;
        EXPECT_EQ(s.start + s.size, s.nextStart) << s.what;
        expectedStart = s.nextStart;
    }
    // Blocks lie back to back in the order of their records.
    for (const std::vector<Block> *list : {&l2u, &u2l})
        for (size_t i = 1; i < list->size(); i++)
            EXPECT_EQ((*list)[i - 1].offset + (*list)[i - 1].size, (*list)[i].offset)
                << std::hex << (*list)[i].key;
}

TEST(Cp932Table, TellingBytes) {
    struct Telling {
        const char *why;
        size_t offset;
        std::vector<uint8_t> bytes;
    };
    size_t block81 = u32(T, 6) - 1;
    size_t block82 = u32(T, 6) - 1 + 322 - 1;
    const Telling cases[] = {
        {"lead bitmap group 0: leads 0x81-0x84, 0x87-0x9F", 26,
         bytes({0x79, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x1D})},
        {"lead bitmap group 1: leads 0xE0-0xEA, 0xF8-0xFC", 35,
         bytes({0x00, 0x00, 0x00, 0x00, 0xFF, 0xE0, 0x00, 0xF8, 0x2D})},
        {"block records of 0x81 (bitmap at 1) and 0x82 (range list at 322)", 44,
         bytes({0x00, 0x01, 0x00, 0x01, 0x42, 0x01})},
        {"bitmap of lead 0x81 (147 trail bytes)", block81,
         bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                0xF8, 0x00, 0xFF, 0x74, 0x00, 0xFE, 0x00, 0x3F, 0xFF, 0x80, 0xFF, 0x08, 0x93})},
        {"first values of lead 0x81", block81 + 27,
         bytes({0x30, 0x00, 0x30, 0x01, 0x30, 0x02, 0xFF, 0x0C, 0xFF, 0x0E, 0x30, 0xFB})},
        {"trail 0x80 of lead 0x81 has rank 63", block81 + 27 + 2 * 63, bytes({0x00, 0xF7})},
        {"range list of lead 0x82", block82,
         bytes({0x04, 0x4F, 0xFF, 0x10, 0x0A, 0x60, 0xFF, 0x21, 0x1A, 0x81, 0xFF, 0x41, 0x1A, 0x9F,
                0x30, 0x41, 0x53})},
        {"fub count", 32920, bytes({0x00, 0x53})},
        {"fbu count", 33254, bytes({0x01, 0x8E})},
    };
    for (const Telling &c : cases)
        EXPECT_EQ(at(c.offset, c.bytes.size()), c.bytes) << c.why;
}

TEST(Cp932Table, FirstLevelsAndBlockKinds) {
    std::vector<Block> l2u = l2uBlocks(), u2l = u2lBlocks();
    EXPECT_EQ(keysOf(l2u, false), span({{0x81, 0x84}, {0x87, 0x9F}, {0xE0, 0xEA}, {0xF8, 0xFC}}))
        << "45 lead bytes; 0xED and 0xEE only through the fbu section";
    EXPECT_EQ(keysOf(l2u, true), span({{0x82, 0x84}, {0x87, 0x87}, {0xF8, 0xF9}, {0xFC, 0xFC}}))
        << "7 range lists";
    EXPECT_EQ(keysOf(u2l, false), span({{0x00, 0x00},
                                        {0x03, 0x04},
                                        {0x20, 0x26},
                                        {0x30, 0x30},
                                        {0x32, 0x33},
                                        {0x4E, 0x9F},
                                        {0xE6, 0xE7},
                                        {0xF9, 0xFA},
                                        {0xFF, 0xFF}}))
        << "100 high bytes";
    EXPECT_EQ(keysOf(u2l, true), span({{0x00, 0x00},
                                       {0x03, 0x04},
                                       {0x20, 0x21},
                                       {0x23, 0x24},
                                       {0x26, 0x26},
                                       {0x30, 0x30},
                                       {0x32, 0x32},
                                       {0xE6, 0xE7},
                                       {0xF9, 0xF9},
                                       {0xFF, 0xFF}}))
        << "14 range lists";
    EXPECT_EQ(l2u.size(), 45u);
    EXPECT_EQ(u2l.size(), 100u);
}

TEST(Cp932Table, RangeListExactlyWhereSmaller) {
    for (const std::vector<Block> &list : {l2uBlocks(), u2lBlocks()}) {
        for (const Block &b : list) {
            size_t rangeSize = 1 + 4 * b.runs;
            size_t bitmapSize = (b.offset < u32(T, 10) ? 27 : 36) + 2 * b.entries;
            EXPECT_NE(rangeSize, bitmapSize) << std::hex << b.key << ": no ties in this table";
            EXPECT_EQ(b.range, rangeSize < bitmapSize) << std::hex << b.key;
            EXPECT_EQ(b.size, b.range ? rangeSize : bitmapSize) << std::hex << b.key;
        }
    }
}

TEST(Cp932Table, RoundTripSetHas7578PairsBothWays) {
    unsigned l2uPairs = 0, u2lPairs = 0;
    for (const Block &b : l2uBlocks())
        l2uPairs += b.entries;
    for (const Block &b : u2lBlocks())
        u2lPairs += b.entries;
    EXPECT_EQ(l2uPairs, 7578u);
    EXPECT_EQ(u2lPairs, 7578u);
    unsigned broken = 0;
    for (unsigned code = 0x8140; code <= 0xFCFC; code++) {
        int u =
            tablereader::lookupLevels(T, u32(T, 2), u32(T, 6), 0x80, 0x40, code >> 8, code & 0xFF);
        if (u != kNotFound && tablereader::unicodeToLocalMain(T, u) != static_cast<int>(code))
            broken++;
    }
    EXPECT_EQ(broken, 0u);
}

TEST(Cp932Table, FbuSetAndItsCodesConvertBackToOthers) {
    std::set<unsigned> expected = span({{0x8790, 0x8792},
                                        {0x8795, 0x8797},
                                        {0x879A, 0x879C},
                                        {0xED40, 0xED7E},
                                        {0xED80, 0xEDFC},
                                        {0xEE40, 0xEE7E},
                                        {0xEE80, 0xEEEC},
                                        {0xEEEF, 0xEEFC},
                                        {0xFA4A, 0xFA54},
                                        {0xFA58, 0xFA5B}});
    size_t pos = u32(T, 22);
    unsigned count = u16(T, pos - 1);
    ASSERT_EQ(count, 398u);
    std::set<unsigned> found;
    unsigned previous = 0;
    for (unsigned i = 0; i < count; i++) {
        unsigned code = u16(T, pos + 1 + 4 * i), unit = u16(T, pos + 3 + 4 * i);
        EXPECT_GT(code, previous) << "ascending keys";
        previous = code;
        found.insert(code);
        int back = tablereader::unicodeToLocal(T, unit);
        EXPECT_NE(back, kNotFound) << std::hex << code;
        EXPECT_NE(back, static_cast<int>(code)) << std::hex << code;
    }
    EXPECT_EQ(found, expected);
}

TEST(Cp932Table, FubPairs) {
    size_t pos = u32(T, 18);
    unsigned count = u16(T, pos - 1);
    ASSERT_EQ(count, 83u);
    std::vector<std::pair<unsigned, unsigned>> records;
    for (unsigned i = 0; i < count; i++)
        records.emplace_back(u16(T, pos + 1 + 4 * i), u16(T, pos + 3 + 4 * i));
    for (size_t i = 1; i < records.size(); i++)
        EXPECT_LT(records[i - 1].first, records[i].first) << "ascending keys";
    struct Spot {
        size_t index;
        unsigned unit, code;
    };
    const Spot spots[] = {
        {0, 0x00A1, 0x21},    {1, 0x00A2, 0x8191}, {3, 0x00A5, 0x5C},  {7, 0x00AB, 0x81E1},
        {14, 0x00B5, 0x83CA}, {25, 0x00C5, 0x41},  {43, 0x00D8, 0x4F}, {82, 0x3094, 0x8394},
    };
    for (const Spot &s : spots)
        EXPECT_EQ(records[s.index], std::make_pair(s.unit, s.code)) << s.index;
    for (const auto &r : records) {
        EXPECT_EQ(tablereader::unicodeToLocalMain(T, r.first), kNotFound)
            << std::hex << r.first << " is only in the fub section";
        if (r.second >= 0x100) {
            EXPECT_NE(tablereader::localToUnicode(T, r.second), static_cast<int>(r.first));
        }
    }
}

TEST(Cp932Table, Lookups) {
    struct Case {
        const char *why;
        bool toUnicode;
        unsigned from;
        int to;
    };
    const Case cases[] = {
        {"ideographic space", true, 0x8140, 0x3000},
        {"multiplication sign", true, 0x817E, 0x00D7},
        {"0x817F is no code", true, 0x817F, kNotFound},
        {"division sign: rank carried across a group", true, 0x8180, 0x00F7},
        {"end of the digit run", true, 0x8258, 0xFF19},
        {"just past the digit run", true, 0x8259, kNotFound},
        {"first kanji", true, 0x889F, 0x4E9C},
        {"last code of lead 0xFC", true, 0xFC4B, 0x9ED1},
        {"past the last code", true, 0xFC4C, kNotFound},
        {"first mapped user-defined code", true, 0xF89F, 0xE63E},
        {"last mapped user-defined code", true, 0xF9FC, 0xE757},
        {"unmapped user-defined code", true, 0xF89E, kNotFound},
        {"fbu: NEC duplicate", true, 0x8790, 0x2252},
        {"fbu: NEC-selected IBM duplicate", true, 0xED40, 0x7E8A},
        {"wave dash code gives the full-width tilde", true, 0x8160, 0xFF5E},
        {"parallel", true, 0x8161, 0x2225},
        {"minus sign code gives the full-width hyphen-minus", true, 0x817C, 0xFF0D},
        {"JIS code over its 0x87 duplicate", false, 0x2252, 0x81E0},
        {"0xFA over 0xEE", false, 0x2170, 0xFA40},
        {"0xFA over 0xED", false, 0x7E8A, 0xFA5C},
        {"0x87 over 0xFA", false, 0x2160, 0x8754},
        {"numero sign from the 0x87 row", false, 0x2116, 0x8782},
        {"range list of high byte 0x30", false, 0x3042, 0x82A0},
        {"bitmap block of high byte 0x4E", false, 0x4E9C, 0x889F},
        {"bitmap block of high byte 0x22", false, 0x2225, 0x8161},
        {"range list of high byte 0xFF", false, 0xFF5E, 0x8160},
        {"private use start", false, 0xE63E, 0xF89F},
        {"private use end", false, 0xE757, 0xF9FC},
        {"fub: best fit to a single byte", false, 0x00C5, 0x41},
        {"fub: broken bar", false, 0x00A6, 0x7C},
        {"fub: hiragana vu", false, 0x3094, 0x8394},
        {"wave dash has no code", false, 0x301C, kNotFound},
        {"double vertical line has no code", false, 0x2016, kNotFound},
        {"minus sign has no code", false, 0x2212, kNotFound},
        {"high byte 0x01 is absent", false, 0x0100, kNotFound},
    };
    for (const Case &c : cases) {
        int got = c.toUnicode ? tablereader::localToUnicode(T, c.from)
                              : tablereader::unicodeToLocal(T, c.from);
        EXPECT_EQ(got, c.to) << c.why;
    }
}

}  // namespace
