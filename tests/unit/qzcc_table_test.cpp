// Converter primitives: readers, ranks, binary search, comparisons, the
// header context and the ASCII rule.
#include <gtest/gtest.h>

#include <vector>

#include "qz_cc_internal.h"
#include "qzcc_tables.h"

namespace {

using qzcctest::Asm;
using qzcctest::Bytes;

qz_cc_context contextOf(const Bytes &table) {
    qz_cc_context ctx{};
    ctx.table = table.data();
    return ctx;
}

TEST(QzccReaders, BigEndianAtAnyOffset) {
    const Bytes t = {0x00, 0x16, 0x81, 0x40, 0xFF, 0x01, 0x02, 0x03, 0x04};
    qz_cc_context ctx = contextOf(t);
    uint8_t b[3] = {9, 9, 9};
    qz_cc_mread_uint8(b, 2, &ctx, 3);
    EXPECT_EQ(b[0], 0x40);
    EXPECT_EQ(b[1], 0xFF);
    EXPECT_EQ(b[2], 9) << "count 2 reads two bytes";
    uint16_t h[2] = {7, 7};
    qz_cc_mread_uint16(h, 2, &ctx, 1);  // odd offset: no alignment needed
    EXPECT_EQ(h[0], 0x1681);
    EXPECT_EQ(h[1], 0x40FF);
    uint32_t w[1] = {5};
    qz_cc_mread_uint32(w, 0, &ctx, 0);
    EXPECT_EQ(w[0], 5u) << "count 0 reads nothing";
    qz_cc_mread_uint32(w, 1, &ctx, 4);
    EXPECT_EQ(w[0], 0xFF010203u);
}

struct RankCase {
    const char *why;
    uint32_t word;
    uint16_t half, c0, c1;
    uint32_t k;
    unsigned rank;
};

TEST(QzccRank, SumLeftDigits) {
    const RankCase cases[] = {
        {"first bit of the first group", 0x80000000u, 0, 0, 1, 0, 0},
        {"word 0 counts the bits before the value", 0xF0000000u, 0, 0, 4, 3, 3},
        {"word 0 adds the previous group's count", 0x80000001u, 0, 40, 42, 31, 41},
        {"word 1 subtracts the value's bit and those after it", 0x00000003u, 1, 10, 12, 30, 10},
        {"last bit of word 1", 0x00000003u, 1, 10, 12, 31, 11},
        {"all 256 present: count 256 gives rank 255 at the end", 0xFFFFFFFFu, 1, 192, 256, 31, 255},
        {"all 256 present: word 1 start of the last group", 0xFFFFFFFFu, 1, 192, 256, 0, 224},
        {"stored 0 behaves like 256 modulo 256", 0xFFFFFFFFu, 1, 192, 0, 31, 255},
    };
    for (const RankCase &c : cases)
        EXPECT_EQ(qz_cc_sum_left_digits(c.word, c.half, c.c0, c.c1, c.k), c.rank) << c.why;
}

TEST(QzccRank, BitmapAcrossGroupBoundaries) {
    // A trail-byte bitmap (lowest 0x40, 3 groups).
    Asm a;
    a.bitmap(0x40, 3, {0x40, 0x5F, 0x60, 0x7F, 0x80, 0xA0, 0xC0, 0xFF});
    qz_cc_context ctx = contextOf(a.b);
    struct {
        const char *why;
        unsigned value;
        int rank;
    } cases[] = {
        {"lowest value", 0x40, 0},
        {"last of word 0", 0x5F, 1},
        {"first of word 1", 0x60, 2},
        {"last of group 0", 0x7F, 3},
        {"first of group 1 takes group 0's running count", 0x80, 4},
        {"word 1 of group 1", 0xA0, 5},
        {"first of the last group", 0xC0, 6},
        {"highest value", 0xFF, 7},
        {"absent in word 0", 0x41, -1},
        {"absent in word 1 of the last group", 0xFE, -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(qz_cc_bitmap_rank(&ctx, 0, c.value - 0x40), c.rank) << c.why;
}

TEST(QzccRank, FullFourGroupBitmapStoresZero) {
    std::set<unsigned> all;
    for (unsigned v = 0; v < 256; v++)
        all.insert(v);
    Asm a;
    a.u8(0x55);  // the bitmap need not start at offset 0
    a.bitmap(0x00, 4, all);
    ASSERT_EQ(a.b[1 + 35], 0) << "last running count stored as 0";
    qz_cc_context ctx = contextOf(a.b);
    for (unsigned v : {0x00u, 0x3Fu, 0x40u, 0xA0u, 0xC0u, 0xDFu, 0xE0u, 0xFEu, 0xFFu})
        EXPECT_EQ(qz_cc_bitmap_rank(&ctx, 1, v), static_cast<int>(v)) << std::hex << v;
}

// A comparison that records the records it is asked about. Records are one
// byte; it returns what the table `answers` says for that byte.
struct Probe {
    std::vector<int> seen;
    int (*answer)(int key, int record);
};
Probe *gProbe = nullptr;

int probeCompare(void *key, const uint8_t *record) {
    gProbe->seen.push_back(*record);
    return gProbe->answer(*static_cast<uint8_t *>(key), *record);
}

int ordered(int key, int record) {
    return key < record ? -1 : key == record ? 0 : 1;
}
int twoForAfter(int key, int record) {
    return key < record ? -1 : key == record ? 0 : 2;
}

TEST(QzccBsearch, ExactRules) {
    const uint8_t records[] = {10, 20, 30, 40, 50, 60, 70};
    struct {
        const char *why;
        uint8_t key;
        uint32_t count;
        int (*answer)(int, int);
        int found;  // record value or -1
        std::vector<int> seen;
    } cases[] = {
        {"count 0 never calls the comparison", 40, 0, ordered, -1, {}},
        {"middle first, rounded down", 40, 7, ordered, 40, {40}},
        {"upward on 1", 60, 7, ordered, 60, {40, 60}},
        {"downward on -1", 10, 7, ordered, 10, {40, 20, 10}},
        {"last record", 70, 7, ordered, 70, {40, 60, 70}},
        {"between records: null", 35, 7, ordered, -1, {40, 20, 30}},
        {"even count", 20, 2, ordered, 20, {10, 20}},
        {"anything but 1 moves downward", 60, 7, twoForAfter, -1, {40, 20, 10}},
    };
    for (auto &c : cases) {
        Probe probe{{}, c.answer};
        gProbe = &probe;
        uint8_t key = c.key;
        const uint8_t *r = qz_cc_bsearch(&key, records, c.count, 1, probeCompare);
        EXPECT_EQ(r == nullptr ? -1 : *r, c.found) << c.why;
        EXPECT_EQ(probe.seen, c.seen) << c.why;
    }
    gProbe = nullptr;
}

TEST(QzccCompare, RangeRecords) {
    struct {
        const char *why;
        uint8_t key;
        Bytes record;
        int result;
    } cases[] = {
        {"below the first byte", 0x4E, {0x4F, 0xFF, 0x10, 10}, -1},
        {"first byte", 0x4F, {0x4F, 0xFF, 0x10, 10}, 0},
        {"first + length - 1 matches", 0x58, {0x4F, 0xFF, 0x10, 10}, 0},
        {"first + length does not", 0x59, {0x4F, 0xFF, 0x10, 10}, 1},
        {"length 1 matches one byte", 0x50, {0x50, 0x60, 0x00, 1}, 0},
        {"length 1: next byte after", 0x51, {0x50, 0x60, 0x00, 1}, 1},
        {"length 0 matches nothing", 0x50, {0x50, 0x60, 0x00, 0}, 1},
        {"no 8-bit wrap: 0xF0 + 16 covers 0xFF", 0xFF, {0xF0, 0x30, 0x41, 16}, 0},
        {"no 8-bit wrap: 0xF0 + 32 is not 0x10", 0x05, {0xF0, 0x30, 0x41, 32}, -1},
    };
    for (auto &c : cases) {
        uint8_t k = c.key;
        EXPECT_EQ(qz_cc_compare_range(&k, c.record.data()), c.result) << c.why;
    }
}

TEST(QzccCompare, FallbackKeysUnsigned) {
    struct {
        const char *why;
        Bytes key, record;
        int result;
    } cases[] = {
        {"equal", {0x81, 0x90}, {0x81, 0x90, 0x22, 0x52}, 0},
        {"first byte decides, unsigned", {0xED, 0x00}, {0x81, 0xFF, 0, 0}, 1},
        {"first byte below", {0x00, 0xFF}, {0x81, 0x00, 0, 0}, -1},
        {"second byte after", {0x81, 0x91}, {0x81, 0x90, 0, 0}, 1},
        {"second byte below, unsigned", {0x81, 0x7F}, {0x81, 0x80, 0, 0}, -1},
    };
    for (auto &c : cases)
        EXPECT_EQ(qz_cc_compare_fub(c.key.data(), c.record.data()), c.result) << c.why;
}

TEST(QzccCompare, FourByteDistance) {
    const uint8_t origin[4] = {0x81, 0x30, 0x81, 0x30};
    struct {
        const char *why;
        Bytes a;
        int32_t distance;
    } cases[] = {
        {"same", {0x81, 0x30, 0x81, 0x30}, 0},
        {"fourth byte counts one", {0x81, 0x30, 0x81, 0x39}, 9},
        {"third byte counts ten", {0x81, 0x30, 0x82, 0x30}, 10},
        {"second byte counts 1260", {0x81, 0x31, 0x81, 0x30}, 1260},
        {"first byte counts 12600", {0x82, 0x30, 0x81, 0x30}, 12600},
        {"signed differences", {0x81, 0x30, 0x81, 0x2F}, -1},
        {"last sequence", {0xFE, 0x39, 0xFE, 0x39}, 125 * 12600 + 9 * 1260 + 125 * 10 + 9},
    };
    for (auto &c : cases)
        EXPECT_EQ(qz_cc_sub4b(c.a.data(), origin), c.distance) << c.why;

    // Record: first 81 30 81 30, U+0080, length 36.
    const uint8_t run[8] = {0x81, 0x30, 0x81, 0x30, 0x00, 0x80, 0x00, 36};
    struct {
        const char *why;
        Bytes key;
        int l2u;
    } seqs[] = {
        {"first of the run", {0x81, 0x30, 0x81, 0x30}, 0},
        {"last of the run (distance 35)", {0x81, 0x30, 0x84, 0x35}, 0},
        {"distance 36 is after", {0x81, 0x30, 0x84, 0x36}, 1},
        {"before the run", {0x81, 0x30, 0x81, 0x2F}, -1},
    };
    for (auto &c : seqs)
        EXPECT_EQ(qz_cc_compare_data_4b_l2u(c.key.data(), run), c.l2u) << c.why;
    struct {
        const char *why;
        unsigned unit;
        int u2l;
    } units[] = {
        {"first unit", 0x0080, 0},
        {"last unit", 0x00A3, 0},
        {"one past", 0x00A4, 1},
        {"below", 0x007F, -1},
        {"high byte weighs 256", 0x0100, 1},
    };
    for (auto &c : units) {
        // The four leading key bytes are not compared.
        uint8_t key[8] = {
            0xEE, 0xEE, 0xEE, 0xEE, static_cast<uint8_t>(c.unit >> 8), static_cast<uint8_t>(c.unit),
            0,    0};
        EXPECT_EQ(qz_cc_compare_data_4b_u2l(key, run), c.u2l) << c.why;
    }
}

TEST(QzccCompare, IndexWritesRunNumberOnlyWhenAfter) {
    const uint8_t record[3] = {0x00, 0xA0, 2};
    struct {
        const char *why;
        unsigned unit;
        int result;
        uint8_t slot;
    } cases[] = {
        {"after by the low byte: slot takes the run", 0x00E9, 1, 2},
        {"after by the high byte", 0x0100, 1, 2},
        {"equal: slot untouched", 0x00A0, 0, 7},
        {"before: slot untouched", 0x0090, -1, 7},
        {"low byte 0xFF after 0xA0", 0x00FF, 1, 2},
    };
    for (auto &c : cases) {
        uint8_t key[3] = {static_cast<uint8_t>(c.unit >> 8), static_cast<uint8_t>(c.unit), 7};
        EXPECT_EQ(qz_cc_compare_index_u_8859(key, record), c.result) << c.why;
        EXPECT_EQ(key[2], c.slot) << c.why;
    }
}

TEST(QzccAscii, ByTypeAndDirection) {
    struct {
        const char *why;
        uint16_t type;
        uint8_t byte;
        int ok;
        unsigned unit;
    } toUnicode[] = {
        {"type 22 passes 0x5C", 22, 0x5C, 1, 0x005C},
        {"type 22 passes 0x7E", 22, 0x7E, 1, 0x007E},
        {"type 22 passes 0x7F", 22, 0x7F, 1, 0x007F},
        {"type 21 yen", 21, 0x5C, 1, 0x00A5},
        {"type 21 overline", 21, 0x7E, 1, 0x203E},
        {"type 21: 0x7F not convertible", 21, 0x7F, 0, 0},
        {"type 23 yen", 23, 0x5C, 1, 0x00A5},
        {"type 23 overline", 23, 0x7E, 1, 0x203E},
        {"type 23: 0x7F not convertible", 23, 0x7F, 0, 0},
        {"type 23 other bytes unchanged", 23, 0x41, 1, 0x0041},
        {"type 13 unchanged", 13, 0x7E, 1, 0x007E},
        {"single-byte types unchanged", 50, 0x5C, 1, 0x005C},
    };
    for (auto &c : toUnicode) {
        uint8_t b = c.byte;
        uint8_t unit[2] = {0xEE, 0xEE};
        ASSERT_EQ(qz_cc_lookup_ascii(&b, unit, c.type, QZ_CC_TO_UNICODE), c.ok) << c.why;
        if (c.ok) {
            EXPECT_EQ(unsigned(unit[0] << 8 | unit[1]), c.unit) << c.why;
        }
    }
    struct {
        const char *why;
        uint16_t type;
        unsigned unit;
        int ok;
    } toLocal[] = {
        {"type 22 U+007E", 22, 0x7E, 1}, {"type 21 U+007E", 21, 0x7E, 0},
        {"type 21 U+007F", 21, 0x7F, 0}, {"type 23 U+007E", 23, 0x7E, 0},
        {"type 23 U+007D", 23, 0x7D, 1}, {"type 11 U+007F", 11, 0x7F, 1},
    };
    for (auto &c : toLocal) {
        uint8_t b = 0xEE;
        uint8_t unit[2] = {0, static_cast<uint8_t>(c.unit)};
        ASSERT_EQ(qz_cc_lookup_ascii(&b, unit, c.type, QZ_CC_TO_LOCAL), c.ok) << c.why;
        if (c.ok) {
            EXPECT_EQ(b, c.unit) << c.why;
        }
    }
}

TEST(QzccContext, FieldsByType) {
    // Header positions 0x01020304 ... for each field, distinguishable.
    Asm a;
    a.u16(22);
    for (uint32_t i = 1; i <= 6; i++)
        a.u32(0x100 * i + i);
    qz_cc_context ctx;
    qz_cc_read_context(&ctx, a.b.data());
    EXPECT_EQ(ctx.type_code, 22);
    EXPECT_EQ(ctx.l2u_index_pos, 0x101u);
    EXPECT_EQ(ctx.u2l_data_pos, 0x404u);
    EXPECT_EQ(ctx.fub_pos, 0x505u);
    EXPECT_EQ(ctx.fbu_pos, 0x606u);
    EXPECT_EQ(ctx.data_4b_pos, 0u);
    EXPECT_EQ(ctx.index_u_8859_pos, 0);

    a.set16(0, 13);
    qz_cc_read_context(&ctx, a.b.data());
    EXPECT_EQ(ctx.data_4b_pos, 0x505u) << "type 13 reads offset 18 as its run section";
    EXPECT_EQ(ctx.fub_pos, 0u) << "type 13 has no fallback sections";
    EXPECT_EQ(ctx.fbu_pos, 0u);

    a.set16(0, 49);
    qz_cc_read_context(&ctx, a.b.data());
    EXPECT_EQ(ctx.fbu_pos, 0x606u) << "49 is still multi-byte";

    a.set16(0, 50);
    qz_cc_read_context(&ctx, a.b.data());
    EXPECT_EQ(ctx.index_u_8859_pos, 0x0000);  // offset 2: high half of the first uint32
    EXPECT_EQ(ctx.data_8859_pos, 0x0101);
    EXPECT_EQ(ctx.l2u_index_pos, 0u) << "single-byte tables read only their 6-byte header";
}

}  // namespace
