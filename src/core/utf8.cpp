// utf8.cpp - a list's CP932 text through the converter to UTF-16BE, and
// UTF-16BE text (the converter's output) to UTF-8.
#include "utf8.h"

#include "list_reader.h"
#include "qz_cc_api.h"
#include "text_cp932.h"
#include "text_utf8.h"

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
    unsigned j = 0;
    size_t k = 0;
    while (j < UTF16_MAX_UNITS) {
        uint32_t u = static_cast<uint32_t>(utf16[2 * j]) << 8 | utf16[2 * j + 1];
        if (u == 0) break;
        if (u >= 0xD800 && u <= 0xDBFF) {
            // The partner of the last unit would lie beyond the bound.
            if (j >= UTF16_MAX_UNITS - 1) break;
            uint32_t l = static_cast<uint32_t>(utf16[2 * j + 2]) << 8 | utf16[2 * j + 3];
            if (l < 0xDC00 || l > 0xDFFF) break;
            u = 0x10000 + ((u & 0x3FF) << 10) + (l & 0x3FF);
            j += 1;
        }
        k += encodeUtf8Char(u, utf8 + k);
        j += 1;
    }
    utf8[k] = '\0';
}

int convertCp932Text(const char *text, size_t textLen, char *utf8, size_t utf8Size) {
    if (utf8Size == 0) return QZ_CC_BAD_ARGS;
    utf8[0] = '\0';
    if (textLen >= LINE_BUF_SIZE || utf8Size < UTF8_BUF_SIZE) return QZ_CC_BAD_ARGS;
    // The text is whatever precedes the first 0x0000 unit, which the
    // converter always writes; its result only tells what happened. A short
    // line does not pay for clearing the whole area (convertCp932): beyond
    // the room it is given lie an earlier line's units, which the UTF-8 step
    // never reaches.
    int32_t result = convertCp932(reinterpret_cast<char *>(emojiUtf16), UTF16_CONVERT_SIZE, text,
                                  textLen, QZ_CC_UTF16BE, QZ_CC_TO_UNICODE);
    encodeUtf8Units(emojiUtf16, utf8);
    return result;
}
