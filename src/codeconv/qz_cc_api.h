/*
 * qz_cc_api.h - public interface of the table-driven character code converter.
 *
 * One call converts one zero-terminated text between a local character set,
 * described by a conversion table, and a Unicode form (UTF-16BE, UTF-8, or the
 * table-less byte form), in either direction, into a buffer the caller owns.
 * The converter keeps no state, allocates nothing and prints nothing.
 *
 * Usable from C and C++.
 */
#ifndef QZ_CC_API_H
#define QZ_CC_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* unicode_form */
#define QZ_CC_UTF16BE 0 /* UTF-16, high byte first */
#define QZ_CC_UTF8 1    /* UTF-8, one to three bytes per character */
#define QZ_CC_BYTES 2   /* byte form: one byte per character, no table */

/* direction */
#define QZ_CC_TO_UNICODE 0 /* local text to Unicode */
#define QZ_CC_TO_LOCAL 1   /* Unicode to local text */

/* results besides a byte count >= 0 */
#define QZ_CC_SUBSTITUTED (-1) /* done, with at least one '?' substitution */
#define QZ_CC_OUTPUT_FULL (-2) /* stopped at the first character that did not fit */
#define QZ_CC_BAD_ARGS (-3)    /* rejected arguments; nothing converted */

/*
 * Converts the zero-terminated text at `input` into `output`.
 *
 * The whole output buffer (output_size bytes) is cleared first, and the
 * result is always terminated (two zero bytes after UTF-16BE, one otherwise).
 * `input` and `output` must not overlap: the input is read after the output
 * is cleared, so with one buffer for both the result is 0 and an empty text.
 * `table` may be null only with unicode_form QZ_CC_BYTES.
 *
 * Returns the number of bytes written (terminator not counted), or one of
 * QZ_CC_SUBSTITUTED, QZ_CC_OUTPUT_FULL, QZ_CC_BAD_ARGS.
 */
int32_t qz_code_convert(uint8_t *output, const uint8_t *input, uint32_t output_size,
                        const uint8_t *table, uint16_t unicode_form, uint16_t direction);

#ifdef __cplusplus
}
#endif

#endif /* QZ_CC_API_H */
