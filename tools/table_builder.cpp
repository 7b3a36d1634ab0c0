// table_builder.cpp - lays out conversion tables from mappings.
//
// A multi-byte table is, in this order: the header, the local-to-Unicode first
// level (lead-byte bitmap and one block record per lead byte), its
// second-level area (one block per lead byte), the Unicode-to-local first
// level (high-byte bitmap and block records), its second-level area, and for
// every type but 13 the fub and fbu fallback lists; a type-13 table ends with
// its four-byte run section instead. Every section start is stored as a
// 1-based position. A single-byte table is a 6-byte header, the run section
// and the Unicode index.
#include "table_builder.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace tablebuilder {

namespace {

constexpr unsigned kGroupSpan = 64;        // byte values covered by one bitmap group
constexpr unsigned kGroupBytes = 9;        // two 32-bit words and a running count
constexpr unsigned kLeadLowest = 0x80;     // lowest lead byte of a double-byte code
constexpr unsigned kTrailLowest = 0x40;    // lowest trail byte of a double-byte code
constexpr unsigned kUnicodeLowest = 0x00;  // high and low bytes of a code unit
constexpr uint8_t kKindBitmap = 0;         // block record kind: bitmap block
constexpr uint8_t kKindRange = 1;          // block record kind: range list
constexpr unsigned kMaxRunLength = 255;    // a run length is one byte
constexpr unsigned kMaxRecords8 = 255;     // a one-byte record count
constexpr unsigned kMaxRecords16 = 65535;  // a two-byte record count
constexpr unsigned kMaxBlockPos = 65535;   // block positions are two bytes
constexpr uint16_t kType13 = 13;           // the type with four-byte sequences
constexpr size_t kMultiHeaderSize = 26;
constexpr size_t kType13HeaderSize = 22;
constexpr size_t kSingleHeaderSize = 6;
constexpr size_t kFbuPosField = 22;  // header offsets of the position fields
constexpr size_t kFubPosField = 18;
constexpr size_t kData4bPosField = 18;

// Four-byte sequences: first and third byte 0x81-0xFE, second and fourth an
// ASCII digit; the linear number counts from 0x81 0x30 0x81 0x30.
constexpr long kRadix4b[4] = {12600, 1260, 10, 1};
constexpr uint8_t kOrigin4b[4] = {0x81, 0x30, 0x81, 0x30};

void putU8(std::vector<uint8_t> &out, unsigned v) {
    out.push_back(static_cast<uint8_t>(v));
}

void putU16(std::vector<uint8_t> &out, unsigned v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void putU32(std::vector<uint8_t> &out, uint32_t v) {
    putU16(out, v >> 16);
    putU16(out, v & 0xFFFF);
}

void setU32(std::vector<uint8_t> &out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v >> 24);
    out[at + 1] = static_cast<uint8_t>(v >> 16);
    out[at + 2] = static_cast<uint8_t>(v >> 8);
    out[at + 3] = static_cast<uint8_t>(v);
}

void setU16(std::vector<uint8_t> &out, size_t at, unsigned v) {
    out[at] = static_cast<uint8_t>(v >> 8);
    out[at + 1] = static_cast<uint8_t>(v);
}

// The 1-based position of the next byte to be appended.
uint32_t nextPos(const std::vector<uint8_t> &out) {
    return static_cast<uint32_t>(out.size() + 1);
}

// One entry of a second-level block: key byte and the 16-bit value it maps to.
struct Entry {
    uint8_t key;
    uint16_t value;
};

// Entries of one block, keyed by the first-level byte; std::map keeps the
// first-level bytes ascending, which is the order of the blocks.
using Groups = std::map<unsigned, std::vector<Entry>>;

struct Run {
    uint8_t first;
    uint16_t value;
    uint8_t length;
};

// Maximal stretches of consecutive keys with consecutive values, each at most
// kMaxRunLength long. `entries` are sorted by key.
std::vector<Run> splitRuns(const std::vector<Entry> &entries) {
    std::vector<Run> runs;
    for (const Entry &e : entries) {
        if (!runs.empty()) {
            Run &last = runs.back();
            bool follows = e.key == last.first + last.length &&
                           static_cast<unsigned>(e.value) == last.value + last.length;
            if (follows && last.length < kMaxRunLength) {
                last.length++;
                continue;
            }
        }
        runs.push_back(Run{e.key, e.value, 1});
    }
    return runs;
}

std::vector<uint8_t> bitmapBlock(unsigned lowest, const std::vector<Entry> &entries) {
    std::vector<uint8_t> keys;
    for (const Entry &e : entries)
        keys.push_back(e.key);
    std::vector<uint8_t> block = buildBitmap(lowest, keys);
    for (const Entry &e : entries)
        putU16(block, e.value);
    return block;
}

std::vector<uint8_t> rangeList(const std::vector<Run> &runs) {
    std::vector<uint8_t> block;
    putU8(block, static_cast<unsigned>(runs.size()));
    for (const Run &r : runs) {
        putU8(block, r.first);
        putU16(block, r.value);
        putU8(block, r.length);
    }
    return block;
}

// One second-level block in the chosen encoding; `kind` receives the kind
// byte of its block record. On equal sizes the bitmap block is written: it is
// read by direct addressing instead of a search. A range list that would need
// more than 255 records cannot be written and gives way to a bitmap block.
std::vector<uint8_t> makeBlock(unsigned lowest, const std::vector<Entry> &entries,
                               BlockChoice choice, uint8_t &kind) {
    std::vector<Run> runs = splitRuns(entries);
    size_t bitmapSize = (256 - lowest) / kGroupSpan * kGroupBytes + 2 * entries.size();
    size_t rangeSize = 1 + 4 * runs.size();
    bool useRange = choice == BlockChoice::AlwaysRange ||
                    (choice == BlockChoice::Smaller && rangeSize < bitmapSize);
    if (runs.size() > kMaxRecords8) useRange = false;
    kind = useRange ? kKindRange : kKindBitmap;
    return useRange ? rangeList(runs) : bitmapBlock(lowest, entries);
}

// One two-level index: the first level (bitmap of the first-level bytes and
// block records) and the second-level area. False when the area outgrows the
// two-byte block positions.
bool buildLevels(unsigned firstLowest, unsigned secondLowest, const Groups &groups,
                 BlockChoice choice, std::vector<uint8_t> &index, std::vector<uint8_t> &area) {
    std::vector<uint8_t> present;
    for (const auto &g : groups)
        present.push_back(static_cast<uint8_t>(g.first));
    index = buildBitmap(firstLowest, present);
    area.clear();
    for (const auto &g : groups) {
        uint32_t pos = nextPos(area);
        if (pos > kMaxBlockPos) return false;
        uint8_t kind = kKindBitmap;
        std::vector<uint8_t> block = makeBlock(secondLowest, g.second, choice, kind);
        area.insert(area.end(), block.begin(), block.end());
        putU16(index, pos);
        putU8(index, kind);
    }
    return true;
}

bool byKey(const Entry &a, const Entry &b) {
    return a.key < b.key;
}

// Groups the round-trip pairs for both directions. Double-byte codes go to the
// local-to-Unicode side, every pair to the Unicode-to-local side. False on a
// code that the format cannot hold or a key that occurs twice.
bool groupPairs(const std::vector<Pair> &roundTrip, Groups &l2u, Groups &u2l) {
    std::vector<bool> seenLocal(65536, false), seenUnicode(65536, false);
    for (const Pair &p : roundTrip) {
        if (seenLocal[p.local] || seenUnicode[p.unicode]) return false;
        seenLocal[p.local] = seenUnicode[p.unicode] = true;
        if (p.local >= 0x100) {
            unsigned lead = p.local >> 8, trail = p.local & 0xFF;
            if (lead < kLeadLowest || trail < kTrailLowest) return false;
            l2u[lead].push_back(Entry{static_cast<uint8_t>(trail), p.unicode});
        }
        u2l[p.unicode >> 8].push_back(Entry{static_cast<uint8_t>(p.unicode & 0xFF), p.local});
    }
    for (auto &g : l2u)
        std::sort(g.second.begin(), g.second.end(), byKey);
    for (auto &g : u2l)
        std::sort(g.second.begin(), g.second.end(), byKey);
    return true;
}

// Header positions and the four index sections shared by all multi-byte types.
bool appendIndexes(std::vector<uint8_t> &table, const std::vector<Pair> &roundTrip,
                   BlockChoice choice) {
    Groups l2u, u2l;
    if (!groupPairs(roundTrip, l2u, u2l)) return false;
    std::vector<uint8_t> l2uIndex, l2uArea, u2lIndex, u2lArea;
    if (!buildLevels(kLeadLowest, kTrailLowest, l2u, choice, l2uIndex, l2uArea)) return false;
    if (!buildLevels(kUnicodeLowest, kUnicodeLowest, u2l, choice, u2lIndex, u2lArea)) return false;
    const std::vector<uint8_t> *sections[] = {&l2uIndex, &l2uArea, &u2lIndex, &u2lArea};
    size_t field = 2;  // l2u_index_pos, l2u_data_pos, u2l_index_pos, u2l_data_pos
    for (const std::vector<uint8_t> *s : sections) {
        setU32(table, field, nextPos(table));
        table.insert(table.end(), s->begin(), s->end());
        field += 4;
    }
    return true;
}

// A fallback list: count, then 4-byte records sorted by their key (the first
// member of each pair as given). Position 0 when the list is empty.
bool appendFallbacks(std::vector<uint8_t> &table, size_t field, std::vector<Pair> pairs,
                     bool keyIsLocal) {
    if (pairs.empty()) return true;
    if (pairs.size() > kMaxRecords16) return false;
    auto key = [keyIsLocal](const Pair &p) { return keyIsLocal ? p.local : p.unicode; };
    std::sort(pairs.begin(), pairs.end(),
              [&key](const Pair &a, const Pair &b) { return key(a) < key(b); });
    for (size_t i = 1; i < pairs.size(); i++)
        if (key(pairs[i]) == key(pairs[i - 1])) return false;
    setU32(table, field, nextPos(table));
    putU16(table, static_cast<unsigned>(pairs.size()));
    for (const Pair &p : pairs) {
        putU16(table, key(p));
        putU16(table, keyIsLocal ? p.unicode : p.local);
    }
    return true;
}

long linear4b(const uint8_t s[4]) {
    long n = 0;
    for (int i = 0; i < 4; i++)
        n += (static_cast<long>(s[i]) - kOrigin4b[i]) * kRadix4b[i];
    return n;
}

}  // namespace

