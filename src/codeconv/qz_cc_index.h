/*
 * qz_cc_index.h - direct indexes: for a table the library carries one for,
 * the answer of every lookup key by key, so that a character costs one
 * array read instead of a walk through the table.
 *
 * Why they exist: the table format answers a double-byte lookup through a
 * first-level bitmap and a rank, then a range-list search or a second bitmap
 * and rank, then a fallback search. For the tables the programs convert
 * every text with, that walk costs several times what reading one array
 * entry costs.
 *
 * How a table is recognised: an index records the header of the table it
 * was generated from (type code and the six section positions), the record
 * counts of its two fallback sections, and the table's bytes. The header and
 * counts fix where every section lies and how long the table is; they are
 * compared first, so that only a table laid out exactly so is compared byte
 * for byte, and nothing beyond its own sections is read. When the header is
 * read (qz_cc_read_context), a table whose bytes are the index's table gets
 * that index in its context, and the conversion loops read the index instead
 * of walking; any other table, however alike, is walked. The table the index
 * was generated with is known to hold those bytes without comparing them
 * (tables are read-only data); a copy of it elsewhere is compared once per
 * call. An index is generated together with its table, from the same
 * mapping, and a test compares the two key by key.
 *
 * What an index holds, for a double-byte table whose single bytes 0x01-0x7F
 * are ASCII both ways (the loops that read an index rely on that):
 * - local to Unicode: what every byte is on its own under the rules of the
 *   table's type (a code unit, 0 for no conversion, or QZ_CC_INDEX_LEAD for
 *   a byte that takes a trail byte), and the answer of the double-byte
 *   lookup of every lead and trail byte (main sections first, then the
 *   fallback section);
 * - Unicode to local: the whole conversion of every code unit, the rules of
 *   the type that come before any lookup included, then the double-byte
 *   lookup (main sections, then fallback), in pages of 256 units. An entry
 *   holds the local bytes in writing order: the first byte in the low 8
 *   bits, the second in the high 8 bits (0 for a single byte; a trail byte
 *   is never 0), so 0x82A0 is held as 0xA082 and 0xB1 as 0x00B1.
 *
 * An entry of 0 means "no conversion": an indexed mapping involves neither
 * U+0000 nor the local code 0x0000 (the generator refuses one that would).
 */
#ifndef QZ_CC_INDEX_H
#define QZ_CC_INDEX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QZ_CC_INDEX_LEAD_FIRST 0x80  /* lowest lead byte */
#define QZ_CC_INDEX_TRAIL_FIRST 0x40 /* lowest trail byte */
#define QZ_CC_INDEX_LEADS 128        /* lead bytes 0x80-0xFF */
#define QZ_CC_INDEX_TRAILS 192       /* trail bytes 0x40-0xFF */
#define QZ_CC_INDEX_PAGE 256         /* code units of one page */

/* A byte that takes a trail byte (U+FFFF is no byte's code unit). */
#define QZ_CC_INDEX_LEAD 0xFFFF

typedef struct qz_cc_index {
    /* The table it was generated from. */
    uint16_t type_code;
    uint32_t l2u_index_pos;
    uint32_t l2u_data_pos;
    uint32_t u2l_index_pos;
    uint32_t u2l_data_pos;
    uint32_t fub_pos;
    uint32_t fbu_pos;
    uint16_t fub_count;
    uint16_t fbu_count;
    /* Its bytes. */
    const uint8_t *table;
    uint32_t table_size;
    /* Local to Unicode: each byte on its own, 256 entries; the code unit of
     * (lead, trail) at (lead - 0x80) * 192 + (trail - 0x40). */
    const uint16_t *l2u_byte;
    const uint16_t *l2u;
    /* Unicode to local: the page of each high byte (page 0 holds only zeros
     * and serves every high byte without a mapping), and the pages, indexed
     * by the low byte. */
    const uint8_t *u2l_page;
    const uint16_t (*u2l)[QZ_CC_INDEX_PAGE];
} qz_cc_index;

#ifdef __cplusplus
}
#endif

#endif /* QZ_CC_INDEX_H */
