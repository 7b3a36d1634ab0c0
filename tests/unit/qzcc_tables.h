// qzcc_tables.h - a small hand assembler for conversion tables, written
// from the format description alone so that the converter's tests do not
// depend on the table builder, and a set of made-up tables of every kind.
#ifndef EMOJITAG_QZCC_TABLES_H
#define EMOJITAG_QZCC_TABLES_H

#include <gtest/gtest.h>
#include <cstdint>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "qz_cc_api.h"

namespace qzcctest {

using Bytes = std::vector<uint8_t>;

// Appends big-endian fields and bitmaps; positions are 1-based.
struct Asm {
    Bytes b;
    uint32_t pos() const { return static_cast<uint32_t>(b.size() + 1); }
    void u8(unsigned v) { b.push_back(static_cast<uint8_t>(v)); }
    void u16(unsigned v) {
        u8(v >> 8);
        u8(v);
    }
    void u32(uint32_t v) {
        u16(v >> 16);
        u16(v);
    }
    void set32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    }
    void set16(size_t at, unsigned v) {
        b[at] = static_cast<uint8_t>(v >> 8);
        b[at + 1] = static_cast<uint8_t>(v);
    }
    // Groups of two words (most significant bit = lowest value) and a
    // running count, stored modulo 256.
    void bitmap(unsigned lowest, unsigned groups, const std::set<unsigned> &values) {
        unsigned running = 0;
        for (unsigned g = 0; g < groups; g++) {
            uint32_t w[2] = {0, 0};
            for (unsigned v : values) {
                unsigned r = v - lowest;
                if (r / 64 != g) continue;
                w[(r % 64) / 32] |= 0x80000000u >> (r % 32);
                running++;
            }
            u32(w[0]);
            u32(w[1]);
            u8(running & 0xFF);
        }
    }
};

// A range record as stored: first byte, value of the first, length.
struct Range {
    unsigned first;
    unsigned value;
    unsigned length;
};

// One second-level block: either a bitmap block over `entries` or the
// explicit range records `ranges`.
struct Block {
    bool isRanges;
    std::map<unsigned, unsigned> entries;  // second byte -> value (bitmap block)
    std::vector<Range> ranges;             // range list
};

using Blocks = std::map<unsigned, Block>;  // first byte -> block

// Writes a first level and its block area; returns {index pos, data pos}.
inline std::pair<uint32_t, uint32_t> writeLevels(Asm &a, const Blocks &blocks, unsigned lowest,
                                                 unsigned groups, unsigned blockLowest,
                                                 unsigned blockGroups) {
    std::set<unsigned> keys;
    for (const auto &kv : blocks)
        keys.insert(kv.first);
    uint32_t indexPos = a.pos();
    a.bitmap(lowest, groups, keys);
    size_t records = a.b.size();
    for (size_t i = 0; i < blocks.size(); i++) {
        a.u16(0);
        a.u8(0);
    }
    uint32_t dataPos = a.pos();
    size_t rec = records;
    for (const auto &kv : blocks) {
        const Block &blk = kv.second;
        a.set16(rec, a.pos() - dataPos + 1);
        a.b[rec + 2] = blk.isRanges ? 1 : 0;
        rec += 3;
        if (blk.isRanges) {
            a.u8(static_cast<unsigned>(blk.ranges.size()));
            for (const Range &r : blk.ranges) {
                a.u8(r.first);
                a.u16(r.value);
                a.u8(r.length);
            }
        } else {
            std::set<unsigned> present;
            for (const auto &e : blk.entries)
                present.insert(e.first);
            a.bitmap(blockLowest, blockGroups, present);
            for (const auto &e : blk.entries)
                a.u16(e.second);
        }
    }
    return {indexPos, dataPos};
}

inline void writeFallback(Asm &a, const std::map<unsigned, unsigned> &pairs) {
    a.u16(static_cast<unsigned>(pairs.size()));
    for (const auto &kv : pairs) {
        a.u16(kv.first);
        a.u16(kv.second);
    }
}

// A four-byte run: first sequence, first unit, length.
struct Run4 {
    uint8_t seq[4];
    unsigned unit;
    unsigned length;
};

// Multi-byte table (type below 50). For type 13 `runs4` is written and the
// fallback maps are ignored; otherwise an empty fallback map gets position 0.
inline Bytes assembleMultiByte(unsigned type, const Blocks &l2u, const Blocks &u2l,
                               const std::map<unsigned, unsigned> &fub,
                               const std::map<unsigned, unsigned> &fbu,
                               const std::vector<Run4> &runs4 = {}) {
    Asm a;
    a.u16(type);
    unsigned headerWords = type == 13 ? 5 : 6;
    for (unsigned i = 0; i < headerWords; i++)
        a.u32(0);
    auto l = writeLevels(a, l2u, 0x80, 2, 0x40, 3);
    auto u = writeLevels(a, u2l, 0x00, 4, 0x00, 4);
    a.set32(2, l.first);
    a.set32(6, l.second);
    a.set32(10, u.first);
    a.set32(14, u.second);
    if (type == 13) {
        a.set32(18, a.pos());
        a.u16(static_cast<unsigned>(runs4.size()));
        for (const Run4 &r : runs4) {
            for (uint8_t s : r.seq)
                a.u8(s);
            a.u16(r.unit);
            a.u16(r.length);
        }
        return a.b;
    }
    if (!fub.empty()) {
        a.set32(18, a.pos());
        writeFallback(a, fub);
    }
    if (!fbu.empty()) {
        a.set32(22, a.pos());
        writeFallback(a, fbu);
    }
    return a.b;
}

