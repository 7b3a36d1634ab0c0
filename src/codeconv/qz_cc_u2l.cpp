// qz_cc_u2l.cpp - UTF-16BE or UTF-8 text to local text: the decoders, the
// per-character rules by table type, the double-byte, four-byte and
// single-byte lookups, and the writing rule that keeps one byte free; for a
// table with a direct index, the same conversion read from the index.
#include <string.h>

#include "qz_cc_internal.h"
#include "qz_cc_walk.h"

namespace {

constexpr uint16_t kEuro = 0x20AC;       // single byte 0x80 of types 11, 12
constexpr uint16_t kKanaFirst = 0xFF61;  // half-width katakana of types 21, 22
constexpr uint16_t kKanaLast = 0xFF9F;
constexpr uint8_t kKanaShift = 0x40;     // U+FF61 -> 0xA1
constexpr uint16_t kYen = 0x00A5;        // 0x5C of types 21, 23
constexpr uint16_t kOverline = 0x203E;   // 0x7E of types 21, 23
constexpr uint16_t kBackslash = 0x005C;  // a double-byte code in types 21, 23
constexpr uint16_t kAsciiLast = 0x007F;
constexpr uint16_t kFirstNonAscii = 0x0080;  // a four-byte code in type 13
// Type 13 sends these units to the double-byte side, everything else to
// the four-byte runs first.
constexpr uint16_t kIdeographFirst = 0x4E00;
constexpr uint16_t kIdeographLast = 0x9FA5;
constexpr uint16_t kSurrogateFirst = 0xD800;
constexpr uint16_t kPrivateLast = 0xE76B;
// The first four-byte sequence, origin of the linear numbering.
constexpr uint8_t kOrigin4b[4] = {0x81, 0x30, 0x81, 0x30};
constexpr int32_t kRadix4b[4] = {12600, 1260, 10, 1};

// UTF-8 lead bytes.
constexpr uint8_t kCont = 0x80;  // continuation bytes 0x80-0xBF
constexpr uint8_t kContLast = 0xBF;
constexpr uint8_t kLead2 = 0xC0;  // two-byte leads 0xC0-0xDF
constexpr uint8_t kLead3 = 0xE0;  // three-byte leads 0xE0-0xEF
constexpr uint8_t kLead4 = 0xF0;  // 0xF0 up: not decoded

inline bool isCont(uint8_t b) {
    return b >= kCont && b <= kContLast;
}

// Decodes one UTF-8 character of at most three bytes into `unit`. Returns
// the bytes consumed; a malformed group sets `malformed` and never swallows
// a zero byte, so the end of the text is always seen. Overlong forms and
// encoded surrogates pass.
inline uint32_t decodeUtf8(const uint8_t *p, uint8_t *unit, bool &malformed) {
    uint8_t b0 = p[0];
    if (b0 < kCont) {
        unit[0] = 0;
        unit[1] = b0;
        return 1;
    }
    if (b0 < kLead2 || b0 >= kLead4) {
        malformed = true;
        return 1;
    }
    uint8_t b1 = p[1];
    if (b1 == 0) {
        malformed = true;
        return 1;
    }
    if (b0 < kLead3) {
        if (!isCont(b1)) {
            malformed = true;
            return 2;
        }
        unsigned u = (b0 & 0x1Fu) << 6 | (b1 & 0x3Fu);
        unit[0] = static_cast<uint8_t>(u >> 8);
        unit[1] = static_cast<uint8_t>(u);
        return 2;
    }
    // The third byte is looked at only behind a non-zero second byte.
    uint8_t b2 = p[2];
    if (b2 == 0) {
        malformed = true;
        return 2;
    }
    if (!isCont(b1) || !isCont(b2)) {
        malformed = true;
        return 3;
    }
    unsigned u = (b0 & 0x0Fu) << 12 | (b1 & 0x3Fu) << 6 | (b2 & 0x3Fu);
    unit[0] = static_cast<uint8_t>(u >> 8);
    unit[1] = static_cast<uint8_t>(u);
    return 3;
}

// The block of a unit's high byte, as the per-call cache keeps it.
inline uint32_t findHighBlock(uint8_t high, const qz_cc_context *ctx) {
    return qz_cc_find_block(ctx, ctx->u2l_index_pos - 1, QZ_CC_UNIT_BITMAP, high,
                            ctx->u2l_data_pos - 1);
}

// The low byte's step of the double-byte lookup, then the fub section.
inline int lookupInBlock(const uint8_t *unit, uint8_t *local, const qz_cc_context *ctx,
                         uint32_t high, qz_cc_range_memo &memo, const qz_cc_context *fallback) {
    if (qz_cc_lookup_block(ctx, high, unit[1], 0, QZ_CC_UNIT_BITMAP, &memo, local)) return 1;
    return qz_cc_lookup_fub(unit, local, fallback);
}

// What one call keeps between characters: its copy of the header fields
// (the output is written through a byte pointer that could alias the
// caller's context; the copy spares a reread after every store), the
// caller's context for the out-of-line searches, the block of each high
// byte found so far and the last range record.
struct CallState {
    qz_cc_context header;
    const qz_cc_context *table;
    uint32_t highs[256];
    qz_cc_range_memo memo;
};

// qz_cc_lookup_u2l with the first level answered from the per-call cache.
inline int lookupCached(const uint8_t *unit, uint8_t *local, CallState &call) {
    uint32_t &high = call.highs[unit[0]];
    if (high == QZ_CC_BLOCK_UNKNOWN) high = findHighBlock(unit[0], &call.header);
    return lookupInBlock(unit, local, &call.header, high, call.memo, call.table);
}

// Double-byte lookup whose result is written as two bytes, also with a
// zero high byte (type 13).
inline uint32_t lookupTwoBytes(const uint8_t *unit, uint8_t *stage, CallState &call) {
    return lookupCached(unit, stage, call) ? 2 : 0;
}

// Converts one unit into 1, 2 or 4 staging bytes; 0 means substitute.
// The first rule that applies decides.
inline uint32_t convertUnit(const uint8_t *unit, uint8_t *stage, CallState &call) {
    const uint16_t type = call.header.type_code;
    const uint16_t u = static_cast<uint16_t>(unit[0] << 8 | unit[1]);
    if ((type == QZ_CC_TYPE_EURO_A || type == QZ_CC_TYPE_EURO_B) && u == kEuro) {
        stage[0] = 0x80;
        return 1;
    }
    if ((type == QZ_CC_TYPE_KANA_YEN || type == QZ_CC_TYPE_KANA) && u >= kKanaFirst &&
        u <= kKanaLast) {
        stage[0] = static_cast<uint8_t>(unit[1] + kKanaShift);
        return 1;
    }
    if (type == QZ_CC_TYPE_KANA_YEN || type == QZ_CC_TYPE_YEN) {
        if (u == kYen) {
            stage[0] = 0x5C;
            return 1;
        }
        if (u == kOverline) {
            stage[0] = 0x7E;
            return 1;
        }
        if (u == kBackslash) {
            // The backslash lives among the double-byte symbols.
            stage[0] = type == QZ_CC_TYPE_KANA_YEN ? 0x81 : 0xA1;
            stage[1] = type == QZ_CC_TYPE_KANA_YEN ? 0x5F : 0xC0;
            return 2;
        }
    }
    if (u >= 0x0001 && u <= kAsciiLast) {
        uint8_t u1[2] = {unit[0], unit[1]};
        return qz_cc_lookup_ascii(stage, u1, type, QZ_CC_TO_LOCAL) ? 1 : 0;
    }
    if (type >= QZ_CC_TYPE_SINGLE) {
        uint8_t byte;
        if (!qz_cc_lookup_8859_u2l(unit, &byte, call.table)) return 0;
        if (byte < 0x80) {
            stage[0] = byte;
            return 1;
        }
        stage[0] = QZ_CC_ESCAPE;
        stage[1] = byte;
        return 2;
    }
    if (u == kFirstNonAscii) {
        if (type != QZ_CC_TYPE_4B) return 0;
        for (int i = 0; i < 4; i++)
            stage[i] = kOrigin4b[i];
        return 4;
    }
    if (type != QZ_CC_TYPE_4B) {
        if (!lookupCached(unit, stage, call)) return 0;
        if (stage[0] != 0) return 2;
        stage[0] = stage[1];
        return 1;
    }
    if ((u >= kIdeographFirst && u <= kIdeographLast) ||
        (u >= kSurrogateFirst && u <= kPrivateLast))
        return lookupTwoBytes(unit, stage, call);
    if (qz_cc_lookup_4b_u2l(unit, stage, call.table)) return 4;
    return lookupTwoBytes(unit, stage, call);
}

// The conversion through the table, for any table.
template <bool kUtf8>
int32_t convertWalking(uint8_t *out, const uint8_t *in, uint32_t size, const qz_cc_context *ctx) {
    CallState call;
    call.header = *ctx;
    call.table = ctx;
    for (uint32_t &high : call.highs)
        high = QZ_CC_BLOCK_UNKNOWN;
    call.memo = qz_cc_range_memo{0, nullptr};
    // U+0001-U+007F become their own byte with every type but 21 and 23
    // (rule 5 comes before every table rule that could claim them).
    const bool plainAscii =
        ctx->type_code != QZ_CC_TYPE_KANA_YEN && ctx->type_code != QZ_CC_TYPE_YEN;
    const uint8_t *p = in;
    uint32_t w = 0;
    int32_t result = 0;
    do {
        if (plainAscii) {
            // A run of ASCII, one byte each; the terminator stays free.
            if (kUtf8 ? p[0] < kCont : p[0] == 0 && p[1] != 0 && p[1] < kCont) {
                do {
                    if (size - w < 2) return QZ_CC_OUTPUT_FULL;
                    out[w++] = kUtf8 ? p[0] : p[1];
                    p += kUtf8 ? 1 : 2;
                } while (kUtf8 ? p[0] != 0 && p[0] < kCont
                               : p[0] == 0 && p[1] != 0 && p[1] < kCont);
                continue;  // to the end test below
            }
        }
        uint8_t unit[2] = {0, 0};
        bool malformed = false;
        if (kUtf8) {
            p += decodeUtf8(p, unit, malformed);
        } else {
            // Each unit stands alone: surrogates are not paired.
            unit[0] = p[0];
            unit[1] = p[1];
            p += 2;
        }
        uint8_t stage[4];
        uint32_t n = malformed ? 0 : convertUnit(unit, stage, call);
        if (n == 0) {
            stage[0] = QZ_CC_SUBST;
            n = 1;
            result = QZ_CC_SUBSTITUTED;
        }
        // One byte always stays free for the terminator; w never exceeds size.
        if (n + 1 > size - w) return QZ_CC_OUTPUT_FULL;
        for (uint32_t i = 0; i < n; i++)
            out[w + i] = stage[i];
        w += n;
    } while (kUtf8 ? p[0] != 0 : (p[0] | p[1]) != 0);
    return result < 0 ? result : static_cast<int32_t>(w);
}

// Stores the two bytes of an index entry (writing order: the first byte in
// the low 8 bits) with one 16-bit store.
inline void storeBytePair(uint8_t *o, uint32_t bytes) {
    uint16_t pair = static_cast<uint16_t>(bytes);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    pair = static_cast<uint16_t>(pair << 8 | pair >> 8);
#endif
    memcpy(o, &pair, sizeof pair);
}

// One character of Unicode text read from the direct index: the local
// bytes in writing order (qz_cc_index.h), or 0 for no conversion. Moves `p`
// past the character as the decoders do.
template <bool kUtf8>
inline uint32_t indexedChar(const uint8_t *&p, const qz_cc_index *index) {
    uint32_t high, low;
    if (!kUtf8) {
        // Each unit stands alone: surrogates are not paired.
        high = p[0];
        low = p[1];
        p += 2;
    } else if (p[0] < kCont) {
        high = 0;
        low = p[0];
        p += 1;
    } else {
        uint8_t unit[2];
        bool malformed = false;
        p += decodeUtf8(p, unit, malformed);
        if (malformed) return 0;
        high = unit[0];
        low = unit[1];
    }
    return index->u2l[index->u2l_page[high]][low];
}

// True when the text goes on at `p`.
template <bool kUtf8>
inline bool goesOn(const uint8_t *p) {
    return kUtf8 ? p[0] != 0 : (p[0] | p[1]) != 0;
}

// The conversion read from the direct index of a recognised table, which
// answers the rules of its type and the lookups alike, so a character costs
// one page and one entry, and nothing depends on the kind of character (it
// changes every few characters in Japanese text, and branches on it would
// mispredict). The room is checked once for a stretch of characters that
// fits even if each of them takes two bytes, which the exact rule (room for
// the character and one free byte) then allows for every one of them; where
// not even one surely fits, the exact rule decides that one character.
template <bool kUtf8>
int32_t convertIndexed(uint8_t *out, const uint8_t *p, uint32_t size, const qz_cc_index *shared) {
    // A private copy of the array pointers: the output is written through a
    // byte pointer that could alias the index, and the copy keeps the
    // compiler from reading them again after every store.
    const qz_cc_index copy = *shared;
    const qz_cc_index *index = &copy;
    uint8_t *o = out;
    uint8_t *const end = out + size;
    uint32_t missed = 0;  // non-zero once a character had no conversion
    do {
        size_t room = static_cast<size_t>(end - o);  // at least 1: a byte stays free
        size_t sure = (room - 1) / 2;                // characters of 2 bytes that fit
        if (sure == 0) {
            // Room for one byte at most: the exact rule decides this character.
            const uint8_t *next = p;
            uint32_t bytes = indexedChar<kUtf8>(next, index);
            if (room < 2 || bytes > 0xFF) return QZ_CC_OUTPUT_FULL;
            sure = 1;  // a single byte or the substitution fits
        }
        do {
            uint32_t bytes = indexedChar<kUtf8>(p, index);
            missed |= bytes == 0;
            bytes = bytes == 0 ? QZ_CC_SUBST : bytes;
            // Both bytes are stored: lead and trail byte, or the single byte
            // and the zero that the cleared buffer already holds after it
            // (the room counted above covers the second store). The next
            // character is read only after the store, as the walk reads
            // them (input and output may overlap).
            storeBytePair(o, bytes);
            o += bytes > 0xFF ? 2 : 1;
        } while (goesOn<kUtf8>(p) && --sure != 0);
    } while (goesOn<kUtf8>(p));
    return missed ? QZ_CC_SUBSTITUTED : static_cast<int32_t>(o - out);
}

}  // namespace