std::vector<uint8_t> buildBitmap(unsigned lowest, const std::vector<uint8_t> &present) {
    unsigned groups = (256 - lowest) / kGroupSpan;
    std::vector<uint32_t> words(2 * groups, 0);
    for (uint8_t v : present) {
        if (v < lowest) continue;
        unsigned r = v - lowest;
        words[r / 32] |= 1u << (31 - r % 32);
    }
    std::vector<uint8_t> out;
    unsigned running = 0;
    for (unsigned g = 0; g < groups; g++) {
        putU32(out, words[2 * g]);
        putU32(out, words[2 * g + 1]);
        running += static_cast<unsigned>(__builtin_popcount(words[2 * g]) +
                                         __builtin_popcount(words[2 * g + 1]));
        putU8(out, running & 0xFF);  // 256 present values wrap to a stored 0
    }
    return out;
}

std::vector<uint8_t> buildMultiByte(uint16_t typeCode, const std::vector<Pair> &roundTrip,
                                    const std::vector<Pair> &fbu, const std::vector<Pair> &fub,
                                    BlockChoice choice) {
    std::vector<uint8_t> table(kMultiHeaderSize, 0);
    setU16(table, 0, typeCode);
    if (!appendIndexes(table, roundTrip, choice)) return {};
    if (!appendFallbacks(table, kFubPosField, fub, false)) return {};
    if (!appendFallbacks(table, kFbuPosField, fbu, true)) return {};
    return table;
}