// One index record of a single-byte table: first unit of a run, run number.
struct IndexRecord {
    unsigned unit;
    unsigned run;
};

// Single-byte table (type 50 and above): runs, then the index given as is.
inline Bytes assembleSingleByte(unsigned type, const std::vector<Range> &runs,
                                const std::vector<IndexRecord> &index) {
    Asm a;
    a.u16(type);
    a.u16(0);
    a.u16(0);
    a.set16(4, a.pos());
    a.u8(static_cast<unsigned>(runs.size()));
    for (const Range &r : runs) {
        a.u8(r.first);
        a.u16(r.value);
        a.u8(r.length);
    }
    a.set16(2, a.pos());
    a.u8(static_cast<unsigned>(index.size()));
    for (const IndexRecord &r : index) {
        a.u16(r.unit);
        a.u8(r.run);
    }
    return a.b;
}

// ---- the made-up tables

// A double-byte table whose blocks sit at the bitmap's edges. Local side:
//   lead 0x81 bitmap block: 0x40 U+3000, 0x7E U+00D7, 0x80 U+00F7, 0x9F U+4E00,
//             0xA0 U+4E01, 0xBF U+4E02, 0xC0 U+4E03, 0xFF U+4E04
//   lead 0x82 range list: 0x4F-0x58 U+FF10.., 0x60-0x79 U+FF21.., 0xF0-0xFF U+3041..
//   lead 0x9F range list: one record of length 1, 0x50 U+6000 (end of word 0)
//   lead 0xC1 bitmap block: 0x41 U+5000 (second lead group; katakana in 21, 22)
//   lead 0xE1 bitmap block: 0x41 U+5001 (word 1 of the second lead group)
//   lead 0xFF bitmap block: 0xFF U+7000 (last bit of the last group)
//   fbu: 0x8190 U+2252, 0x8280 U+1234, 0xED40 U+7E8A
// Unicode side:
//   high 0x00 range list: 0x80 0x8181, 0xA6 0x007C, 0xF7 0x8180
//   high 0x20 bitmap block: 0xAC 0x8790
//   high 0x30 bitmap block: 0x00 0x8140, 0x3F 0x8141, 0x40 0x8142, 0xFF 0x8143
//   high 0x4E bitmap block with all 256 low bytes: 0x9000 + low byte
//   high 0xFF range list: 0x10-0x19 0x824F.., 0x61 0x8888
//   fub: U+00A5 0x005C, U+00C0 0x0041, U+2016 0x8161, U+3001 0x8141
inline Bytes edgeTable(unsigned type, bool withFallbacks = true) {
    Blocks l2u;
    l2u[0x81] = {false,
                 {{0x40, 0x3000},
                  {0x7E, 0x00D7},
                  {0x80, 0x00F7},
                  {0x9F, 0x4E00},
                  {0xA0, 0x4E01},
                  {0xBF, 0x4E02},
                  {0xC0, 0x4E03},
                  {0xFF, 0x4E04}},
                 {}};
    l2u[0x82] = {true, {}, {{0x4F, 0xFF10, 10}, {0x60, 0xFF21, 26}, {0xF0, 0x3041, 16}}};
    l2u[0x9F] = {true, {}, {{0x50, 0x6000, 1}}};
    l2u[0xC1] = {false, {{0x41, 0x5000}}, {}};
    l2u[0xE1] = {false, {{0x41, 0x5001}}, {}};
    l2u[0xFF] = {false, {{0xFF, 0x7000}}, {}};
    Blocks u2l;
    u2l[0x00] = {true, {}, {{0x80, 0x8181, 1}, {0xA6, 0x007C, 1}, {0xF7, 0x8180, 1}}};
    u2l[0x20] = {false, {{0xAC, 0x8790}}, {}};
    u2l[0x30] = {false, {{0x00, 0x8140}, {0x3F, 0x8141}, {0x40, 0x8142}, {0xFF, 0x8143}}, {}};
    Block full{false, {}, {}};
    for (unsigned low = 0; low < 256; low++)
        full.entries[low] = 0x9000 + low;
    u2l[0x4E] = full;
    u2l[0xFF] = {true, {}, {{0x10, 0x824F, 10}, {0x61, 0x8888, 1}}};
    std::map<unsigned, unsigned> fub, fbu;
    if (withFallbacks) {
        fub = {{0x00A5, 0x005C}, {0x00C0, 0x0041}, {0x2016, 0x8161}, {0x3001, 0x8141}};
        fbu = {{0x8190, 0x2252}, {0x8280, 0x1234}, {0xED40, 0x7E8A}};
    }
    return assembleMultiByte(type, l2u, u2l, fub, fbu);
}