extern "C" int qz_cc_lookup_u2l(const uint8_t *unit, uint8_t *local, const qz_cc_context *ctx) {
    qz_cc_range_memo memo = {0, nullptr};
    return lookupInBlock(unit, local, ctx, findHighBlock(unit[0], ctx), memo, ctx);
}

extern "C" int qz_cc_lookup_4b_u2l(const uint8_t *unit, uint8_t *seq, const qz_cc_context *ctx) {
    uint8_t key[8] = {0, 0, 0, 0, unit[0], unit[1], 0, 0};
    uint16_t count = qz_cc_get16(ctx, ctx->data_4b_pos - 1);
    const uint8_t *run = qz_cc_bsearch(key, ctx->table + ctx->data_4b_pos + 1, count,
                                       QZ_CC_RUN4B_RECORD, qz_cc_compare_data_4b_u2l);
    if (run == nullptr) return 0;
    int32_t offset = (static_cast<int32_t>(unit[0]) - run[4]) * 256 + (unit[1] - run[5]);
    int32_t linear = qz_cc_sub4b(run, kOrigin4b) + offset;
    for (int i = 0; i < 4; i++) {
        int32_t q = linear / kRadix4b[i];
        seq[i] = static_cast<uint8_t>(kOrigin4b[i] + q);
        linear -= q * kRadix4b[i];
    }
    return 1;
}