std::vector<uint8_t> buildType13(const std::vector<Pair> &roundTrip, const std::vector<Run4b> &runs,
                                 BlockChoice choice) {
    std::vector<uint8_t> table(kType13HeaderSize, 0);
    setU16(table, 0, kType13);
    if (!appendIndexes(table, roundTrip, choice)) return {};
    if (runs.size() > kMaxRecords16) return {};
    std::vector<Run4b> sorted = runs;
    std::sort(sorted.begin(), sorted.end(),
              [](const Run4b &a, const Run4b &b) { return linear4b(a.first) < linear4b(b.first); });
    // Both lookups binary-search the same records, so the runs must ascend and
    // stay apart on the sequence side and on the Unicode side alike.
    for (size_t i = 1; i < sorted.size(); i++) {
        const Run4b &a = sorted[i - 1], &b = sorted[i];
        if (linear4b(a.first) + a.length > linear4b(b.first)) return {};
        if (static_cast<long>(a.unicode) + a.length > b.unicode) return {};
    }
    setU32(table, kData4bPosField, nextPos(table));
    putU16(table, static_cast<unsigned>(sorted.size()));
    for (const Run4b &r : sorted) {
        table.insert(table.end(), r.first, r.first + 4);
        putU16(table, r.unicode);
        putU16(table, r.length);
    }
    return table;
}

