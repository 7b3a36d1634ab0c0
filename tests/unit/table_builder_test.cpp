// Table builder: bitmaps and ranks, block choice, run splitting, section
// order and positions, the type-13 and single-byte layouts, and the emitted
// source text. Built tables are read back with the plain reader of
// table_reader_test_util.h.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "table_builder.h"
#include "table_reader_test_util.h"

namespace {

using tablebuilder::BlockChoice;
using tablebuilder::Pair;
using tablereader::u16;
using tablereader::u32;

std::vector<uint8_t> bytes(std::initializer_list<unsigned> list) {
    std::vector<uint8_t> out;
    for (unsigned b : list)
        out.push_back(static_cast<uint8_t>(b));
    return out;
}

struct BitmapCase {
    const char *why;
    unsigned lowest;
    std::vector<uint8_t> present;
    std::vector<uint8_t> expected;
};

TEST(BuildBitmap, Table) {
    std::vector<uint8_t> all(256);
    for (unsigned i = 0; i < 256; i++)
        all[i] = static_cast<uint8_t>(i);
    const BitmapCase cases[] = {
        {"empty lead bitmap: two groups of zeros",
         0x80,
         {},
         bytes({0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"word 0 runs from the top bit, word 1 ends at bit 0; counts carry on",
         0x40,
         {0x40, 0x7F, 0x80, 0xFF},
         bytes({0x80, 0, 0, 0, 0, 0, 0, 0x01, 2,  //
                0x80, 0, 0, 0, 0, 0, 0, 0,    3,  //
                0,    0, 0, 0, 0, 0, 0, 0x01, 4})},
        {"values below the lowest are not in the bitmap",
         0x80,
         {0x7F, 0x80},
         bytes({0x80, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1})},
        {"all 256 values: running counts 64, 128, 192 and a stored 0", 0x00, all,
         bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 64,   //
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 128,  //
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 192,  //
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0})},
    };
    for (const BitmapCase &c : cases)
        EXPECT_EQ(tablebuilder::buildBitmap(c.lowest, c.present), c.expected) << c.why;
}

// A table whose only content is one double-byte lead with the given trails.
std::vector<uint8_t> oneLead(const std::vector<Pair> &pairs, BlockChoice choice) {
    return tablebuilder::buildMultiByte(22, pairs, {}, {}, choice);
}

// Byte offset of the first local-to-Unicode block.
size_t firstL2uBlock(const std::vector<uint8_t> &t) {
    return u32(t.data(), 6) - 1;
}

TEST(BuildMultiByte, ValuesTakeTheirRankAcrossGroupBoundaries) {
    // Trails 0x40-0x7F fill group 0 (64 values); 0x80 opens group 1, 0xC0 group 2.
    std::vector<Pair> pairs;
    for (unsigned t = 0x40; t <= 0x7F; t++)
        pairs.push_back({static_cast<uint16_t>(0x9000 | t), static_cast<uint16_t>(0x5000 + 2 * t)});
    pairs.push_back({0x9080, 0x1111});
    pairs.push_back({0x90C0, 0x2222});
    pairs.push_back({0x90FF, 0x3333});
    std::vector<uint8_t> t = oneLead(pairs, BlockChoice::AlwaysBitmap);
    ASSERT_FALSE(t.empty());
    size_t block = firstL2uBlock(t);
    EXPECT_EQ(t[block + 8], 64) << "running count of group 0";
    EXPECT_EQ(t[block + 17], 65) << "running count of group 1";
    EXPECT_EQ(t[block + 26], 67) << "running count of group 2";
    EXPECT_EQ(u16(t.data(), block + 27 + 2 * 64), 0x1111u) << "0x80 has rank 64";
    EXPECT_EQ(u16(t.data(), block + 27 + 2 * 65), 0x2222u) << "0xC0 has rank 65";
    EXPECT_EQ(u16(t.data(), block + 27 + 2 * 66), 0x3333u) << "0xFF has rank 66";
    for (const Pair &p : pairs)
        EXPECT_EQ(tablereader::localToUnicode(t.data(), p.local), p.unicode) << std::hex << p.local;
}

TEST(BuildMultiByte, FullUnicodeBlockStoresLastCountAsZero) {
    // 256 code units with scattered local codes: one bitmap block with all bits set.
    std::vector<Pair> pairs;
    for (unsigned lo = 0; lo < 256; lo++)
        pairs.push_back({static_cast<uint16_t>(0x8140 + (lo % 3) * 0x100 + lo / 3 * 2),
                         static_cast<uint16_t>(0x4E00 | lo)});
    std::vector<uint8_t> t = oneLead(pairs, BlockChoice::Smaller);
    ASSERT_FALSE(t.empty());
    size_t block = u32(t.data(), 14) - 1;
    EXPECT_EQ(t[u32(t.data(), 10) - 1 + 36 + 2], 0) << "bitmap block kind";
    EXPECT_EQ(t[block + 35], 0) << "last running count of a full bitmap";
    const unsigned probes[] = {0x00, 0x3F, 0x40, 0xC0, 0xE0, 0xFF};
    for (unsigned lo : probes) {
        int local = tablereader::unicodeToLocal(t.data(), 0x4E00 | lo);
        EXPECT_EQ(local, 0x8140 + static_cast<int>((lo % 3) * 0x100 + lo / 3 * 2)) << lo;
        EXPECT_EQ(u16(t.data(), block + 36 + 2 * lo), static_cast<unsigned>(local))
            << "rank of " << lo << " is " << lo;
    }
}

TEST(BuildMultiByte, RunsAreCappedAt255) {
    // 256 consecutive code units to the 256 consecutive single bytes.
    std::vector<Pair> pairs;
    for (unsigned i = 0; i < 256; i++)
        pairs.push_back({static_cast<uint16_t>(i), static_cast<uint16_t>(0x4E00 + i)});
    std::vector<uint8_t> t = oneLead(pairs, BlockChoice::AlwaysRange);
    ASSERT_FALSE(t.empty());
    size_t block = u32(t.data(), 14) - 1;
    EXPECT_EQ(std::vector<uint8_t>(t.begin() + block, t.begin() + block + 9),
              bytes({2, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0x01}));
    EXPECT_EQ(tablereader::unicodeToLocal(t.data(), 0x4EFE), 0xFE);
    EXPECT_EQ(tablereader::unicodeToLocal(t.data(), 0x4EFF), 0xFF);
}

struct ChoiceCase {
    const char *why;
    std::vector<unsigned> trails;  // lead 0x90; Unicode value 0x100 * trail (never consecutive)
    bool consecutive;              // Unicode values follow the trails instead
    BlockChoice choice;
    uint8_t kind;
    size_t blockSize;
};

TEST(BuildMultiByte, BlockChoice) {
    std::vector<unsigned> twelve, thirteen, fourteen, run14;
    for (unsigned i = 0; i < 14; i++) {
        if (i < 12) twelve.push_back(0x40 + 2 * i);
        if (i < 13) thirteen.push_back(0x40 + 2 * i);
        fourteen.push_back(0x40 + 2 * i);
        run14.push_back(0x40 + i);
    }
    const ChoiceCase cases[] = {
        {"12 runs: range list 49 < bitmap 51", twelve, false, BlockChoice::Smaller, 1, 49},
        {"13 runs: equal sizes 53, bitmap block", thirteen, false, BlockChoice::Smaller, 0, 53},
        {"14 runs: bitmap 55 < range list 57", fourteen, false, BlockChoice::Smaller, 0, 55},
        {"one run of 14 is a 5-byte range list", run14, true, BlockChoice::Smaller, 1, 5},
        {"forced bitmap", run14, true, BlockChoice::AlwaysBitmap, 0, 27 + 28},
        {"forced range list", fourteen, false, BlockChoice::AlwaysRange, 1, 57},
    };
    for (const ChoiceCase &c : cases) {
        std::vector<Pair> pairs;
        for (unsigned tr : c.trails)
            pairs.push_back({static_cast<uint16_t>(0x9000 | tr),
                             static_cast<uint16_t>(c.consecutive ? 0x3000 + tr : 0x100 * tr)});
        std::vector<uint8_t> t = oneLead(pairs, c.choice);
        ASSERT_FALSE(t.empty()) << c.why;
        EXPECT_EQ(t[u32(t.data(), 2) - 1 + 18 + 2], c.kind) << c.why;
        EXPECT_EQ(u32(t.data(), 10) - u32(t.data(), 6), c.blockSize) << c.why;
        for (const Pair &p : pairs)
            EXPECT_EQ(tablereader::localToUnicode(t.data(), p.local), p.unicode) << c.why;
    }
}

TEST(BuildMultiByte, SectionsInOrderWithPositions) {
    std::vector<Pair> roundTrip = {{0x8140, 0x3000}, {0x8141, 0x3001}, {0x41, 0xFF21}};
    std::vector<Pair> fbu = {{0xEEFC, 0xFF02}, {0xED40, 0x7E8A}};
    std::vector<Pair> fub = {{0x5C, 0x00A5}, {0x21, 0x00A1}};
    std::vector<uint8_t> t = tablebuilder::buildMultiByte(22, roundTrip, fbu, fub);
    ASSERT_FALSE(t.empty());
    const uint8_t *p = t.data();
    EXPECT_EQ(u16(p, 0), 22u);
    EXPECT_EQ(u32(p, 2), 27u) << "local-to-Unicode index right after the 26-byte header";
    EXPECT_EQ(u32(p, 6), 27u + 18 + 3) << "one lead: bitmap and one block record";
    EXPECT_EQ(u32(p, 10), u32(p, 6) + 5) << "one range list of one run";
    EXPECT_EQ(u32(p, 14), u32(p, 10) + 36 + 3 * 2) << "high bytes 0x30 and 0xFF";
    EXPECT_EQ(u32(p, 18), u32(p, 14) + 5 + 5) << "two one-run range lists";
    EXPECT_EQ(u32(p, 22), u32(p, 18) + 2 + 4 * 2) << "fub: count and two records";
    EXPECT_EQ(t.size(), u32(p, 22) - 1 + 2 + 4 * 2) << "fbu ends the table";
    size_t fubAt = u32(p, 18) - 1, fbuAt = u32(p, 22) - 1;
    EXPECT_EQ(std::vector<uint8_t>(t.begin() + fubAt, t.begin() + fubAt + 10),
              bytes({0, 2, 0x00, 0xA1, 0x00, 0x21, 0x00, 0xA5, 0x00, 0x5C}))
        << "fub sorted by Unicode value";
    EXPECT_EQ(std::vector<uint8_t>(t.begin() + fbuAt, t.end()),
              bytes({0, 2, 0xED, 0x40, 0x7E, 0x8A, 0xEE, 0xFC, 0xFF, 0x02}))
        << "fbu sorted by local code";
    EXPECT_EQ(tablereader::localToUnicode(p, 0x41), tablereader::kNotFound)
        << "single bytes are on the Unicode-to-local side only";
    EXPECT_EQ(tablereader::unicodeToLocal(p, 0xFF21), 0x41);
    EXPECT_EQ(tablereader::unicodeToLocal(p, 0x00A5), 0x5C);
    EXPECT_EQ(tablereader::localToUnicode(p, 0xED40), 0x7E8A);
}

TEST(BuildMultiByte, EmptyFallbackListsHavePositionZero) {
    std::vector<uint8_t> t = tablebuilder::buildMultiByte(11, {{0x8140, 0x3000}}, {}, {});
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(u32(t.data(), 18), 0u);
    EXPECT_EQ(u32(t.data(), 22), 0u);
    EXPECT_EQ(t.size(), u32(t.data(), 14) - 1 + 5) << "the table ends after its last block";
}

struct InvalidCase {
    const char *why;
    std::vector<Pair> roundTrip, fbu, fub;
};

TEST(BuildMultiByte, RejectsMappingsTheFormatCannotHold) {
    const InvalidCase cases[] = {
        {"local code twice", {{0x8140, 0x3000}, {0x8140, 0x3001}}, {}, {}},
        {"Unicode value twice", {{0x8140, 0x3000}, {0x8141, 0x3000}}, {}, {}},
        {"trail byte below 0x40", {{0x813F, 0x3000}}, {}, {}},
        {"lead byte below 0x80", {{0x7F40, 0x3000}}, {}, {}},
        {"fbu key twice", {}, {{0xED40, 0x7E8A}, {0xED40, 0x7E8B}}, {}},
        {"fub key twice", {}, {}, {{0x41, 0x00C0}, {0x42, 0x00C0}}},
    };
    for (const InvalidCase &c : cases)
        EXPECT_TRUE(tablebuilder::buildMultiByte(22, c.roundTrip, c.fbu, c.fub).empty()) << c.why;
}

TEST(BuildMultiByte, RandomMappingsReadBackInEveryBlockChoice) {
    std::mt19937 rng(932);
    std::set<unsigned> locals, units;
    std::vector<Pair> pairs;
    while (pairs.size() < 3000) {
        unsigned local = 0x8100 + rng() % 0x7F00, unit = 1 + rng() % 0xFFFF;
        if ((local & 0xFF) < 0x40 || locals.count(local) || units.count(unit)) continue;
        // Stretches of consecutive codes make range lists worth writing.
        for (unsigned k = 0; k < 1 + rng() % 6 && (local & 0xFF) + k <= 0xFF; k++) {
            if (locals.count(local + k) || units.count(unit + k) || unit + k > 0xFFFF) break;
            locals.insert(local + k);
            units.insert(unit + k);
            pairs.push_back({static_cast<uint16_t>(local + k), static_cast<uint16_t>(unit + k)});
        }
    }
    for (BlockChoice choice :
         {BlockChoice::Smaller, BlockChoice::AlwaysBitmap, BlockChoice::AlwaysRange}) {
        std::vector<uint8_t> t = tablebuilder::buildMultiByte(22, pairs, {}, {}, choice);
        ASSERT_FALSE(t.empty());
        size_t wrong = 0;
        for (const Pair &p : pairs) {
            wrong += tablereader::localToUnicode(t.data(), p.local) != p.unicode;
            wrong += tablereader::unicodeToLocal(t.data(), p.unicode) != p.local;
        }
        EXPECT_EQ(wrong, 0u) << static_cast<int>(choice);
        for (unsigned probe = 0x8140; probe < 0x8240; probe++)
            if (!locals.count(probe) && (probe & 0xFF) >= 0x40) {
                EXPECT_EQ(tablereader::localToUnicode(t.data(), probe), tablereader::kNotFound);
            }
    }
}

TEST(BuildType13, HeaderAndFourByteRuns) {
    // Given out of order: the builder sorts by first sequence.
    std::vector<tablebuilder::Run4b> runs = {{{0x81, 0x31, 0x81, 0x30}, 0x0100, 10},
                                             {{0x81, 0x30, 0x81, 0x30}, 0x0080, 36}};
    std::vector<uint8_t> t = tablebuilder::buildType13({{0x8140, 0x3000}}, runs);
    ASSERT_FALSE(t.empty());
    const uint8_t *p = t.data();
    EXPECT_EQ(u16(p, 0), 13u);
    EXPECT_EQ(u32(p, 2), 23u) << "22-byte header";
    size_t at = u32(p, 18) - 1;
    EXPECT_EQ(at, u32(p, 14) - 1 + 5) << "run section after the Unicode-to-local area";
    EXPECT_EQ(std::vector<uint8_t>(t.begin() + at, t.end()),
              bytes({0, 2,                                          //
                     0x81, 0x30, 0x81, 0x30, 0x00, 0x80, 0x00, 36,  //
                     0x81, 0x31, 0x81, 0x30, 0x01, 0x00, 0x00, 10}));
    EXPECT_EQ(tablereader::localToUnicode(p, 0x8140), 0x3000);
}

TEST(BuildType13, RejectsOverlappingRuns) {
    const std::vector<tablebuilder::Run4b> overlapBySequence = {
        {{0x81, 0x30, 0x81, 0x30}, 0x0080, 12}, {{0x81, 0x30, 0x82, 0x30}, 0x0100, 10}};
    const std::vector<tablebuilder::Run4b> descendingUnicode = {
        {{0x81, 0x30, 0x81, 0x30}, 0x0100, 10}, {{0x81, 0x30, 0x82, 0x30}, 0x0080, 10}};
    EXPECT_TRUE(tablebuilder::buildType13({}, overlapBySequence).empty());
    EXPECT_TRUE(tablebuilder::buildType13({}, descendingUnicode).empty());
}

TEST(BuildSingleByte, RunSectionAndUnicodeIndex) {
    std::vector<uint8_t> t =
        tablebuilder::buildSingleByte(50, {{0x80, 0x20AC, 1}, {0xA0, 0x00A0, 96}});
    EXPECT_EQ(t, bytes({0x00, 50,   0x00, 16,   0x00, 7,          // type, index at 16, runs at 7
                        2,    0x80, 0x20, 0xAC, 1,                // run 1
                        0xA0, 0x00, 0xA0, 96,                     // run 2
                        2,    0x00, 0xA0, 2,    0x20, 0xAC, 1}))  // index by Unicode value
        << "the index lists run 2 first: U+00A0 sorts before U+20AC";
}

TEST(EmitCppSource, BannerRowsAndOffsets) {
    std::vector<uint8_t> t(18);
    for (unsigned i = 0; i < t.size(); i++)
        t[i] = static_cast<uint8_t>(0xF0 + i);
    std::string src =
        tablebuilder::emitCppSource(t, "tiny_tbl", "tiny.cpp - a test table.\n\nMade by hand.");
    EXPECT_EQ(src,
              "// tiny.cpp - a test table.\n"
              "//\n"
              "// Made by hand.\n"
              "// clang-format off\n"
              "#include <stdint.h>\n"
              "\n"
              "extern \"C\" const uint8_t tiny_tbl[18] = {\n"
              "    /* 000000 */ 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, "
              "0xFB, 0xFC, 0xFD, 0xFE, 0xFF,\n"
              "    /* 000010 */ 0x00, 0x01,\n"
              "};\n"
              "// clang-format on\n");
    EXPECT_NE(tablebuilder::emitCppSource(t, "x", "b", "CP932.h").find("#include \"CP932.h\"\n"),
              std::string::npos);
}

}  // namespace
