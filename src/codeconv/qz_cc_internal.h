/*
 * qz_cc_internal.h - the converter's table context, its table readers, the
 * bitmap ranks, the binary search with its record comparisons and the ASCII
 * rule, shared by both directions. The table layout is qz_cc_format.h's.
 */
#ifndef QZ_CC_INTERNAL_H
#define QZ_CC_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "qz_cc_api.h"
#include "qz_cc_format.h"
#include "qz_cc_index.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The header fields of one table, read once per call. Fields a table type
 * does not have stay zero (so type 13 has no fallback sections). `index` is
 * the direct index of a recognised table (qz_cc_index.h), or null. */
typedef struct qz_cc_context {
    const uint8_t *table;
    uint16_t type_code;
    uint32_t l2u_index_pos;
    uint32_t l2u_data_pos;
    uint32_t u2l_index_pos;
    uint32_t u2l_data_pos;
    uint32_t fub_pos;
    uint32_t fbu_pos;
    uint32_t data_4b_pos;
    uint16_t index_u_8859_pos;
    uint16_t data_8859_pos;
    const qz_cc_index *index;
} qz_cc_context;

/* A record comparison for qz_cc_bsearch: -1 key before the record, 0 match,
 * 1 key after it. It may write into the key. */
typedef int (*qz_cc_compare_fn)(void *key, const uint8_t *record);

/* ---- table readers (offset = 0-based byte offset from the table start) */

inline void qz_cc_mread_uint8(uint8_t *dst, uint32_t count, const qz_cc_context *ctx,
                              uint32_t offset) {
    const uint8_t *p = ctx->table + offset;
    for (uint32_t i = 0; i < count; i++)
        dst[i] = p[i];
}

inline void qz_cc_mread_uint16(uint16_t *dst, uint32_t count, const qz_cc_context *ctx,
                               uint32_t offset) {
    const uint8_t *p = ctx->table + offset;
    for (uint32_t i = 0; i < count; i++, p += 2)
        dst[i] = (uint16_t)((uint32_t)p[0] << 8 | p[1]);
}

