/*
 * qz_cc_internal.h - the converter's table context, its table readers and
 * the small search primitives shared by both directions.
 *
 * THE TABLE FORMAT
 *
 * A conversion table is a constant byte image. Every integer in it wider
 * than a byte is big-endian and is read byte by byte, so a table needs no
 * alignment and means the same on every host. Sections are found through
 * positions: a position p is a 1-based byte number, so the section starts
 * at byte offset p - 1. A fallback position of 0 means "no such section".
 *
 * Header. Bytes 0-1 hold the type code. Below 50 the table is multi-byte:
 *
 *   offset  2  uint32  l2u_index_pos   local-to-Unicode first level
 *   offset  6  uint32  l2u_data_pos    local-to-Unicode block area
 *   offset 10  uint32  u2l_index_pos   Unicode-to-local first level
 *   offset 14  uint32  u2l_data_pos    Unicode-to-local block area
 *   offset 18  uint32  fub_pos         Unicode-to-local fallback pairs
 *   offset 22  uint32  fbu_pos         local-to-Unicode fallback pairs
 *
 * except that type 13 stops after 22 bytes and keeps the position of its
 * four-byte run section at offset 18 (it has no fallback sections). From 50
 * up the table is single-byte with a 6-byte header: offset 2 uint16
 * index_u_8859_pos (Unicode index), offset 4 uint16 data_8859_pos (runs).
 *
 * Bitmaps. A bitmap records which byte values from a lowest value L up to
 * 0xFF are present: L = 0x80 for lead bytes (2 groups, 18 bytes), 0x40 for
 * trail bytes (3 groups, 27 bytes), 0x00 for the high or low byte of a
 * UTF-16 unit (4 groups, 36 bytes). Each group of 9 bytes covers 64 values:
 * two uint32 words whose most significant bit stands for the lowest value,
 * then a running count of the set bits in this group and all before it.
 * The rank of a present value (how many present values lie below it) is
 * the previous group's count plus the set bits above it in word 0, or this
 * group's count minus the set bits from it down in word 1. Ranks are 8-bit:
 * a 4-group bitmap with all 256 values stores its last count as 0, which
 * modulo 256 is the same as 256.
 *
 * Double-byte sections (local to Unicode; Unicode to local mirrors them
 * with the 36-byte bitmap of the unit's high byte and the low byte as key):
 *   first level: the lead-byte bitmap, then one 3-byte record per present
 *     lead in rank order: uint16 block position (1-based within the block
 *     area), uint8 kind (1 = range list, anything else = bitmap block);
 *   bitmap block: the trail-byte bitmap, then one uint16 value per present
 *     trail byte in rank order (at 27 + 2 * rank, or 36 + 2 * rank);
 *   range list: uint8 count, then 4-byte records ascending by first byte:
 *     uint8 first, uint16 value of the first, uint8 length. A byte t lies in
 *     a record when first <= t < first + length, counted without 8-bit wrap.
 * A local code from the Unicode side below 0x100 is a single byte.
 *
 * Fallback sections: uint16 count, then 4-byte records sorted by a 16-bit
 * key: fbu (local code -> Unicode, codes that do not round-trip) and fub
 * (Unicode -> local code, likewise).
 *
 * Four-byte runs (type 13): uint16 count, then 8-byte records: the first
 * four-byte sequence, uint16 first Unicode value, uint16 run length. The
 * distance between sequences is the linear numbering of qz_cc_sub4b, and
 * the records are sorted on both sides.
 *
 * Single-byte tables: bytes 0x00-0x7F are themselves; the run section is a
 * uint8 count and 4-byte records (first byte, uint16 Unicode value, uint8
 * length) for the bytes 0x80-0xFF; the Unicode index is a uint8 count and
 * 3-byte records (uint16 first Unicode value of a run, uint8 1-based run
 * number) ascending by Unicode value. Local text writes a high byte as the
 * escaped pair 0x81, byte.
 *
 * Generated tables lay the sections out in the order header, l2u first
 * level, l2u blocks, u2l first level, u2l blocks, fub, fbu; the code reads
 * only through the positions. Tables are trusted, built-in data: nothing
 * here checks positions or counts against the image.
 */
