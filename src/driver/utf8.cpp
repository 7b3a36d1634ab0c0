// utf8.cpp - UTF-16BE text (the converter's output) to UTF-8.
#include "driver.h"

uint8_t emojiUtf16[2 * UTF16_MAX_UNITS];
char emojiUtf8[UTF8_BUF_SIZE];

// Encodes emojiUtf16 up to its first 0x0000 unit, or up to UTF16_MAX_UNITS
// units, into emojiUtf8. A well-formed surrogate pair becomes one four-byte
// sequence; an unpaired high surrogate ends the text; a lone low surrogate is
// written in its three-byte form.
void encodeUtf8() {
    auto *out = reinterpret_cast<uint8_t *>(emojiUtf8);
    unsigned j = 0;
    unsigned k = 0;
    while (j < UTF16_MAX_UNITS) {
        unsigned hi = emojiUtf16[2 * j];
        unsigned lo = emojiUtf16[2 * j + 1];
        unsigned u = hi << 8 | lo;
        if (u == 0) break;
        if (u < 0x80) {
            out[k++] = static_cast<uint8_t>(lo);
            j += 1;
        } else if (hi <= 0x07) {
            out[k++] = static_cast<uint8_t>(0xC0 | (u >> 6));
            out[k++] = static_cast<uint8_t>(0x80 | (u & 0x3F));
            j += 1;
        } else if (hi >= 0xD8 && hi <= 0xDB) {
            // The partner of the last unit would lie beyond the bound.
            if (j >= UTF16_MAX_UNITS - 1) break;
            unsigned lhi = emojiUtf16[2 * j + 2];
            if (lhi < 0xDC || lhi > 0xDF) break;
            unsigned l = lhi << 8 | emojiUtf16[2 * j + 3];
            unsigned c = 0x10000 + ((u & 0x3FF) << 10) + (l & 0x3FF);
            out[k++] = static_cast<uint8_t>(0xF0 | (c >> 18));
            out[k++] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
            out[k++] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
            out[k++] = static_cast<uint8_t>(0x80 | (c & 0x3F));
            j += 2;
        } else {
            out[k++] = static_cast<uint8_t>(0xE0 | (u >> 12));
            out[k++] = static_cast<uint8_t>(0x80 | ((u >> 6) & 0x3F));
            out[k++] = static_cast<uint8_t>(0x80 | (u & 0x3F));
            j += 1;
        }
    }
    out[k] = 0;
}
