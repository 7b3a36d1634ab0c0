// fuzz_convert.cpp - qz_code_convert in both directions and every Unicode
// form, on convert_tbl, without a table, and on made-up tables of every type,
// with arbitrary texts, output sizes and rejected arguments.
//
// Input layout:
//   byte 0     table: 0 convert_tbl, 1 none, 2 and up a made-up table
//   byte 1     unicode_form (0-3; 3 is refused)
//   byte 2     direction (0-2; 2 is refused)
//   byte 3     bit 0: null output, bit 1: null input, bits 2-3: block choice
//   bytes 4-5  output size, big-endian
//   made-up tables only: a count byte and the mappings (see buildTable)
//   the rest   the text; a terminator is appended
//
// Promises checked on every call: the result is a byte count or -1, -2, -3;
// -3 exactly for rejected arguments; the output is always terminated and
// nothing is written past the count; a smaller buffer gives a prefix of what
// a large one gets; UTF-16BE and UTF-8 agree with each other; convert_tbl,
// which the converter reads through its direct index, converts exactly as
// the same table laid out further into its image, which it walks.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CP932.h"
#include "qz_cc_api.h"
#ifdef EMOJITAG_HAVE_TABLE_BUILDER
#include "table_builder.h"
#endif

namespace {

constexpr size_t PREFIX_SIZE = 6;
constexpr uint8_t TABLE_CP932 = 0;
constexpr uint8_t TABLE_NONE = 1;

struct Call {
    const uint8_t *table;
    uint16_t form;
    uint16_t direction;
    bool nullOutput;
    bool nullInput;
    uint32_t outSize;
};

void require(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// Terminator length: two zero bytes after UTF-16BE output, one otherwise.
size_t terminatorOf(uint16_t form, uint16_t direction) {
    return form == QZ_CC_UTF16BE && direction == QZ_CC_TO_UNICODE ? 2 : 1;
}

bool argumentsValid(const Call &c) {
    return !c.nullOutput && !c.nullInput && c.outSize != 0 &&
           (c.table != nullptr || c.form == QZ_CC_BYTES) && c.form <= QZ_CC_BYTES &&
           c.direction <= QZ_CC_TO_LOCAL;
}

// The input ends at its first zero byte where a character may begin, or at
// the first zero unit for UTF-16BE text going to local text.
bool inputEmpty(const std::vector<uint8_t> &text, uint16_t form, uint16_t direction) {
    if (form == QZ_CC_UTF16BE && direction == QZ_CC_TO_LOCAL) return text[0] == 0 && text[1] == 0;
    return text[0] == 0;
}

struct Result {
    int32_t code;
    std::vector<uint8_t> out;
};

// One call with an output buffer of exactly outSize bytes, so any write past
// it is caught by the address sanitizer; the buffer starts dirty.
Result convert(const Call &c, const std::vector<uint8_t> &text, uint32_t outSize) {
    Result r;
    uint8_t *out = nullptr;
    if (!c.nullOutput) {
        out = new uint8_t[outSize ? outSize : 1];
        std::memset(out, 0xA5, outSize ? outSize : 1);
    }
    uint8_t *in = nullptr;
    if (!c.nullInput) {
        in = new uint8_t[text.size()];
        std::memcpy(in, text.data(), text.size());
    }
    r.code = qz_code_convert(out, in, outSize, c.table, c.form, c.direction);
    if (out != nullptr) r.out.assign(out, out + outSize);
    delete[] out;
    delete[] in;
    return r;
}

bool allZero(const std::vector<uint8_t> &b, size_t from) {
    for (size_t i = from; i < b.size(); i++)
        if (b[i] != 0) return false;
    return true;
}

void checkOne(const Call &c, const std::vector<uint8_t> &text, const Result &r, uint32_t outSize) {
    int32_t code = r.code;
    require(code >= QZ_CC_BAD_ARGS, "result is a count, -1, -2 or -3");
    bool valid = argumentsValid(c);
    require((code == QZ_CC_BAD_ARGS) == !valid, "-3 exactly for rejected arguments");
    if (!valid) {
        require(allZero(r.out, 0), "a rejected call leaves its output cleared");
        return;
    }
    size_t term = terminatorOf(c.form, c.direction);
    if (code >= 0) {
        // An empty text gives 0 whatever the size; any other count leaves
        // room for the terminator.
        require(code == 0 || static_cast<size_t>(code) + term <= outSize,
                "count and terminator fit");
        require(allZero(r.out, static_cast<size_t>(code)), "nothing past the count");
        require((code == 0) == inputEmpty(text, c.form, c.direction),
                "a count of 0 only for an empty text");
    } else {
        size_t tail = outSize < term ? 0 : outSize - term;
        require(allZero(r.out, tail), "a stopped conversion is terminated");
    }
    if (c.form == QZ_CC_BYTES && c.direction == QZ_CC_TO_LOCAL)
        require(code != QZ_CC_SUBSTITUTED, "bytes to local text never substitute");
}

// A small buffer holds the beginning of what a large one holds, cut at a
// character, with the same result unless the small one ran full.
void checkPrefix(const Result &small, const Result &large) {
    require(large.code != QZ_CC_OUTPUT_FULL, "the large buffer has room for everything");
    size_t k = 0;
    while (k < small.out.size() && small.out[k] == large.out[k])
        k++;
    require(allZero(small.out, k), "a smaller buffer holds a prefix of the large one's text");
    if (small.code != QZ_CC_OUTPUT_FULL)
        require(small.code == large.code, "a buffer that did not run full gives the same result");
}

void appendUtf8(std::vector<uint8_t> &s, unsigned u) {
    if (u < 0x80) {
        s.push_back(static_cast<uint8_t>(u));
    } else if (u < 0x800) {
        s.push_back(static_cast<uint8_t>(0xC0 | (u >> 6)));
        s.push_back(static_cast<uint8_t>(0x80 | (u & 0x3F)));
    } else {
        s.push_back(static_cast<uint8_t>(0xE0 | (u >> 12)));
        s.push_back(static_cast<uint8_t>(0x80 | ((u >> 6) & 0x3F)));
        s.push_back(static_cast<uint8_t>(0x80 | (u & 0x3F)));
    }
}

// UTF-8 of a UTF-16BE text up to its zero unit, each unit on its own (the
// three-byte form for surrogates, as the converter reads and writes them).
std::vector<uint8_t> utf16ToUtf8(const uint8_t *p, size_t n) {
    std::vector<uint8_t> s;
    for (size_t i = 0; i + 1 < n; i += 2) {
        unsigned u = static_cast<unsigned>(p[i]) << 8 | p[i + 1];
        if (u == 0) break;
        appendUtf8(s, u);
    }
    s.push_back(0);
    return s;
}

// The two Unicode forms describe the same characters: to Unicode, the UTF-8
// output is the UTF-16BE output re-encoded; to local text, UTF-8 input made
// from UTF-16BE input gives the same local bytes.
void checkForms(const Call &c, const std::vector<uint8_t> &text) {
    if (c.form > QZ_CC_UTF8 || !argumentsValid(c)) return;
    Call c16 = c, c8 = c;
    c16.form = QZ_CC_UTF16BE;
    c8.form = QZ_CC_UTF8;
    uint32_t big = static_cast<uint32_t>(4 * text.size() + 8);
    if (c.direction == QZ_CC_TO_UNICODE) {
        Result r16 = convert(c16, text, big);
        Result r8 = convert(c8, text, big);
        require((r16.code == QZ_CC_SUBSTITUTED) == (r8.code == QZ_CC_SUBSTITUTED),
                "both forms substitute alike");
        std::vector<uint8_t> want = utf16ToUtf8(r16.out.data(), r16.out.size());
        require(std::memcmp(want.data(), r8.out.data(), want.size()) == 0,
                "UTF-8 output is the UTF-16BE output re-encoded");
    } else {
        std::vector<uint8_t> u16 = text;
        if (u16.size() % 2) u16.push_back(0);
        u16.push_back(0);
        u16.push_back(0);  // a zero unit after whole units
        std::vector<uint8_t> u8 = utf16ToUtf8(u16.data(), u16.size());
        Result r16 = convert(c16, u16, big);
        Result r8 = convert(c8, u8, big);
        require(r16.code == r8.code, "UTF-16BE and UTF-8 input give the same result");
        require(r16.out == r8.out, "UTF-16BE and UTF-8 input give the same local text");
    }
}

// convert_tbl with filler bytes after its 26-byte header and every section
// position moved with them: the same mapping in a layout that no direct
// index belongs to.
const uint8_t *walkedCp932() {
    constexpr size_t HEADER = 26, SHIFT = 8;
    static std::vector<uint8_t> table;
    if (table.empty()) {
        table.assign(convert_tbl, convert_tbl + CP932_TABLE_SIZE);
        table.insert(table.begin() + HEADER, SHIFT, 0xEE);
        for (size_t at = 2; at < HEADER; at += 4) {
            uint32_t pos = (uint32_t{table[at]} << 24 | uint32_t{table[at + 1]} << 16 |
                            uint32_t{table[at + 2]} << 8 | table[at + 3]) +
                           SHIFT;
            for (size_t i = 0; i < 4; i++)
                table[at + i] = static_cast<uint8_t>(pos >> (24 - 8 * i));
        }
    }
    return table.data();
}

// The index and the walk give the same result and the same bytes.
void checkWalk(const Call &c, const std::vector<uint8_t> &text, const Result &indexed) {
    Call walked = c;
    walked.table = walkedCp932();
    Result r = convert(walked, text, c.outSize);
    require(r.code == indexed.code && r.out == indexed.out,
            "convert_tbl converts as the same table in another layout");
}

#ifdef EMOJITAG_HAVE_TABLE_BUILDER
using tablebuilder::BlockChoice;
using tablebuilder::Pair;
using tablebuilder::Run4b;
using tablebuilder::Run8859;

const uint16_t MADE_UP_TYPES[] = {11, 12, 13, 21, 22, 23, 30, 50, 77};
constexpr size_t MADE_UP_COUNT = sizeof MADE_UP_TYPES / sizeof MADE_UP_TYPES[0];
constexpr size_t PAIR_RECORD = 5;  // kind, local (2), Unicode (2)
constexpr unsigned MAX_PAIRS = 64;
constexpr unsigned MAX_RUNS = 16;

struct Reader {
    const uint8_t *p;
    size_t n;
    uint8_t byte() {
        if (n == 0) return 0;
        n--;
        return *p++;
    }
    uint16_t word() { return static_cast<uint16_t>(byte() << 8 | byte()); }
};

bool contains(const std::vector<Pair> &v, uint16_t key, bool byLocal) {
    for (const Pair &q : v)
        if ((byLocal ? q.local : q.unicode) == key) return true;
    return false;
}

// A well-formed multi-byte mapping: local codes are single bytes or a lead
// byte 0x80-0xFF with a trail byte 0x40-0xFF; no zero values; every key once
// per section.
void readPairs(Reader &rd, std::vector<Pair> &rt, std::vector<Pair> &fbu, std::vector<Pair> &fub) {
    unsigned count = rd.byte() % MAX_PAIRS;
    for (unsigned i = 0; i < count && rd.n >= PAIR_RECORD; i++) {
        uint8_t kind = rd.byte() % 3;
        uint16_t local = rd.word();
        uint16_t unicode = rd.word();
        if (local >= 0x100) {
            local |= 0x8000;
            if ((local & 0xFF) < 0x40) local |= 0x40;
        }
        if (local == 0 || unicode == 0) continue;
        if (kind == 0 && local >= 0x100 && !contains(rt, local, true) &&
            !contains(rt, unicode, false))
            rt.push_back({local, unicode});
        else if (kind == 1 && local >= 0x100 && !contains(fbu, local, true))
            fbu.push_back({local, unicode});
        else if (kind == 2 && !contains(fub, unicode, false))
            fub.push_back({local, unicode});
        else if (kind == 0 && local < 0x100 && !contains(rt, local, true) &&
                 !contains(rt, unicode, false))
            rt.push_back({local, unicode});
    }
}

// Four-byte runs ascending on both sides without overlap.
std::vector<Run4b> readRuns4b(Reader &rd) {
    std::vector<Run4b> runs;
    unsigned count = rd.byte() % MAX_RUNS;
    uint32_t seq = 0;
    uint32_t uni = 0x0081;
    for (unsigned i = 0; i < count && rd.n >= 3; i++) {
        uint32_t first = seq + rd.byte();
        uint32_t u = uni + rd.byte() * 16u;
        uint32_t len = 1u + rd.byte();
        if (first + len > 126u * 12600u || u + len > 0xFFFFu) break;
        Run4b r;
        r.first[0] = static_cast<uint8_t>(0x81 + first / 12600);
        r.first[1] = static_cast<uint8_t>(0x30 + first / 1260 % 10);
        r.first[2] = static_cast<uint8_t>(0x81 + first / 10 % 126);
        r.first[3] = static_cast<uint8_t>(0x30 + first % 10);
        r.unicode = static_cast<uint16_t>(u);
        r.length = static_cast<uint16_t>(len);
        runs.push_back(r);
        seq = first + len;
        uni = u + len;
    }
    return runs;
}

// Single-byte runs over 0x80-0xFF, ascending and not overlapping.
std::vector<Run8859> readRuns8859(Reader &rd) {
    std::vector<Run8859> runs;
    unsigned count = rd.byte() % MAX_RUNS;
    unsigned pos = 0x80;
    for (unsigned i = 0; i < count && rd.n >= 4 && pos < 0x100; i++) {
        unsigned first = pos + rd.byte() % 8;
        if (first > 0xFF) break;
        unsigned len = 1 + rd.byte() % (0x100 - first);
        uint16_t u = rd.word();
        if (u == 0 || u + len > 0x10000) continue;
        runs.push_back({static_cast<uint8_t>(first), u, static_cast<uint8_t>(len)});
        pos = first + len;
    }
    return runs;
}

std::vector<uint8_t> buildTable(uint16_t type, BlockChoice choice, Reader &rd) {
    if (type >= 50) return tablebuilder::buildSingleByte(type, readRuns8859(rd));
    std::vector<Pair> rt, fbu, fub;
    readPairs(rd, rt, fbu, fub);
    if (type == 13) return tablebuilder::buildType13(rt, readRuns4b(rd), choice);
    return tablebuilder::buildMultiByte(type, rt, fbu, fub, choice);
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < PREFIX_SIZE) return 0;
    Call c;
    uint8_t tableSel = data[0];
    c.form = data[1] % 4;
    c.direction = data[2] % 3;
    c.nullOutput = data[3] & 1;
    c.nullInput = data[3] & 2;
    c.outSize = static_cast<uint32_t>(data[4]) << 8 | data[5];
    const uint8_t *rest = data + PREFIX_SIZE;
    size_t restSize = size - PREFIX_SIZE;

    std::vector<uint8_t> tableBytes;  // a made-up table, sized exactly
    uint8_t *owned = nullptr;
    if (tableSel == TABLE_CP932) {
        c.table = convert_tbl;
    } else if (tableSel == TABLE_NONE) {
        c.table = nullptr;
    } else {
#ifdef EMOJITAG_HAVE_TABLE_BUILDER
        static const BlockChoice choices[] = {BlockChoice::Smaller, BlockChoice::AlwaysBitmap,
                                              BlockChoice::AlwaysRange, BlockChoice::Smaller};
        Reader rd{rest, restSize};
        uint16_t type = MADE_UP_TYPES[(tableSel - 2) % MADE_UP_COUNT];
        tableBytes = buildTable(type, choices[(data[3] >> 2) & 3], rd);
        rest = rd.p;
        restSize = rd.n;
        owned = new uint8_t[tableBytes.size()];
        std::memcpy(owned, tableBytes.data(), tableBytes.size());
        c.table = owned;
#else
        return 0;
#endif
    }

    // The text and enough zero bytes to end it in every form.
    std::vector<uint8_t> text(rest, rest + restSize);
    if (c.form == QZ_CC_UTF16BE && c.direction == QZ_CC_TO_LOCAL) {
        // Whole units, then a zero unit.
        if (text.size() % 2) text.push_back(0);
        text.push_back(0);
    }
    text.push_back(0);

    Result r = convert(c, text, c.outSize);
    checkOne(c, text, r, c.outSize);
    if (tableSel == TABLE_CP932) checkWalk(c, text, r);
    if (argumentsValid(c)) {
        uint32_t room = static_cast<uint32_t>(4 * text.size() + 8);
        uint32_t largeSize = room > c.outSize ? room : c.outSize;
        Result large = convert(c, text, largeSize);
        checkOne(c, text, large, largeSize);
        checkPrefix(r, large);
        checkForms(c, text);
    }
    delete[] owned;
    return 0;
}
