/*
 * CP932_index.h - a direct index of the double-byte lookups of `convert_tbl`.
 *
 * Why it exists: the table format answers a double-byte lookup through a
 * first-level bitmap and a rank, then a range-list search or a second bitmap
 * and rank, then a fallback search. The tool converts every list line with
 * convert_tbl, and there that walk costs several times what reading one
 * array entry costs. The arrays below hold, for every key, exactly the answer
 * of the double-byte lookup of convert_tbl (main sections first, then the
 * fallback section), so the converter reads one entry instead when it is
 * handed convert_tbl itself; every other table, and every rule that comes
 * before the lookup, stays as it is.
 *
 * An entry of 0 means "not found": no CP932 pair involves U+0000 or the local
 * code 0x0000 (the generator refuses a mapping that would). The arrays are
 * generated together with convert_tbl, from the same data, by tools/cp932_gen
 * into CP932_index.cpp; a test compares them with the table walk key by key.
 */
#ifndef QZ_CC_CP932_INDEX_H
#define QZ_CC_CP932_INDEX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QZ_CC_CP932_LEAD_FIRST 0x80  /* lowest lead byte */
#define QZ_CC_CP932_TRAIL_FIRST 0x40 /* lowest trail byte */
#define QZ_CC_CP932_LEADS 128        /* lead bytes 0x80-0xFF */
#define QZ_CC_CP932_TRAILS 192       /* trail bytes 0x40-0xFF */

/* Local to Unicode: the code unit of (lead, trail) at
 * (lead - 0x80) * 192 + (trail - 0x40), or 0. */
extern const uint16_t qz_cc_cp932_l2u[QZ_CC_CP932_LEADS * QZ_CC_CP932_TRAILS];

/* Unicode to local, in pages of 256 code units: the page of each high byte
 * (page 0 holds only zeros and serves every high byte without a mapping),
 * and the pages, indexed by the low byte. An entry is the local code (below
 * 0x100 a single byte, else lead byte and trail byte), or 0. */
extern const uint8_t qz_cc_cp932_u2l_page[256];
extern const uint16_t qz_cc_cp932_u2l[][256];

#ifdef __cplusplus
}
#endif

#endif /* QZ_CC_CP932_INDEX_H */