std::vector<uint8_t> buildSingleByte(uint16_t typeCode, const std::vector<Run8859> &runs) {
    if (runs.size() > kMaxRecords8) return {};
    std::vector<uint8_t> table(kSingleHeaderSize, 0);
    setU16(table, 0, typeCode);
    setU16(table, 4, nextPos(table));  // data_8859_pos
    putU8(table, static_cast<unsigned>(runs.size()));
    for (const Run8859 &r : runs) {
        putU8(table, r.first);
        putU16(table, r.unicode);
        putU8(table, r.length);
    }
    std::vector<unsigned> order(runs.size());
    for (unsigned i = 0; i < order.size(); i++)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&runs](unsigned a, unsigned b) { return runs[a].unicode < runs[b].unicode; });
    setU16(table, 2, nextPos(table));  // index_u_8859_pos
    putU8(table, static_cast<unsigned>(order.size()));
    for (unsigned i : order) {
        putU16(table, runs[i].unicode);
        putU8(table, i + 1);  // run numbers are 1-based
    }
    return table;
}

std::string emitCppSource(const std::vector<uint8_t> &table, const std::string &name,
                          const std::string &banner, const std::string &header) {
    std::string out;
    size_t start = 0;
    while (start < banner.size()) {
        size_t end = banner.find('\n', start);
        if (end == std::string::npos) end = banner.size();
        std::string line = banner.substr(start, end - start);
        out += line.empty() ? "//\n" : "// " + line + "\n";
        start = end + 1;
    }
    // The rows are laid out by the generator; the formatter must not reflow them.
    out += "// clang-format off\n";
    out += header.empty() ? "#include <stdint.h>\n" : "#include \"" + header + "\"\n";
    out += "\nextern \"C\" const uint8_t " + name + "[" + std::to_string(table.size()) + "] = {\n";
    char cell[8];
    for (size_t row = 0; row < table.size(); row += 16) {
        char offset[40];
        std::snprintf(offset, sizeof offset, "    /* %06zX */", row);
        out += offset;
        for (size_t i = row; i < row + 16 && i < table.size(); i++) {
            std::snprintf(cell, sizeof cell, " 0x%02X,", table[i]);
            out += cell;
        }
        out += "\n";
    }
    out += "};\n// clang-format on\n";
    return out;
}

}  // namespace tablebuilder