extern "C" int qz_cc_lookup_8859_u2l(const uint8_t *unit, uint8_t *byte, const qz_cc_context *ctx) {
    uint8_t key[3] = {unit[0], unit[1], 0};  // the third byte is the run-number slot
    uint8_t count = qz_cc_get8(ctx, ctx->index_u_8859_pos - 1u);
    const uint8_t *entry = qz_cc_bsearch(key, ctx->table + ctx->index_u_8859_pos, count,
                                         QZ_CC_INDEX8859_RECORD, qz_cc_compare_index_u_8859);
    uint32_t runs = ctx->data_8859_pos;  // (pos - 1) + 1: records follow the count
    if (entry != nullptr) {
        *byte = qz_cc_get8(ctx, runs + QZ_CC_RANGE_RECORD * (entry[2] - 1u));
        return 1;
    }
    if (key[2] == 0) return 0;  // no index record below the unit
    uint32_t run = runs + QZ_CC_RANGE_RECORD * (key[2] - 1u);
    uint32_t first = qz_cc_get16(ctx, run + 1);
    uint32_t length = qz_cc_get8(ctx, run + 3);
    uint32_t u = static_cast<uint32_t>(unit[0]) << 8 | unit[1];
    if (length == 0 || u < first || u - first > length - 1) return 0;
    *byte = static_cast<uint8_t>(qz_cc_get8(ctx, run) + (u - first));
    return 1;
}

extern "C" int32_t qz_cc_convert_u2l(uint8_t *output, const uint8_t *input, uint32_t output_size,
                                     const qz_cc_context *ctx, uint16_t unicode_form) {
    bool utf8 = unicode_form == QZ_CC_UTF8;
    if (utf8 ? input[0] == 0 : input[0] == 0 && input[1] == 0) return 0;
    if (ctx->index != nullptr)
        return utf8 ? convertIndexed<true>(output, input, output_size, ctx->index)
                    : convertIndexed<false>(output, input, output_size, ctx->index);
    return utf8 ? convertWalking<true>(output, input, output_size, ctx)
                : convertWalking<false>(output, input, output_size, ctx);
}
