// jpg_comment.cpp - writes the emoji text as one JPEG COM segment.
#include <cstring>

#include "embed.h"
#include "jpg_markers.h"
#include "stream_io.h"

// The 0xFF is already in the output; the code byte is written only when asked
// (at an existing comment the rewriter has written it already). A text too
// long for the 16-bit length field is refused before any byte is written: a
// wrapped length would make the rest of the file unreadable.
int writeEmojiInfoJpg(FILE *out, EmbedCall &call, int writeCode) {
    unsigned char lengthField[JPG_LENGTH_SIZE];
    if (call.written) return 1;
    const char *emoji = call.emoji;
    size_t n = std::strlen(emoji);
    if (n > JPG_MAX_SEGMENT_DATA) return -1;
    if (writeCode && !writeByteChecked(out, M_COM)) return -1;
    size_t length = n + JPG_LENGTH_SIZE;
    lengthField[0] = static_cast<unsigned char>(length >> 8);
    lengthField[1] = static_cast<unsigned char>(length & 0xFF);
    if (!writeChecked(out, lengthField, JPG_LENGTH_SIZE)) return -1;
    if (!writeChecked(out, emoji, n)) return -1;
    call.written = true;
    return 0;
}

size_t jpgCommentTextLength(const char *emoji) {
    return std::strlen(emoji);
}
