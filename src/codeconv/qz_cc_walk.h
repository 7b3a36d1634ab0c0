/*
 * qz_cc_walk.h - the walk through a double-byte table: the second level of
 * a lookup in either direction, with the per-call cache of the blocks found
 * so far. Used where a table has no direct index (qz_cc_index.h).
 */
#ifndef QZ_CC_WALK_H
#define QZ_CC_WALK_H

#include "qz_cc_internal.h"

#ifdef __cplusplus
extern "C" {
#endif

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
    return qz_cc_bsearch(&key, records, count, QZ_CC_RANGE_RECORD, qz_cc_compare_range);
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
        range = qz_cc_bsearch(&key, records, count, QZ_CC_RANGE_RECORD, qz_cc_compare_range);
        if (range == NULL) return 0;
    }
    uint16_t v = (uint16_t)(qz_cc_rec16(range + 1) + (k - range[0]));
    value[0] = (uint8_t)(v >> 8);
    value[1] = (uint8_t)v;
    return 1;
}

#ifdef __cplusplus
}
#endif

#endif /* QZ_CC_WALK_H */
