// cp932_gen - generates src/codeconv/CP932.cpp, the CP932 conversion table
// `convert_tbl` (type 22), from the CP932 mapping and the list of one-way
// conversions from Unicode.
//
//   cp932_gen MAPPING FUB OUTPUT INDEX          writes OUTPUT and INDEX
//   cp932_gen --check MAPPING FUB FILE INDEX    exit 0 when FILE and INDEX are
//                                               exactly what would be written,
//                                               1 otherwise
//
// OUTPUT is src/codeconv/CP932.cpp (the table), INDEX src/codeconv/
// CP932_index.cpp: the direct index of the table's lookups that the converter
// reads instead of walking the table, with the header and fallback counts by
// which the converter recognises the table (qz_cc_index.h says why and how).
//
// MAPPING is tools/data/CP932.TXT ("0xCODE<TAB>0xUNICODE" lines), FUB is
// tools/data/CP932-fub.txt ("0xUNICODE<TAB>0xCODE" lines).
//
// What goes into the table:
// - the double-byte codes of the mapping (lead bytes 0x81-0x84, 0x87-0x9F,
//   0xE0-0xEA, 0xED-0xEE, 0xFA-0xFC); the single bytes are left to the
//   converter's own rules for type 22;
// - 252 codes of the user-defined area, mapped to the private use area by
//   position (kUdaRanges below);
// - where several codes share one Unicode value, the preferred one (JIS X 0208
//   rows, then the 0x87 row, then lead bytes 0xFA-0xFC, then 0xED-0xEE)
//   converts both ways and the others convert to Unicode only (fbu section);
// - the FUB pairs convert from Unicode only (fub section).
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "table_builder.h"

namespace {

using tablebuilder::Pair;

constexpr uint16_t kTypeCp932 = 22;
constexpr unsigned kUdaFirstLead = 0xF0;  // user-defined area: lead bytes 0xF0-0xF9
constexpr unsigned kUdaLastLead = 0xF9;
constexpr unsigned kUdaUnicodeBase = 0xE000;  // its first code, 0xF040, maps here
constexpr unsigned kTrailsPerLead = 188;      // trail bytes 0x40-0x7E and 0x80-0xFC
constexpr unsigned kTrailFirst = 0x40;
constexpr unsigned kTrailGap = 0x7F;  // never a trail byte

// The mapped part of the user-defined area (it gives U+E63E-U+E757); the rest
// of the area stays unmapped.
struct CodeRange {
    uint16_t first;
    uint16_t last;
};
constexpr CodeRange kUdaRanges[] = {
    {0xF89F, 0xF8FC}, {0xF940, 0xF949}, {0xF950, 0xF952}, {0xF955, 0xF957},
    {0xF95B, 0xF95E}, {0xF972, 0xF97E}, {0xF980, 0xF9FC},
};

// Preference among codes that share one Unicode value: lower wins.
int preferenceClass(unsigned code) {
    unsigned lead = code >> 8;
    if (lead == 0x87) return 1;                  // NEC special characters
    if (lead >= 0xFA && lead <= 0xFC) return 2;  // IBM extensions
    if (lead == 0xED || lead == 0xEE) return 3;  // NEC-selected IBM extensions
    return 0;                                    // JIS X 0208 rows and the user-defined area
}

bool isPreferred(unsigned code, unsigned other) {
    int a = preferenceClass(code), b = preferenceClass(other);
    return a != b ? a < b : code < other;
}

unsigned udaUnicode(unsigned code) {
    unsigned lead = code >> 8, trail = code & 0xFF;
    unsigned n = kTrailsPerLead * (lead - kUdaFirstLead) + (trail - kTrailFirst);
    if (trail > kTrailGap) n -= 1;
    return kUdaUnicodeBase + n;
}

// Reads "0xA<white space>0xB" lines; '#' starts a comment line.
bool readPairs(const char *path, std::vector<std::pair<unsigned, unsigned>> &out) {
    FILE *f = std::fopen(path, "r");
    if (f == nullptr) {
        std::fprintf(stderr, "Error: %s: cannot open\n", path);
        return false;
    }
    char line[256];
    int lineNo = 0;
    bool ok = true;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        lineNo++;
        if (line[0] == '#' || line[0] == '\n') continue;
        unsigned a = 0, b = 0;
        if (std::sscanf(line, "%x %x", &a, &b) != 2 || a > 0xFFFF || b > 0xFFFF) {
            std::fprintf(stderr, "Error: %s:%d: bad line\n", path, lineNo);
            ok = false;
            break;
        }
        out.emplace_back(a, b);
    }
    std::fclose(f);
    return ok;
}

