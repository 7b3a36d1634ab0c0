// qz_cc_l2u.cpp - local text to UTF-16BE or UTF-8: the per-character rules
// by table type, the double-byte, four-byte and single-byte lookups, and
// the writing of code units with their terminator reserve; for a table with
// a direct index, the same conversion read from the index.
#include <string.h>

#include "qz_cc_internal.h"
#include "qz_cc_walk.h"

namespace {

// Byte ranges of local text.
constexpr uint8_t kHighByte = 0x80;   // first byte that is not ASCII
constexpr uint8_t kEuroByte = 0x80;   // euro sign of types 11 and 12
constexpr uint8_t kKanaFirst = 0xA1;  // half-width katakana of types 21, 22
constexpr uint8_t kKanaLast = 0xDF;
constexpr uint8_t kKanaShift = 0x40;   // 0xA1 + 0xFF00 - 0x40 = U+FF61
constexpr uint8_t kTrailFirst = 0x40;  // lowest trail byte of a double-byte code
constexpr uint8_t kDigitFirst = 0x30;  // second and fourth byte of a four-byte code
constexpr uint8_t kDigitLast = 0x39;
constexpr uint8_t kSeq3First = 0x81;  // lowest third byte of a four-byte code

inline bool isDigit(uint8_t b) {
    return b >= kDigitFirst && b <= kDigitLast;
}

// Writes one code unit. UTF-16BE keeps two bytes free for its terminator,
// UTF-8 one. Returns false, writing nothing, when the unit does not fit.
template <bool kUtf8>
inline bool writeUnit(uint8_t *out, uint32_t &o, uint32_t size, uint8_t h, uint8_t l) {
    uint32_t room = size - o;  // o never exceeds size
    if (!kUtf8) {
        if (room < 4) return false;
        out[o] = h;
        out[o + 1] = l;
        o += 2;
        return true;
    }
    if (h == 0 && l < 0x80) {
        if (room < 2) return false;
        out[o++] = l;
    } else if (h <= 0x07) {
        if (room < 3) return false;
        out[o++] = static_cast<uint8_t>(0xC0 | h << 2 | l >> 6);
        out[o++] = static_cast<uint8_t>(0x80 | (l & 0x3F));
    } else {
        if (room < 4) return false;
        out[o++] = static_cast<uint8_t>(0xE0 | h >> 4);
        out[o++] = static_cast<uint8_t>(0x80 | (h & 0x0F) << 2 | l >> 6);
        out[o++] = static_cast<uint8_t>(0x80 | (l & 0x3F));
    }
    return true;
}

// The block of a lead byte, as the per-call cache keeps it.
inline uint32_t findLeadBlock(uint8_t lead, const qz_cc_context *ctx) {
    return qz_cc_find_block(ctx, ctx->l2u_index_pos - 1, QZ_CC_LEAD_BITMAP, lead - kHighByte,
                            ctx->l2u_data_pos - 1);
}

// The trail byte's step of the double-byte lookup, then the fbu section.
// `lead` is the lead byte's cache entry; the fbu search gets `fallback`,
// the caller's context.
inline int lookupInBlock(const uint8_t *local, uint8_t *unit, const qz_cc_context *ctx,
                         uint32_t lead, qz_cc_range_memo &memo, const qz_cc_context *fallback) {
    if (qz_cc_lookup_block(ctx, lead, local[1], kTrailFirst, QZ_CC_TRAIL_BITMAP, &memo, unit))
        return 1;
    return qz_cc_lookup_fbu(local, unit, fallback);
}

// The conversion through the table, for any table.
template <bool kUtf8>
int32_t convertWalking(uint8_t *out, const uint8_t *in, uint32_t size, const qz_cc_context *table) {
    // A private copy of the header fields: the output is written through a
    // byte pointer that could alias the caller's context, and the copy keeps
    // the compiler from reading the fields again after every store.
    const qz_cc_context header = *table;
    const qz_cc_context *ctx = &header;
    const uint16_t type = ctx->type_code;
    const bool single = type >= QZ_CC_TYPE_SINGLE;
    const bool euro = type == QZ_CC_TYPE_EURO_A || type == QZ_CC_TYPE_EURO_B;
    const bool kana = type == QZ_CC_TYPE_KANA_YEN || type == QZ_CC_TYPE_KANA;
    const bool four = type == QZ_CC_TYPE_4B;
    const bool plainAscii = type != QZ_CC_TYPE_KANA_YEN && type != QZ_CC_TYPE_YEN;
    // Block of each lead byte 0x80-0xFF, found once per call.
    uint32_t leads[128] = {};
    qz_cc_range_memo memo = {0, nullptr};
    const uint8_t *p = in;
    uint32_t o = 0;
    int32_t result = 0;
    while (*p != 0) {
        if (!kUtf8 && plainAscii && *p < kHighByte) {
            // A run of ASCII: the high byte 0x00 is already in the cleared
            // buffer, so only the low byte is stored.
            do {
                if (size - o < 4) return QZ_CC_OUTPUT_FULL;
                out[o + 1] = *p++;
                o += 2;
            } while (*p != 0 && *p < kHighByte);
            continue;
        }
        uint8_t b = *p;
        uint8_t unit[2];
        int ok;
        if (b < kHighByte) {
            ok = qz_cc_lookup_ascii(&b, unit, type, QZ_CC_TO_UNICODE);
            p += 1;
        } else if (single) {
            // Only the escaped pair 0x81, high byte is a character here.
            uint8_t t = p[1];
            if (b != QZ_CC_ESCAPE) {
                ok = 0;
                p += 1;
            } else if (t == 0) {
                ok = 0;  // the text ends at t
                p += 1;
            } else {
                ok = t >= kHighByte ? qz_cc_lookup_8859_l2u(t, unit, table) : 0;
                p += 2;
            }
        } else if (b == kEuroByte) {
            ok = euro;
            unit[0] = 0x20;
            unit[1] = 0xAC;
            p += 1;
        } else if (kana && b >= kKanaFirst && b <= kKanaLast) {
            ok = 1;
            unit[0] = 0xFF;
            unit[1] = static_cast<uint8_t>(b - kKanaShift);
            p += 1;
        } else {
            uint8_t t = p[1];
            if (t >= kTrailFirst) {
                uint32_t &lead = leads[b - kHighByte];
                if (lead == QZ_CC_BLOCK_UNKNOWN) lead = findLeadBlock(b, ctx);
                ok = lookupInBlock(p, unit, ctx, lead, memo, table);
                p += 2;
            } else if (four && isDigit(t)) {
                // A four-byte group never swallows the terminator: a zero
                // third byte ends it after two bytes, a zero fourth after three.
                uint8_t b3 = p[2];
                if (b3 == 0) {
                    ok = 0;
                    p += 2;
                } else if (p[3] == 0) {
                    ok = 0;
                    p += 3;
                } else {
                    ok =
                        b3 >= kSeq3First && isDigit(p[3]) ? qz_cc_lookup_4b_l2u(p, unit, table) : 0;
                    p += 4;
                }
            } else if (t == 0) {
                ok = 0;  // the text ends at t
                p += 1;
            } else {
                ok = 0;
                p += 2;
            }
        }
        if (!ok) {
            unit[0] = 0x00;
            unit[1] = QZ_CC_SUBST;
            result = QZ_CC_SUBSTITUTED;
        }
        if (!writeUnit<kUtf8>(out, o, size, unit[0], unit[1])) return QZ_CC_OUTPUT_FULL;
    }
    return result < 0 ? result : static_cast<int32_t>(o);
}

// Stores a code unit high byte first in one 16-bit store.
inline void storeUnit(uint8_t *o, uint32_t unit) {
    uint16_t pair = static_cast<uint16_t>(unit);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_BIG_ENDIAN__
    pair = static_cast<uint16_t>(pair << 8 | pair >> 8);
#endif
    memcpy(o, &pair, sizeof pair);
}

// One character of local text that is not ASCII, read from the direct
// index: its code unit, or 0 for no conversion. Moves `p` past it: a byte
// that is a character on its own, or a lead byte with its trail byte; a
// lead byte without one is one substitution for both bytes, but a zero
// ends the text and is not consumed.
inline uint32_t indexedChar(const uint8_t *&p, uint32_t b, const qz_cc_index *index) {
    uint32_t unit = index->l2u_byte[b];
    if (unit != QZ_CC_INDEX_LEAD) {
        p += 1;
    } else {
        uint32_t t = p[1];
        if (t >= kTrailFirst) {
            unit = index->l2u[(b - QZ_CC_INDEX_LEAD_FIRST) * QZ_CC_INDEX_TRAILS +
                              (t - QZ_CC_INDEX_TRAIL_FIRST)];
            p += 2;
        } else {
            unit = 0;
            p += t != 0 ? 2 : 1;
        }
    }
    return unit;
}

// Writes a code unit as UTF-8 (1 to 3 bytes); returns its length.
inline uint32_t putUtf8(uint8_t *o, uint32_t unit) {
    if (unit < 0x80) {
        o[0] = static_cast<uint8_t>(unit);
        return 1;
    }
    if (unit < 0x800) {
        o[0] = static_cast<uint8_t>(0xC0 | unit >> 6);
        o[1] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
        return 2;
    }
    o[0] = static_cast<uint8_t>(0xE0 | unit >> 12);
    o[1] = static_cast<uint8_t>(0x80 | (unit >> 6 & 0x3F));
    o[2] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
    return 3;
}

// The conversion read from the direct index of a recognised table, which
// answers the rules of its type and the lookups alike (ASCII stands for
// itself). The conditions left decide how far the input moves: as branches
// they are predicted, and the next character starts before this one's loads
// are back. The room is checked once for a stretch of characters that fits
// with the terminator reserve even if each takes the most bytes; where not
// even one surely fits, the exact rule decides that one character. Every
// character is read only after the one before it was written, as the walk
// reads them: to the compiler the output may alias the input, though the
// caller's two buffers never overlap (see qz_cc_api.h).
template <bool kUtf8>
int32_t convertIndexed(uint8_t *out, const uint8_t *p, uint32_t size, const qz_cc_index *shared) {
    // A private copy of the array pointers: the output is written through a
    // byte pointer that could alias the index, and the copy keeps the
    // compiler from reading them again after every store.
    const qz_cc_index copy = *shared;
    const qz_cc_index *index = &copy;
    constexpr size_t kMost = kUtf8 ? 3 : 2;  // bytes of one character
    constexpr size_t kReserve = kUtf8 ? 1 : 2;
    uint8_t *o = out;
    uint8_t *const end = out + size;
    uint32_t missed = 0;  // non-zero once a character had no conversion
    do {
        size_t room = static_cast<size_t>(end - o);
        size_t sure = room < kReserve ? 0 : (room - kReserve) / kMost;
        if (sure == 0) {
            if (!kUtf8) return QZ_CC_OUTPUT_FULL;  // every character takes 2 bytes
            uint32_t unit = p[0];
            if (unit < kHighByte)
                p += 1;
            else
                unit = indexedChar(p, unit, index);
            missed |= unit == 0;
            unit = unit == 0 ? QZ_CC_SUBST : unit;
            uint32_t length = unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
            if (length + kReserve > room) return QZ_CC_OUTPUT_FULL;
            o += putUtf8(o, unit);
            continue;
        }
        do {
            uint32_t b = p[0];
            if (b < kHighByte) {
                if (kUtf8) {
                    *o++ = static_cast<uint8_t>(b);
                } else {
                    // The high byte 0x00 is already in the cleared buffer.
                    o[1] = static_cast<uint8_t>(b);
                    o += 2;
                }
                p += 1;
                continue;
            }
            uint32_t unit = indexedChar(p, b, index);
            missed |= unit == 0;
            unit = unit == 0 ? QZ_CC_SUBST : unit;
            if (kUtf8) {
                o += putUtf8(o, unit);
            } else {
                storeUnit(o, unit);
                o += 2;
            }
        } while (*p != 0 && --sure != 0);
    } while (*p != 0);
    return missed ? QZ_CC_SUBSTITUTED : static_cast<int32_t>(o - out);
}

}  // namespace