// A type-13 table:
//   lead 0x81 bitmap block: 0x40 U+4E00
//   high 0x00 range list: 0xA4 0xA1E8; high 0x4E bitmap block: 0x00 0x0041;
//   high 0xE7 range list: 0x6B 0xFE50
//   runs: 81 30 81 30 U+0080 x36, 81 31 81 30 U+0100 x10, 83 30 81 30 U+E760 x32
inline Bytes type13Table() {
    Blocks l2u;
    l2u[0x81] = {false, {{0x40, 0x4E00}}, {}};
    Blocks u2l;
    u2l[0x00] = {true, {}, {{0xA4, 0xA1E8, 1}}};
    u2l[0x4E] = {false, {{0x00, 0x0041}}, {}};
    u2l[0xE7] = {true, {}, {{0x6B, 0xFE50, 1}}};
    std::vector<Run4> runs = {{{0x81, 0x30, 0x81, 0x30}, 0x0080, 36},
                              {{0x81, 0x31, 0x81, 0x30}, 0x0100, 10},
                              {{0x83, 0x30, 0x81, 0x30}, 0xE760, 32}};
    return assembleMultiByte(13, l2u, u2l, {}, {}, runs);
}

// A single-byte table: run 1 {0x80, U+20AC, 1}, run 2 {0xA0, U+00A0, 96};
// index {U+00A0, 2}, {U+20AC, 1}.
inline Bytes singleByteTable(unsigned type = 50) {
    return assembleSingleByte(type, {{0x80, 0x20AC, 1}, {0xA0, 0x00A0, 96}},
                              {{0x00A0, 2}, {0x20AC, 1}});
}

// ---- calling the converter

// "81 40 41" -> {0x81, 0x40, 0x41}.
inline Bytes hex(const std::string &text) {
    Bytes out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            i++;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

struct Out {
    int32_t result;
    Bytes bytes;  // the written bytes: the buffer up to the result's count, or
                  // up to the last non-zero byte for negative results
    Bytes whole;  // the whole buffer
};

// Converts `input` (a terminator is appended) with an output buffer of
// `size` bytes pre-filled with 0xAA, so that clearing shows.
inline Out convert(const Bytes &input, uint32_t size, const Bytes &table, uint16_t form,
                   uint16_t direction) {
    Bytes in = input;
    in.push_back(0);
    in.push_back(0);
    in.push_back(0);
    Bytes buf(size + 1, 0xAA);  // one guard byte past the end
    Out o;
    o.result = qz_code_convert(buf.data(), in.data(), size, table.empty() ? nullptr : table.data(),
                               form, direction);
    o.whole.assign(buf.begin(), buf.begin() + size);
    size_t n = 0;
    if (o.result >= 0) {
        n = static_cast<size_t>(o.result);
    } else {
        n = size;
        while (n > 0 && o.whole[n - 1] == 0)
            n--;
    }
    o.bytes.assign(o.whole.begin(), o.whole.begin() + n);
    if (buf[size] != 0xAA) o.result = 999;  // wrote past the buffer
    return o;
}

// The made-up tables of the case tables, by name, built once.
inline const Bytes &namedTable(const std::string &name) {
    static const std::map<std::string, Bytes> tables = {
        {"22", edgeTable(22)},
        {"21", edgeTable(21)},
        {"23", edgeTable(23)},
        {"11", edgeTable(11)},
        {"12", edgeTable(12)},
        {"0", edgeTable(0)},
        {"22-nofallback", edgeTable(22, false)},
        {"13", type13Table()},
        {"50", singleByteTable(50)},
        {"200", singleByteTable(200)},
        {"none", {}},
    };
    return tables.at(name);
}

// One conversion case: the whole written text and the result, with every
// byte after the text required to be cleared.
struct Case {
    const char *why;
    const char *table;  // a namedTable name
    uint16_t form;
    const char *input;  // hex: local bytes, UTF-16BE units or UTF-8 bytes
    uint32_t size;
    int32_t result;
    const char *output;  // hex of the whole written text
};

inline void runCase(const Case &c, uint16_t direction) {
    Out o = convert(hex(c.input), c.size, namedTable(c.table), c.form, direction);
    EXPECT_EQ(o.result, c.result) << c.why;
    Bytes want = hex(c.output);
    ASSERT_LE(want.size(), o.whole.size()) << c.why;
    EXPECT_EQ(Bytes(o.whole.begin(), o.whole.begin() + want.size()), want) << c.why;
    for (size_t i = want.size(); i < o.whole.size(); i++)
        ASSERT_EQ(o.whole[i], 0) << c.why << ": byte " << i << " not cleared";
}

}  // namespace qzcctest

#endif