// Every code that converts to Unicode: the mapping's double-byte codes and
// the mapped part of the user-defined area.
bool collectCodes(const char *mappingPath, std::map<unsigned, unsigned> &toUnicode) {
    std::vector<std::pair<unsigned, unsigned>> mapping;
    if (!readPairs(mappingPath, mapping)) return false;
    for (const auto &m : mapping) {
        if (m.first < 0x100) continue;  // single bytes: the converter's rules
        unsigned lead = m.first >> 8;
        if (lead >= kUdaFirstLead && lead <= kUdaLastLead) {
            std::fprintf(stderr, "Error: %s: 0x%04X lies in the user-defined area\n", mappingPath,
                         m.first);
            return false;
        }
        toUnicode[m.first] = m.second;
    }
    for (const CodeRange &r : kUdaRanges)
        for (unsigned code = r.first; code <= r.last; code++)
            if ((code & 0xFF) != kTrailGap) toUnicode[code] = udaUnicode(code);
    return true;
}

// Splits the codes into the round-trip set and the fbu section.
void splitCodes(const std::map<unsigned, unsigned> &toUnicode, std::vector<Pair> &roundTrip,
                std::vector<Pair> &fbu) {
    std::map<unsigned, unsigned> preferred;  // Unicode value -> its code
    for (const auto &c : toUnicode) {
        auto it = preferred.find(c.second);
        if (it == preferred.end() || isPreferred(c.first, it->second))
            preferred[c.second] = c.first;
    }
    for (const auto &c : toUnicode) {
        Pair p{static_cast<uint16_t>(c.first), static_cast<uint16_t>(c.second)};
        (preferred[c.second] == c.first ? roundTrip : fbu).push_back(p);
    }
}

// ---- the direct index (qz_cc_index.h)

constexpr unsigned kLeadFirst = 0x80;  // the index covers lead bytes 0x80-0xFF
constexpr unsigned kLeads = 128;
constexpr unsigned kTrails = 192;  // and trail bytes 0x40-0xFF
constexpr unsigned kPage = 256;    // code units per page of the Unicode side

// The converter's own rules for a type-22 table, which come before any
// lookup in the table: ASCII stands for itself, the single bytes 0xA1-0xDF
// are the half-width katakana U+FF61-U+FF9F, and the byte 0x80 and the code
// unit U+0080 have no conversion.
constexpr unsigned kAsciiLast = 0x7F;
constexpr unsigned kKanaByteFirst = 0xA1;
constexpr unsigned kKanaByteLast = 0xDF;
constexpr unsigned kKanaUnitFirst = 0xFF61;
constexpr unsigned kNoCharacter = 0x80;  // the byte 0x80 and the unit U+0080
constexpr uint16_t kLeadMark = 0xFFFF;   // QZ_CC_INDEX_LEAD: the byte takes a trail byte

// What convert_tbl answers, key by key: the double-byte lookups of the
// local-to-Unicode side from the round-trip set and then fbu; what each
// single byte is on its own (the rules above, or the lead mark); and the
// whole conversion of a code unit to local, the rules above first, then the
// round-trip set, then fub (the table's main sections are searched before
// its fallback sections), in writing order. 0 stands for "no conversion", so a pair with
// U+0000 or the code 0x0000 cannot be indexed.
struct Index {
    std::vector<uint16_t> l2u = std::vector<uint16_t>(kLeads * kTrails, 0);
    std::vector<uint16_t> l2uByte = std::vector<uint16_t>(256, 0);
    std::vector<uint16_t> u2l = std::vector<uint16_t>(0x10000, 0);
};

// A local code as the Unicode side of the index holds it: the byte written
// first in the low 8 bits, the second byte (0 for a single byte) in the high
// 8 bits, so that the converter stores both with one 16-bit store.
uint16_t bytesInWritingOrder(unsigned local) {
    return static_cast<uint16_t>(local > 0xFF ? (local & 0xFF) << 8 | local >> 8 : local);
}

void indexRules(Index &index) {
    for (unsigned b = 1; b < 256; b++) {
        if (b <= kAsciiLast)
            index.l2uByte[b] = static_cast<uint16_t>(b);
        else if (b >= kKanaByteFirst && b <= kKanaByteLast)
            index.l2uByte[b] = static_cast<uint16_t>(kKanaUnitFirst + (b - kKanaByteFirst));
        else if (b != kNoCharacter)
            index.l2uByte[b] = kLeadMark;
    }
    for (unsigned u = 1; u <= kAsciiLast; u++)
        index.u2l[u] = static_cast<uint16_t>(u);
    for (unsigned b = kKanaByteFirst; b <= kKanaByteLast; b++)
        index.u2l[kKanaUnitFirst + (b - kKanaByteFirst)] = static_cast<uint16_t>(b);
}

