/*
 * CP932_index.h - a direct index of what `convert_tbl` converts, key by key.
 *
 * Why it exists: the table format answers a double-byte lookup through a
 * first-level bitmap and a rank, then a range-list search or a second bitmap
 * and rank, then a fallback search. The tool converts every list line with
 * convert_tbl, and there that walk costs several times what reading one
 * array entry costs. The arrays below hold, for every key, exactly the
 * answer that convert_tbl gives, so the converter reads one entry instead
 * when it is handed convert_tbl itself; every other table stays as it is.
 *
 * What they hold:
 * - local to Unicode: the answer of the double-byte lookup of every lead and
 *   trail byte (main sections first, then the fallback section), and what
 *   every byte is on its own under the type-22 rules: ASCII itself, 0xA1-0xDF
 *   the half-width katakana, 0x80 nothing, any other byte a lead byte;
 * - Unicode to local: the whole conversion of every code unit, the type-22
 *   rules that come before the lookup included (U+0001-U+007F their own
 *   byte, U+FF61-U+FF9F the single bytes 0xA1-0xDF, U+0080 nothing), then
 *   the double-byte lookup (main sections, then fallback). A converting loop
 *   thus needs no rule of its own: one page and one entry per code unit.
 *
 * An entry of 0 means "no conversion": no CP932 pair involves U+0000 or the
 * local code 0x0000 (the generator refuses a mapping that would). The arrays
 * are generated together with convert_tbl, from the same data, by
 * tools/cp932_gen into CP932_index.cpp; a test compares them with the rules
 * and the table walk key by key.
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

/* What each byte 0x00-0xFF is on its own: the code unit of a one-byte
 * character, 0 for the byte 0x80 (no conversion; 0x00 ends the text and is
 * never looked up), or QZ_CC_CP932_LEAD for a byte that takes a trail byte
 * (U+FFFF is no byte's code unit). */
#define QZ_CC_CP932_LEAD 0xFFFF
extern const uint16_t qz_cc_cp932_l2u_byte[256];

/* Unicode to local, in pages of 256 code units: the page of each high byte
 * (page 0 holds only zeros and serves every high byte without a mapping),
 * and the pages, indexed by the low byte. An entry holds the local bytes
 * that the unit converts to in writing order: the first byte in the low 8
 * bits, the second in the high 8 bits (0 for a single byte; a trail byte is
 * never 0), so 0x82A0 is held as 0xA082 and 0xB1 as 0x00B1. 0: no
 * conversion. */
extern const uint8_t qz_cc_cp932_u2l_page[256];
extern const uint16_t qz_cc_cp932_u2l[][256];

#ifdef __cplusplus
}
#endif

#endif /* QZ_CC_CP932_INDEX_H */
