// text_cp932.h - CP932 text as the converter reads it: the bytes of one
// character, the characters of a text, and the converter's two directions
// between CP932 and UTF-8 (or UTF-16BE) under one rule for the output size.
#ifndef EMOJITAG_TEXT_CP932_H
#define EMOJITAG_TEXT_CP932_H

#include <cstddef>
#include <cstdint>

// A byte the converter reads as a character of its own: ASCII, 0x80 and the
// half-width katakana 0xA1 to 0xDF. Any other byte is a lead byte.
inline bool isCp932Single(unsigned char b) {
    return b <= 0x80 || (b >= 0xA1 && b <= 0xDF);
}

// The length of the CP932 character at s (at most `len` bytes, len > 0), as
// the converter takes it: a lead byte takes the next one with it, unless
// that is a NUL or lies beyond `len`.
size_t cp932CharLength(const char *s, size_t len);

// The characters of the `len` bytes at s, as the converter counts them.
size_t cp932Characters(const char *s, size_t len);

// The converter from the NUL-terminated `in` (`inLen` bytes before its NUL)
// into `out` of `cap` bytes, with the CP932 table, Unicode form `form` and
// direction `direction` (qz_cc_api.h). The converter clears all of the size
// it is given before it writes, so it is given no more than the text can
// take (UTF-8 from CP932: 3 bytes a byte; UTF-16BE: 2; CP932 from UTF-8: 1;
// each with the terminator); should that fill all the same, it is given all
// of `cap`. The result, and the text before its terminator, are always those
// of the call with `cap`; bytes of `out` beyond the room given stay as they
// were. Returns the converter's result: a byte count when the conversion was
// exact, QZ_CC_SUBSTITUTED or QZ_CC_OUTPUT_FULL otherwise.
int32_t convertCp932(char *out, size_t cap, const char *in, size_t inLen, uint16_t form,
                     uint16_t direction);

// The same on NUL-terminated texts, UTF-8 on the Unicode side.
int32_t cp932ToUtf8(char *out, size_t cap, const char *cp932);
int32_t utf8ToCp932(char *out, size_t cap, const char *utf8);

#endif
