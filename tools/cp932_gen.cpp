// cp932_gen - generates src/codeconv/CP932.cpp, the CP932 conversion table
// `convert_tbl` (type 22), from the CP932 mapping and the list of one-way
// conversions from Unicode.
//
//   cp932_gen MAPPING FUB OUTPUT          writes OUTPUT
//   cp932_gen --check MAPPING FUB FILE    exit 0 when FILE is exactly what
//                                         would be written, 1 otherwise
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

bool generate(const char *mappingPath, const char *fubPath, std::string &source) {
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
    bool check = argc == 5 && std::strcmp(argv[1], "--check") == 0;
    if (!check && argc != 4) {
        std::fprintf(stderr, "Error: usage: cp932_gen [--check] MAPPING FUB FILE\n");
        return 2;
    }
    char **args = argv + (check ? 2 : 1);
    std::string source;
    if (!generate(args[0], args[1], source)) return 2;
    if (check) {
        if (sameAsFile(source, args[2])) return 0;
        std::fprintf(stderr, "Error: %s: differs from the generated table\n", args[2]);
        return 1;
    }
    if (!writeFile(source, args[2])) {
        std::fprintf(stderr, "Error: %s: cannot write\n", args[2]);
        return 2;
    }
    return 0;
}