#ifndef QZ_CC_INTERNAL_H
#define QZ_CC_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "qz_cc_api.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Type codes with hard-wired rules. */
#define QZ_CC_TYPE_EURO_A 11   /* single byte 0x80 <-> U+20AC */
#define QZ_CC_TYPE_EURO_B 12   /* single byte 0x80 <-> U+20AC */
#define QZ_CC_TYPE_4B 13       /* four-byte sequences */
#define QZ_CC_TYPE_KANA_YEN 21 /* half-width katakana, yen and overline */
#define QZ_CC_TYPE_KANA 22     /* half-width katakana (the CP932 table) */
#define QZ_CC_TYPE_YEN 23      /* yen and overline */
#define QZ_CC_TYPE_SINGLE 50   /* from here up: single-byte tables */

/* Sizes of the layout. */
#define QZ_CC_LEAD_BITMAP 18     /* lead bytes 0x80-0xFF, 2 groups */
#define QZ_CC_TRAIL_BITMAP 27    /* trail bytes 0x40-0xFF, 3 groups */
#define QZ_CC_UNIT_BITMAP 36     /* a unit's high or low byte, 4 groups */
#define QZ_CC_BLOCK_RECORD 3     /* uint16 block position, uint8 kind */
#define QZ_CC_KIND_RANGES 1      /* block kind of a range list */
#define QZ_CC_RANGE_RECORD 4     /* first byte, uint16 value, length */
#define QZ_CC_FALLBACK_RECORD 4  /* uint16 key, uint16 value */
#define QZ_CC_RUN4B_RECORD 8     /* four-byte sequence, uint16 value, uint16 length */
#define QZ_CC_INDEX8859_RECORD 3 /* uint16 Unicode value, uint8 run number */

#define QZ_CC_SUBST 0x3F  /* '?', written for what cannot be converted */
#define QZ_CC_ESCAPE 0x81 /* leads an escaped high byte in local text */

/* The header fields of one table, read once per call. Fields a table type
 * does not have stay zero (so type 13 has no fallback sections). */
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

/* Range record {first, uint16 value, length}: key byte k. */
inline int qz_cc_compare_range(const void *key, const uint8_t *record) {
    uint32_t k = *(const uint8_t *)key;
    uint32_t first = record[0];
    /* -1 below first, 0 below first + length (no 8-bit wrap-around), else 1;
     * a sum of two tests, so no branch. */
    return (int)(k >= first) + (int)(k >= first + record[3]) - 1;
}

inline int qz_cc_compare_data_l2u(void *key, const uint8_t *record) {
    return qz_cc_compare_range(key, record);
}

inline int qz_cc_compare_data_u2l(void *key, const uint8_t *record) {
    return qz_cc_compare_range(key, record);
}

inline int qz_cc_compare_data_8859(void *key, const uint8_t *record) {
    return qz_cc_compare_range(key, record);
}

/* Lists up to this many range records are scanned rather than halved. */
#define QZ_CC_RANGE_SCAN_MAX 8

/*
 * 1 when the `count` range records at `records` ascend without overlapping
 * (each ends at or before the next one's first byte), which the format asks
 * of every range list. Over such a list the comparison results run from 1
 * through at most one 0 to -1, so any exact search, and a record that held
 * the previous byte and holds this one, give what qz_cc_bsearch gives.
 */
inline int qz_cc_ranges_ordered(const uint8_t *records, uint32_t count) {
    for (uint32_t i = 1; i < count; i++, records += QZ_CC_RANGE_RECORD)
        if ((uint32_t)records[0] + records[3] > records[QZ_CC_RANGE_RECORD]) return 0;
    return 1;
}

/*
 * The record that holds byte k in an ordered range list (see above), or
 * null: inline and without a call through a comparison pointer. A short list
 * is scanned from the front, stopping at the first record that begins above
 * k; a longer one is halved as qz_cc_bsearch halves it.
 */
inline const uint8_t *qz_cc_find_range(const uint8_t *records, uint32_t count, uint32_t k) {
    if (count <= QZ_CC_RANGE_SCAN_MAX) {
        for (uint32_t i = 0; i < count; i++, records += QZ_CC_RANGE_RECORD) {
            if (k < records[0]) return NULL;
            if (k < (uint32_t)records[0] + records[3]) return records;
        }
        return NULL;
    }
    uint8_t key = (uint8_t)k;
    return qz_cc_bsearch(&key, records, count, QZ_CC_RANGE_RECORD, qz_cc_compare_data_l2u);
}

/* ---- the second level of both double-byte directions, per call
 *
 * Each direction finds the block of a first byte (a lead byte, or a unit's
 * high byte) once per call and keeps it in a per-call cache as one number:
 * QZ_CC_BLOCK_UNKNOWN (not looked up yet), QZ_CC_BLOCK_ABSENT (bit clear),
 * or QZ_CC_BLOCK_FOUND + (table offset of the block << 2 | cached kind).
 */