inline void qz_cc_mread_uint32(uint32_t *dst, uint32_t count, const qz_cc_context *ctx,
                               uint32_t offset) {
    const uint8_t *p = ctx->table + offset;
    for (uint32_t i = 0; i < count; i++, p += 4)
        dst[i] = (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

/* One-value shorthands over the readers. */
inline uint8_t qz_cc_get8(const qz_cc_context *ctx, uint32_t offset) {
    uint8_t v;
    qz_cc_mread_uint8(&v, 1, ctx, offset);
    return v;
}

inline uint16_t qz_cc_get16(const qz_cc_context *ctx, uint32_t offset) {
    uint16_t v;
    qz_cc_mread_uint16(&v, 1, ctx, offset);
    return v;
}

inline uint32_t qz_cc_get32(const qz_cc_context *ctx, uint32_t offset) {
    uint32_t v;
    qz_cc_mread_uint32(&v, 1, ctx, offset);
    return v;
}

/* Big-endian uint16 at a record address handed out by qz_cc_bsearch. */
inline uint16_t qz_cc_rec16(const uint8_t *record) {
    return (uint16_t)((uint32_t)record[0] << 8 | record[1]);
}

/* ---- bitmaps and ranks */

/* Number of set bits, without a library call: the instruction where the
 * build targets a processor that has it, else a few shifts and masks
 * (the baseline x86-64 build would otherwise call a libgcc helper). */
inline uint32_t qz_cc_popcount32(uint32_t x) {
#if defined(__POPCNT__)
    return (uint32_t)__builtin_popcount(x);
#else
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0Fu;
    return (x * 0x01010101u) >> 24;
#endif
}

/*
 * Rank of the value at bit position k (0 = most significant bit) of `word`,
 * word `half` (0 or 1) of its group: with half 0, the previous group's
 * running count c0 plus the set bits before position k; with half 1, this
 * group's count c1 minus the set bits from position k to the end of the
 * word. Modulo 256.
 */
inline uint8_t qz_cc_sum_left_digits(uint32_t word, uint16_t half, uint16_t c0, uint16_t c1,
                                     uint32_t k) {
    if (half == 0) {
        uint32_t before = k == 0 ? 0 : word >> (32 - k);
        return (uint8_t)(c0 + qz_cc_popcount32(before));
    }
    return (uint8_t)(c1 - qz_cc_popcount32(word & (0xFFFFFFFFu >> k)));
}

/*
 * Looks up `rel` (the value minus the bitmap's lowest value) in the bitmap
 * at table offset `base`. Returns its rank 0..255, or -1 when the bit is
 * clear.
 */
inline int qz_cc_bitmap_rank(const qz_cc_context *ctx, uint32_t base, uint32_t rel) {
    uint32_t group = rel >> 6;
    uint32_t half = (rel >> 5) & 1;
    uint32_t k = rel & 31;
    uint32_t at = base + 9 * group;
    uint32_t word = qz_cc_get32(ctx, at + 4 * half);
    if ((word & (0x80000000u >> k)) == 0) return -1;
    if (half == 0) {
        uint16_t c0 = group == 0 ? 0 : qz_cc_get8(ctx, at - 1);
        return qz_cc_sum_left_digits(word, 0, c0, 0, k);
    }
    uint16_t c1 = qz_cc_get8(ctx, at + 8);
    /* All 256 values of a 4-group bitmap: the last count is stored as 0. */
    if (group == 3 && c1 == 0) c1 = 256;
    return qz_cc_sum_left_digits(word, 1, 0, c1, k);
}

/* ---- binary search over records numbered 1..count */

inline const uint8_t *qz_cc_bsearch(void *key, const uint8_t *first, uint32_t count, uint32_t size,
                                    qz_cc_compare_fn compare) {
    uint32_t low = 1;
    uint32_t high = count;
    while (low <= high) {
        uint32_t middle = (low + high) / 2;
        const uint8_t *record = first + (size_t)(middle - 1) * size;
        int c = compare(key, record);
        if (c == 0) return record;
        /* Only an exact 1 moves the search upward. Written as selects so
         * that the compiler need not branch on the comparison. */
        uint32_t up = middle + 1;
        uint32_t down = middle - 1;
        low = c == 1 ? up : low;
        high = c == 1 ? high : down;
    }
    return NULL;
}

/* ---- comparisons */

/* Range record {first, uint16 value, length}, key byte k: the records of
 * both double-byte block areas and of the single-byte run section. */
inline int qz_cc_compare_range(void *key, const uint8_t *record) {
    uint32_t k = *(const uint8_t *)key;
    uint32_t first = record[0];
    /* -1 below first, 0 below first + length (no 8-bit wrap-around), else 1;
     * a sum of two tests, so no branch. */
    return (int)(k >= first) + (int)(k >= first + record[3]) - 1;
}

/* Two key bytes against the record's first two, unsigned, first byte first:
 * the records of both fallback sections (fub and fbu). */
inline int qz_cc_compare_fub(void *key, const uint8_t *record) {
    const uint8_t *k = (const uint8_t *)key;
    if (k[0] != record[0]) return k[0] < record[0] ? -1 : 1;
    if (k[1] != record[1]) return k[1] < record[1] ? -1 : 1;
    return 0;
}

/* Linear distance a - b between two four-byte sequences (byte 1 counts
 * 10 * 126 * 10, byte 2 counts 126 * 10, byte 3 counts 10, byte 4 one). */
inline int32_t qz_cc_sub4b(const uint8_t *a, const uint8_t *b) {
    return ((int32_t)a[0] - b[0]) * 12600 + ((int32_t)a[1] - b[1]) * 1260 +
           ((int32_t)a[2] - b[2]) * 10 + ((int32_t)a[3] - b[3]);
}

/* Key: four bytes. Record: first sequence, uint16 value, uint16 length. */
inline int qz_cc_compare_data_4b_l2u(void *key, const uint8_t *record) {
    int32_t d = qz_cc_sub4b((const uint8_t *)key, record);
    if (d < 0) return -1;
    if (d >= (int32_t)qz_cc_rec16(record + 6)) return 1;
    return 0;
}

/* Key: 8 bytes with the code unit in bytes 4 and 5; compared with the
 * record's first Unicode value. */
inline int qz_cc_compare_data_4b_u2l(void *key, const uint8_t *record) {
    const uint8_t *k = (const uint8_t *)key;
    int32_t d = ((int32_t)k[4] - record[4]) * 256 + ((int32_t)k[5] - record[5]);
    if (d < 0) return -1;
    if (d < (int32_t)qz_cc_rec16(record + 6)) return 0;
    return 1;
}

/* Key: unit high byte, low byte, run-number slot. Each time the key sorts
 * after a record, the record's run number goes into the slot, so the slot
 * ends up naming the nearest index record below the key. */
inline int qz_cc_compare_index_u_8859(void *key, const uint8_t *record) {
    uint8_t *k = (uint8_t *)key;
    int c = 0;
    if (k[0] != record[0])
        c = k[0] < record[0] ? -1 : 1;
    else if (k[1] != record[1])
        c = k[1] < record[1] ? -1 : 1;
    if (c == 1) k[2] = record[2];
    return c;
}

/* ---- single bytes shared by both directions */

/*
 * Bytes 0x01-0x7F and units U+0001-U+007F. Direction 0: *local -> unit
 * (2 bytes, high first); direction 1: the unit's low byte -> *local.
 * Types 21 and 23 put yen and overline at 0x5C and 0x7E and cannot convert
 * 0x7F (nor U+007E, U+007F the other way). Returns 1, or 0 when the
 * character is not convertible.
 */
inline int qz_cc_lookup_ascii(uint8_t *local, uint8_t *unit, uint16_t type_code,
                              uint16_t direction) {
    int yen = type_code == QZ_CC_TYPE_KANA_YEN || type_code == QZ_CC_TYPE_YEN;
    if (direction == QZ_CC_TO_UNICODE) {
        uint8_t b = *local;
        unit[0] = 0x00;
        unit[1] = b;
        if (!yen) return 1;
        if (b == 0x5C) { /* yen sign */
            unit[1] = 0xA5;
        } else if (b == 0x7E) { /* overline */
            unit[0] = 0x20;
            unit[1] = 0x3E;
        } else if (b == 0x7F) {
            return 0;
        }
        return 1;
    }
    *local = unit[1];
    if (yen && (unit[1] == 0x7E || unit[1] == 0x7F)) return 0;
    return 1;
}

/* ---- out-of-line parts */

/* Fills the context from the table header. */
void qz_cc_read_context(qz_cc_context *ctx, const uint8_t *table);

/* Fallback sections: 1 with the value found, 0 when absent or not found. */
int qz_cc_lookup_fbu(const uint8_t *local, uint8_t *unit, const qz_cc_context *ctx);
int qz_cc_lookup_fub(const uint8_t *unit, uint8_t *local, const qz_cc_context *ctx);

/* Local to Unicode lookups: 1 with the unit (high byte first), or 0. */
int qz_cc_lookup_l2u(const uint8_t *local, uint8_t *unit, const qz_cc_context *ctx);
int qz_cc_lookup_4b_l2u(const uint8_t *seq, uint8_t *unit, const qz_cc_context *ctx);
int qz_cc_lookup_8859_l2u(uint8_t byte, uint8_t *unit, const qz_cc_context *ctx);

/* Unicode to local lookups: 1 with the local bytes, or 0. */
int qz_cc_lookup_u2l(const uint8_t *unit, uint8_t *local, const qz_cc_context *ctx);
int qz_cc_lookup_4b_u2l(const uint8_t *unit, uint8_t *seq, const qz_cc_context *ctx);
int qz_cc_lookup_8859_u2l(const uint8_t *unit, uint8_t *byte, const qz_cc_context *ctx);

/* The conversions behind qz_code_convert, on a cleared output buffer. */
int32_t qz_cc_convert_l2u(uint8_t *output, const uint8_t *input, uint32_t output_size,
                          const qz_cc_context *ctx, uint16_t unicode_form);
int32_t qz_cc_convert_u2l(uint8_t *output, const uint8_t *input, uint32_t output_size,
                          const qz_cc_context *ctx, uint16_t unicode_form);
int32_t qz_cc_convert_bytes(uint8_t *output, const uint8_t *input, uint32_t output_size,
                            uint16_t direction);

#ifdef __cplusplus
}
#endif

#endif /* QZ_CC_INTERNAL_H */