bool buildIndex(const std::vector<Pair> &roundTrip, const std::vector<Pair> &fbu,
                const std::vector<Pair> &fub, Index &index) {
    for (const std::vector<Pair> *list : {&roundTrip, &fbu, &fub}) {
        for (const Pair &p : *list) {
            if (p.local == 0 || p.unicode == 0) {
                std::fprintf(stderr, "Error: a pair with 0 cannot be indexed\n");
                return false;
            }
        }
    }
    for (const std::vector<Pair> *list : {&roundTrip, &fbu}) {
        for (const Pair &p : *list) {
            unsigned lead = p.local >> 8, trail = p.local & 0xFF;
            if (lead < kLeadFirst || trail < kTrailFirst) continue;  // not double-byte
            uint16_t &entry = index.l2u[(lead - kLeadFirst) * kTrails + (trail - kTrailFirst)];
            if (entry == 0) entry = p.unicode;
        }
    }
    // The rules first: a unit they decide (U+0080 included) never reaches
    // the table, so a table entry only fills a place still empty.
    indexRules(index);
    for (const std::vector<Pair> *list : {&roundTrip, &fub}) {
        for (const Pair &p : *list) {
            // Single-byte round-trip pairs have no place on the Unicode side
            // of a type-22 table; the converter's rules cover them.
            if (list == &roundTrip && p.local < 0x100) continue;
            if (p.unicode == kNoCharacter) continue;
            uint16_t &entry = index.u2l[p.unicode];
            if (entry == 0) entry = bytesInWritingOrder(p.local);
        }
    }
    return true;
}

// Rows of 16 uint16 values, each row after a comment that names its first key.
void emitRows(std::string &out, const uint16_t *values, size_t count,
              const std::function<std::string(size_t)> &label) {
    char cell[16];
    for (size_t row = 0; row < count; row += 16) {
        out += "    /* " + label(row) + " */";
        for (size_t i = row; i < row + 16 && i < count; i++) {
            std::snprintf(cell, sizeof cell, " 0x%04X,", values[i]);
            out += cell;
        }
        out += "\n";
    }
}

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

unsigned u16At(const std::vector<uint8_t> &table, size_t at) {
    return static_cast<unsigned>(table[at] << 8 | table[at + 1]);
}

unsigned u32At(const std::vector<uint8_t> &table, size_t at) {
    return u16At(table, at) << 16 | u16At(table, at + 2);
}

// The header fields and fallback counts of `table` by which the converter
// recognises it, then the arrays.
std::string emitIndex(const Index &index, const std::vector<uint8_t> &table) {
    std::string out =
        "// CP932_index.cpp - the direct index of convert_tbl (qz_cc_index.h says\n"
        "// what it holds and how the converter recognises the table).\n"
        "//\n"
        "// Generated by tools/cp932_gen together with CP932.cpp, from\n"
        "// tools/data/CP932.TXT and tools/data/CP932-fub.txt. Do not edit; regenerate\n"
        "// with the build target `cp932_table` (a test checks that this file is\n"
        "// reproduced exactly, another that it agrees with the table key by key).\n"
        "// clang-format off\n"
        "#include \"CP932.h\"\n"
        "#include \"CP932_index.h\"\n"
        "\n"
        "namespace {\n"
        "\n"
        "// Rows are labelled with their first lead byte and trail byte.\n"
        "const uint16_t l2u[" +
        std::to_string(index.l2u.size()) + "] = {\n";
    emitRows(out, index.l2u.data(), index.l2u.size(), [](size_t i) {
        return hex(static_cast<unsigned>(kLeadFirst + i / kTrails), 2) + " " +
               hex(static_cast<unsigned>(kTrailFirst + i % kTrails), 2);
    });
    out += "};\n\n";
    out += "// What each byte is on its own (0xFFFF: a lead byte).\n";
    out += "const uint16_t l2uByte[256] = {\n";
    emitRows(out, index.l2uByte.data(), index.l2uByte.size(),
             [](size_t i) { return hex(static_cast<unsigned>(i), 2); });
    out += "};\n\n";
    // Pages in the order of their high bytes; page 0 is the empty one.
    std::vector<unsigned> pageOf(256, 0);
    std::vector<unsigned> highs;
    for (unsigned high = 0; high < 256; high++) {
        for (unsigned low = 0; low < kPage; low++) {
            if (index.u2l[high * kPage + low] != 0) {
                highs.push_back(high);
                pageOf[high] = static_cast<unsigned>(highs.size());
                break;
            }
        }
    }
    out += "// The page of each high byte 0x00-0xFF (0 = no mapping).\n";
    out += "const uint8_t u2lPage[256] = {\n";
    for (unsigned row = 0; row < 256; row += 16) {
        out += "    /* " + hex(row, 2) + " */";
        for (unsigned high = row; high < row + 16; high++)
            out += " " + std::to_string(pageOf[high]) + ",";
        out += "\n";
    }
    out += "};\n\n";
    out += "// Rows are labelled with their first code unit.\n";
    out += "const uint16_t u2l[" + std::to_string(highs.size() + 1) + "][256] = {\n";
    std::vector<uint16_t> empty(kPage, 0);
    out += "    {  // page 0: no mapping\n";
    emitRows(out, empty.data(), kPage, [](size_t i) { return "  " + hex(unsigned(i), 2); });
    out += "    },\n";
    for (size_t n = 0; n < highs.size(); n++) {
        unsigned high = highs[n];
        out += "    {  // page " + std::to_string(n + 1) + ": U+" + hex(high, 2) + "00-U+" +
               hex(high, 2) + "FF\n";
        emitRows(out, &index.u2l[high * kPage], kPage,
                 [high](size_t i) { return hex(high * kPage + unsigned(i), 4); });
        out += "    },\n";
    }
    out += "};\n\n}  // namespace\n\n";
    // The table's header: type code and the six section positions, then the
    // record counts of the fub and fbu sections.
    unsigned fubPos = u32At(table, 18), fbuPos = u32At(table, 22);
    out += "extern \"C\" const qz_cc_index qz_cc_cp932_index = {\n";
    out += "    " + std::to_string(u16At(table, 0)) + ",\n";
    out += "    ";
    for (size_t at = 2; at < 26; at += 4)
        out += "0x" + hex(u32At(table, at), 8) + (at < 22 ? ", " : ",\n");
    out += "    " + std::to_string(u16At(table, fubPos - 1)) + ", " +
           std::to_string(u16At(table, fbuPos - 1)) + ",\n";
    out += "    convert_tbl, " + std::to_string(table.size()) + ",\n";
    out += "    l2uByte,\n    l2u,\n    u2lPage,\n    u2l,\n};\n// clang-format on\n";
    return out;
}