#define QZ_CC_BLOCK_UNKNOWN 0u
#define QZ_CC_BLOCK_ABSENT 1u
#define QZ_CC_BLOCK_FOUND 2u
#define QZ_CC_CACHED_BITMAP 0u  /* bitmap block */
#define QZ_CC_CACHED_ORDERED 1u /* range list that ascends without overlap */
#define QZ_CC_CACHED_RANGES 2u  /* any other range list: halved as ever */

/* The last range record that matched and the block it lies in. Text tends
 * to stay within one run (hiragana, katakana, full-width letters), so most
 * range-list lookups end at this record without a search. */
typedef struct qz_cc_range_memo {
    uint32_t block;
    const uint8_t *record; /* null: nothing remembered yet */
} qz_cc_range_memo;

/* The cache entry of the value `rel` (value minus the bitmap's lowest value)
 * of the first-level bitmap at table offset `index`, whose `bitmap`-byte
 * bitmap is followed by the block records; `data` is the table offset of
 * the second-level area. */
inline uint32_t qz_cc_find_block(const qz_cc_context *ctx, uint32_t index, uint32_t bitmap,
                                 uint32_t rel, uint32_t data) {
    int rank = qz_cc_bitmap_rank(ctx, index, rel);
    if (rank < 0) return QZ_CC_BLOCK_ABSENT;
    uint32_t record = index + bitmap + QZ_CC_BLOCK_RECORD * (uint32_t)rank;
    uint32_t block = data + (qz_cc_get16(ctx, record) - 1u);
    uint32_t kind = QZ_CC_CACHED_BITMAP;
    if (qz_cc_get8(ctx, record + 2) == QZ_CC_KIND_RANGES)
        kind = qz_cc_ranges_ordered(ctx->table + block + 1, qz_cc_get8(ctx, block))
                   ? QZ_CC_CACHED_ORDERED
                   : QZ_CC_CACHED_RANGES;
    return QZ_CC_BLOCK_FOUND + (block << 2 | kind);
}

/*
 * The second step of a double-byte lookup: byte `k` (the trail byte, or the
 * unit's low byte) in the block of cache entry `entry`, whose bitmap covers
 * the values from `lowest` and is `bitmap` bytes long. Writes the 16-bit
 * value high byte first and returns 1, or returns 0 (the caller then asks
 * the fallback section).
 */
inline int qz_cc_lookup_block(const qz_cc_context *ctx, uint32_t entry, uint8_t k, uint32_t lowest,
                              uint32_t bitmap, qz_cc_range_memo *memo, uint8_t *value) {
    if (entry == QZ_CC_BLOCK_ABSENT) return 0;
    uint32_t block = (entry - QZ_CC_BLOCK_FOUND) >> 2;
    uint32_t kind = (entry - QZ_CC_BLOCK_FOUND) & 3;
    if (kind == QZ_CC_CACHED_BITMAP) {
        int rank = qz_cc_bitmap_rank(ctx, block, k - lowest);
        if (rank < 0) return 0;
        qz_cc_mread_uint8(value, 2, ctx, block + bitmap + 2 * (uint32_t)rank);
        return 1;
    }
    const uint8_t *records = ctx->table + block + 1;
    uint32_t count = qz_cc_get8(ctx, block);
    const uint8_t *range;
    if (kind == QZ_CC_CACHED_ORDERED) {
        range = memo->record;
        if (range == NULL || memo->block != block || k < range[0] ||
            k >= (uint32_t)range[0] + range[3]) {
            range = qz_cc_find_range(records, count, k);
            if (range == NULL) return 0;
            memo->block = block;
            memo->record = range;
        }
    } else {
        uint8_t key = k;
        range = qz_cc_bsearch(&key, records, count, QZ_CC_RANGE_RECORD, qz_cc_compare_data_l2u);
        if (range == NULL) return 0;
    }
    uint16_t v = (uint16_t)(qz_cc_rec16(range + 1) + (k - range[0]));
    value[0] = (uint8_t)(v >> 8);
    value[1] = (uint8_t)v;
    return 1;
}

/* Two key bytes against the record's first two, unsigned, first byte first. */
inline int qz_cc_compare_fub(void *key, const uint8_t *record) {
    const uint8_t *k = (const uint8_t *)key;
    if (k[0] != record[0]) return k[0] < record[0] ? -1 : 1;
    if (k[1] != record[1]) return k[1] < record[1] ? -1 : 1;
    return 0;
}

inline int qz_cc_compare_fbu(void *key, const uint8_t *record) {
    return qz_cc_compare_fub(key, record);
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
