// utf8.cpp - a list's CP932 text through the converter to UTF-16BE, and
// UTF-16BE text (the converter's output) to UTF-8.
#include "utf8.h"

#include "CP932.h"
#include "csv_reader.h"
#include "qz_cc_api.h"

uint8_t emojiUtf16[2 * UTF16_MAX_UNITS];
char emojiUtf8[UTF8_BUF_SIZE];

void encodeUtf8() {
    encodeUtf8Units(emojiUtf16, emojiUtf8);
}

// Encodes `utf16` up to its first 0x0000 unit, or up to UTF16_MAX_UNITS
// units, into `utf8`. A well-formed surrogate pair becomes one four-byte
// sequence; an unpaired high surrogate ends the text; a lone low surrogate is
// written in its three-byte form.
void encodeUtf8Units(const uint8_t *utf16, char *utf8) {
    auto *out = reinterpret_cast<uint8_t *>(utf8);
    unsigned j = 0;
    unsigned k = 0;
    while (j < UTF16_MAX_UNITS) {
        unsigned hi = utf16[2 * j];
        unsigned lo = utf16[2 * j + 1];
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
            unsigned lhi = utf16[2 * j + 2];
            if (lhi < 0xDC || lhi > 0xDF) break;
            unsigned l = lhi << 8 | utf16[2 * j + 3];
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

int convertCp932Text(const char *text, size_t textLen, char *utf8, size_t utf8Size) {
    if (utf8Size == 0) return QZ_CC_BAD_ARGS;
    utf8[0] = '\0';
    if (textLen >= LINE_BUF_SIZE || utf8Size < UTF8_BUF_SIZE) return QZ_CC_BAD_ARGS;
    // The text is whatever precedes the first 0x0000 unit, which the
    // converter always writes; its result only tells what happened. The
    // converter clears the whole output size it is given first, and a CP932
    // character of one or two bytes becomes one unit: given room for the
    // text's bytes as units and the terminator, a short line does not pay
    // for clearing the whole area. Beyond that room lie an earlier line's
    // units, which the UTF-8 step never reaches. Should the room fill all
    // the same, the text is converted into the whole area, so that every
    // result is that of the call with the full size.
    const auto *in = reinterpret_cast<const uint8_t *>(text);
    uint32_t room = static_cast<uint32_t>(2 * textLen + 2);
    int32_t result = QZ_CC_OUTPUT_FULL;
    if (room < static_cast<uint32_t>(UTF16_CONVERT_SIZE))
        result =
            qz_code_convert(emojiUtf16, in, room, convert_tbl, QZ_CC_UTF16BE, QZ_CC_TO_UNICODE);
    if (result == QZ_CC_OUTPUT_FULL)
        result = qz_code_convert(emojiUtf16, in, UTF16_CONVERT_SIZE, convert_tbl, QZ_CC_UTF16BE,
                                 QZ_CC_TO_UNICODE);
    encodeUtf8Units(emojiUtf16, utf8);
    return result;
}