bool generate(const char *mappingPath, const char *fubPath, std::string &source,
              std::string &indexSource) {
    std::map<unsigned, unsigned> toUnicode;
    if (!collectCodes(mappingPath, toUnicode)) return false;
    std::vector<Pair> roundTrip, fbu, fub;
    splitCodes(toUnicode, roundTrip, fbu);
    std::vector<std::pair<unsigned, unsigned>> fubPairs;
    if (!readPairs(fubPath, fubPairs)) return false;
    for (const auto &f : fubPairs)
        fub.push_back(Pair{static_cast<uint16_t>(f.second), static_cast<uint16_t>(f.first)});
    std::vector<uint8_t> table = tablebuilder::buildMultiByte(kTypeCp932, roundTrip, fbu, fub);
    if (table.empty()) {
        std::fprintf(stderr, "Error: the mapping cannot be laid out as a table\n");
        return false;
    }
    std::string banner =
        "CP932.cpp - the CP932 conversion table (type 22) for qz_code_convert.\n"
        "\n"
        "Generated by tools/cp932_gen from tools/data/CP932.TXT and\n"
        "tools/data/CP932-fub.txt. Do not edit; regenerate with the build target\n"
        "`cp932_table` (a test checks that this file is reproduced exactly).\n"
        "\n"
        "Round-trip pairs: " +
        std::to_string(roundTrip.size()) + ", fbu pairs: " + std::to_string(fbu.size()) +
        ", fub pairs: " + std::to_string(fub.size()) + ".";
    source = tablebuilder::emitCppSource(table, "convert_tbl", banner, "CP932.h");
    Index index;
    if (!buildIndex(roundTrip, fbu, fub, index)) return false;
    indexSource = emitIndex(index, table);
    return true;
}

bool sameAsFile(const std::string &text, const char *path) {
    FILE *f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    std::string have;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        have.append(buf, n);
    std::fclose(f);
    return have == text;
}

bool writeFile(const std::string &text, const char *path) {
    FILE *f = std::fopen(path, "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv) {
    bool check = argc == 6 && std::strcmp(argv[1], "--check") == 0;
    if (!check && argc != 5) {
        std::fprintf(stderr, "Error: usage: cp932_gen [--check] MAPPING FUB FILE INDEX\n");
        return 2;
    }
    char **args = argv + (check ? 2 : 1);
    std::string source, indexSource;
    if (!generate(args[0], args[1], source, indexSource)) return 2;
    const std::string *texts[2] = {&source, &indexSource};
    if (check) {
        int status = 0;
        for (int i = 0; i < 2; i++) {
            if (sameAsFile(*texts[i], args[2 + i])) continue;
            std::fprintf(stderr, "Error: %s: differs from the generated source\n", args[2 + i]);
            status = 1;
        }
        return status;
    }
    for (int i = 0; i < 2; i++) {
        if (!writeFile(*texts[i], args[2 + i])) {
            std::fprintf(stderr, "Error: %s: cannot write\n", args[2 + i]);
            return 2;
        }
    }
    return 0;
}
