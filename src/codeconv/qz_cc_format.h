/*
 * qz_cc_format.h - the layout of a conversion table, and the constants that
 * name its parts.
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
 * checks positions or counts against the image.
 */
#ifndef QZ_CC_FORMAT_H
#define QZ_CC_FORMAT_H

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

#endif /* QZ_CC_FORMAT_H */
