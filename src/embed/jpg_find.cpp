// jpg_find.cpp - walks a JPEG marker by marker, as the rewriter does, and
// keeps the first emoji comment, before or after the scans; and reads a
// picture's size from its frame header (SOFn).
#include <cstring>

#include "embed.h"
#include "emoji_comment.h"
#include "jpg_reader.h"

namespace {

// COM: the first emoji comment is kept whole; every other comment is passed
// over. A segment holds at most EMOJI_TEXT_MAX data bytes: it always fits.
bool readJpgComment(JpgReader &r, FoundText &text, bool &found) {
    int kind = readJpgCommentStart(r);
    if (kind == JPG_COMMENT_FAULT) return false;
    if (found || kind != JPG_COMMENT_EMOJI) return passJpgCommentRest(r, nullptr);
    std::memcpy(text.text, r.head, EMOJI_TAG_SIZE);
    if (!pullJpgCommentRest(r, text.text + EMOJI_TAG_SIZE)) return false;
    text.length = EMOJI_TAG_SIZE + r.commentRest;
    found = true;
    return true;
}

// Markers looked at before giving up on a JPEG's frame header.
constexpr int JPG_MARKERS_MAX = 256;
// Frame header data: sample precision (1 byte), height, width (big-endian).
constexpr size_t SOF_SIZE_END = 5;

// SOF0..SOF15 begin a frame; 0xC4 (DHT), 0xC8 (JPG) and 0xCC (DAC) share
// the range but are tables and a reserved code.
bool isFrameHeader(int code) {
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// Passes over `n` bytes: through the buffer while they are in it (a seek
// costs a system call), by a seek beyond it.
bool skipBytes(FILE *in, long n) {
    if (n > static_cast<long>(PICTURE_STREAM_BUF_SIZE)) return std::fseek(in, n, SEEK_CUR) == 0;
    for (; n > 0; n--)
        if (std::getc(in) == EOF) return false;
    return true;
}

}  // namespace

bool readJpgSize(FILE *in, unsigned &width, unsigned &height) {
    if (std::getc(in) != M_PREFIX || std::getc(in) != M_SOI) return false;
    for (int i = 0; i < JPG_MARKERS_MAX; i++) {
        int code = std::getc(in);
        if (code != M_PREFIX) return false;
        while (code == M_PREFIX)  // fill bytes may pad before a marker's code
            code = std::getc(in);
        if (code == EOF || code == M_SOS || code == M_EOI) return false;
        if (code == M_TEM || (code >= M_RST0 && code <= M_RST7)) continue;  // no length field
        unsigned char field[JPG_LENGTH_SIZE + SOF_SIZE_END];
        if (std::fread(field, 1, JPG_LENGTH_SIZE, in) != JPG_LENGTH_SIZE) return false;
        long length = field[0] << 8 | field[1];
        if (length < static_cast<long>(JPG_LENGTH_SIZE)) return false;
        if (isFrameHeader(code)) {
            if (std::fread(field + JPG_LENGTH_SIZE, 1, SOF_SIZE_END, in) != SOF_SIZE_END)
                return false;
            height = field[3] << 8 | field[4];
            width = field[5] << 8 | field[6];
            return true;
        }
        if (!skipBytes(in, length - static_cast<long>(JPG_LENGTH_SIZE))) return false;
    }
    return false;
}

int findJpgEmojiText(FILE *in, FoundText *text) {
    JpgReader r = startJpgReader(in);
    bool found = false;
    if (!passJpgStart(r, nullptr)) return TEXT_MALFORMED;
    for (int kind; (kind = nextJpgMarker(r, nullptr)) != JPG_MARKER_END;) {
        bool ok = kind == JPG_MARKER_SCAN      ? passJpgScan(r, nullptr)
                  : kind == JPG_MARKER_COMMENT ? readJpgComment(r, *text, found)
                                               : false;
        if (!ok) return TEXT_MALFORMED;
    }
    // Nothing after EOI is read.
    return found ? TEXT_FOUND : TEXT_NONE;
}