extern "C" int qz_cc_lookup_l2u(const uint8_t *local, uint8_t *unit, const qz_cc_context *ctx) {
    qz_cc_range_memo memo = {0, nullptr};
    return lookupInBlock(local, unit, ctx, findLeadBlock(local[0], ctx), memo, ctx);
}

extern "C" int qz_cc_lookup_4b_l2u(const uint8_t *seq, uint8_t *unit, const qz_cc_context *ctx) {
    uint8_t key[4] = {seq[0], seq[1], seq[2], seq[3]};
    uint16_t count = qz_cc_get16(ctx, ctx->data_4b_pos - 1);
    const uint8_t *run = qz_cc_bsearch(key, ctx->table + ctx->data_4b_pos + 1, count,
                                       QZ_CC_RUN4B_RECORD, qz_cc_compare_data_4b_l2u);
    if (run == nullptr) return 0;
    uint16_t value = static_cast<uint16_t>(qz_cc_rec16(run + 4) + qz_cc_sub4b(key, run));
    unit[0] = static_cast<uint8_t>(value >> 8);
    unit[1] = static_cast<uint8_t>(value);
    return 1;
}

extern "C" int qz_cc_lookup_8859_l2u(uint8_t byte, uint8_t *unit, const qz_cc_context *ctx) {
    uint8_t key = byte;
    uint8_t count = qz_cc_get8(ctx, ctx->data_8859_pos - 1u);
    const uint8_t *run = qz_cc_bsearch(&key, ctx->table + ctx->data_8859_pos, count,
                                       QZ_CC_RANGE_RECORD, qz_cc_compare_range);
    if (run == nullptr) return 0;
    uint16_t value = static_cast<uint16_t>(qz_cc_rec16(run + 1) + (byte - run[0]));
    unit[0] = static_cast<uint8_t>(value >> 8);
    unit[1] = static_cast<uint8_t>(value);
    return 1;
}

extern "C" int32_t qz_cc_convert_l2u(uint8_t *output, const uint8_t *input, uint32_t output_size,
                                     const qz_cc_context *ctx, uint16_t unicode_form) {
    if (input[0] == 0) return 0;
    bool utf8 = unicode_form == QZ_CC_UTF8;
    if (ctx->index != nullptr)
        return utf8 ? convertIndexed<true>(output, input, output_size, ctx->index)
                    : convertIndexed<false>(output, input, output_size, ctx->index);
    return utf8 ? convertWalking<true>(output, input, output_size, ctx)
                : convertWalking<false>(output, input, output_size, ctx);
}
