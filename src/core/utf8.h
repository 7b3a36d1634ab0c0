// utf8.h - the UTF-8 step: a list's CP932 text through the converter to
// UTF-16BE, and UTF-16BE to the UTF-8 the image job embeds.
#ifndef EMOJITAG_UTF8_H
#define EMOJITAG_UTF8_H

#include <cstddef>
#include <cstdint>

// Output size handed to the converter, in bytes (it keeps 2 for the terminator).
constexpr int UTF16_CONVERT_SIZE = 32772;
// UTF-16 units the UTF-8 step reads at most.
constexpr int UTF16_MAX_UNITS = 32772;
// Three bytes for each of UTF16_MAX_UNITS units, plus the NUL.
constexpr int UTF8_BUF_SIZE = 98317;

// The converter's output (the step's work area) and the step's UTF-8 text.
extern uint8_t emojiUtf16[2 * UTF16_MAX_UNITS];
extern char emojiUtf8[UTF8_BUF_SIZE];

// UTF-16BE text in emojiUtf16 to UTF-8 in emojiUtf8.
void encodeUtf8();
// The same from `utf16` (2 * UTF16_MAX_UNITS bytes) into `utf8`
// (UTF8_BUF_SIZE bytes).
void encodeUtf8Units(const uint8_t *utf16, char *utf8);

// The reader's conversion of one text field: `textLen` bytes of CP932 at
// `text`, NUL-terminated after them, to UTF-16BE in emojiUtf16 and on to
// UTF-8 in `utf8` (utf8Size bytes). Returns the converter's result (a
// count, QZ_CC_SUBSTITUTED or QZ_CC_OUTPUT_FULL), or QZ_CC_BAD_ARGS with an
// empty `utf8` when the text is longer than a list line holds or `utf8` is
// smaller than UTF8_BUF_SIZE.
int convertCp932Text(const char *text, size_t textLen, char *utf8, size_t utf8Size);

#endif
