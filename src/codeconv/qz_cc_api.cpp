// qz_cc_api.cpp - the converter's entry: clears the output, checks the
// arguments, reads the table header and picks the direction; and the
// table-less byte form in both directions.
#include "qz_cc_api.h"

#include <string.h>

#include "qz_cc_internal.h"

// Byte form, direction 0: escaped local text (0x81, high byte) to bytes.
// Every byte written keeps one byte free for the terminator.
static int32_t bytesFromEscaped(uint8_t *out, const uint8_t *p, uint32_t size) {
    uint32_t o = 0;
    int32_t result = 0;
    while (*p != 0) {
        uint8_t b = *p;
        bool ok = true;
        if (b < 0x80) {
            p += 1;
        } else if (b != QZ_CC_ESCAPE) {
            ok = false;
            p += 1;
        } else if (p[1] == 0) {
            ok = false;  // the text ends at the zero
            p += 1;
        } else {
            b = p[1];
            ok = b >= 0x80;
            p += 2;
        }
        if (!ok) {
            b = QZ_CC_SUBST;
            result = QZ_CC_SUBSTITUTED;
        }
        if (size - o < 2) return QZ_CC_OUTPUT_FULL;
        out[o++] = b;
    }
    return result < 0 ? result : static_cast<int32_t>(o);
}

// Byte form, direction 1: bytes to escaped local text. Nothing can fail
// but the room.
static int32_t bytesToEscaped(uint8_t *out, const uint8_t *p, uint32_t size) {
    uint32_t o = 0;
    for (; *p != 0; p++) {
        uint8_t b = *p;
        if (b < 0x80) {
            if (size - o < 2) return QZ_CC_OUTPUT_FULL;
            out[o++] = b;
        } else {
            if (size - o < 3) return QZ_CC_OUTPUT_FULL;
            out[o++] = QZ_CC_ESCAPE;
            out[o++] = b;
        }
    }
    return static_cast<int32_t>(o);
}

extern "C" int32_t qz_cc_convert_bytes(uint8_t *output, const uint8_t *input, uint32_t output_size,
                                       uint16_t direction) {
    if (direction == QZ_CC_TO_UNICODE) return bytesFromEscaped(output, input, output_size);
    return bytesToEscaped(output, input, output_size);
}

extern "C" int32_t qz_code_convert(uint8_t *output, const uint8_t *input, uint32_t output_size,
                                   const uint8_t *table, uint16_t unicode_form,
                                   uint16_t direction) {
    if (output != nullptr) memset(output, 0, output_size);
    if (output == nullptr || input == nullptr || output_size == 0 ||
        (table == nullptr && unicode_form != QZ_CC_BYTES) || unicode_form > QZ_CC_BYTES ||
        direction > QZ_CC_TO_LOCAL)
        return QZ_CC_BAD_ARGS;
    if (unicode_form == QZ_CC_BYTES)
        return qz_cc_convert_bytes(output, input, output_size, direction);
    qz_cc_context ctx;
    qz_cc_read_context(&ctx, table);
    if (direction == QZ_CC_TO_UNICODE)
        return qz_cc_convert_l2u(output, input, output_size, &ctx, unicode_form);
    return qz_cc_convert_u2l(output, input, output_size, &ctx, unicode_form);
}
