// text_utf8.h - UTF-8, one character at a time: the rule of a well-formed
// character (no overlong form, no surrogate, nothing past U+10FFFF), its
// decoding, its encoding, and whole texts checked by it.
//
// The converter (qzcc) keeps a UTF-8 walk of its own, inline in its hot
// loops and with its own, documented rule: it reads at most three bytes and
// lets overlong forms and encoded surrogates pass. That rule belongs to its
// public behaviour, so it is not this one, and the library below does not
// call up into the programs' helpers.
#ifndef EMOJITAG_TEXT_UTF8_H
#define EMOJITAG_TEXT_UTF8_H

#include <cstddef>
#include <cstdint>

// The byte-order mark a UTF-8 file may begin with.
constexpr char UTF8_BOM[] = "\xEF\xBB\xBF";
constexpr size_t UTF8_BOM_SIZE = 3;

// The sequence a lead byte opens: its continuation bytes, the bits it
// carries and the least code point its length may hold.
struct Utf8Lead {
    int more;
    uint32_t bits;
    uint32_t min;
};

inline bool isUtf8Continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The sequence `b` opens; false for a byte that opens none (a continuation
// byte, 0xF8 and up). Lengths are told by the lead byte alone: whether the
// code point is one its length may hold is isUtf8Scalar's question.
bool utf8LeadOf(unsigned char b, Utf8Lead *lead);

// The code point `cp`, read from a sequence whose length holds `min` and up,
// is a well-formed character.
bool isUtf8Scalar(uint32_t cp, uint32_t min);

// Decodes the UTF-8 character at s (at most `len` bytes): its length, with
// the code point in *cp, or 0 for a byte that begins no well-formed character
// (cut short, overlong forms, surrogates and code points above U+10FFFF).
size_t decodeUtf8Char(const char *s, size_t len, uint32_t *cp);

// The whole of s (len bytes) is well-formed UTF-8.
bool isUtf8(const char *s, size_t len);

// s (len bytes) holds a byte of 0x80 or above.
bool hasHighBytes(const char *s, size_t len);

// Bytes of the longest UTF-8 character.
constexpr size_t UTF8_CHAR_MAX = 4;

// Writes the code point `cp` (at most U+10FFFF) as UTF-8 at `out` and
// returns its length, 1 to UTF8_CHAR_MAX. The form follows the value only:
// a surrogate's value is written in its three-byte form.
inline size_t encodeUtf8Char(uint32_t cp, char *out) {
    auto *o = reinterpret_cast<unsigned char *>(out);
    if (cp < 0x80) {
        o[0] = static_cast<unsigned char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        o[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        o[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        o[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        o[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        o[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 3;
    }
    o[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
    o[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
    o[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    o[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 4;
}

#endif
