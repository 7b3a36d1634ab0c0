// gif_find.cpp - walks a GIF block by block, as the rewriter does, and keeps
// the first emoji comment with its sub-blocks joined. The whole file is
// walked, so a file the rewriter would refuse is reported as malformed.
#include <cstring>

#include "emoji_comment.h"
#include "extract.h"
#include "gif_blocks.h"
#include "gif_format.h"
#include "stream_io.h"

namespace {

// Signature (6 bytes) and logical screen descriptor (7 bytes).
constexpr size_t GIF_HEADER_SIZE = 13;
// Offset of the screen descriptor's packed field within the header.
constexpr size_t SCREEN_PACKED_OFFSET = 10;
// Image descriptor after the separator: left, top, width, height, packed.
constexpr size_t IMAGE_DESCRIPTOR_SIZE = 9;
// The largest colour table: 256 entries of 3 bytes.
constexpr size_t COLOR_TABLE_MAX = 768;

unsigned char blockBuf[COLOR_TABLE_MAX];  // header, descriptor, table, sub-block

// State of one walk.
struct GifWalk {
    FILE *in;
    bool found;    // the first emoji comment is in emojiText
    bool tooLong;  // ... but it was longer than EMOJI_TEXT_MAX
};

bool skipGifColorTable(FILE *in, unsigned char packed) {
    return readExact(in, blockBuf, gifColorTableSize(packed));
}

// Appends the rest of the emoji comment's sub-blocks to emojiText; past
// EMOJI_TEXT_MAX bytes they are read and dropped.
int joinGifSubBlocks(GifWalk &w) {
    unsigned char n;
    for (;;) {
        if (!readByte(w.in, n)) return -1;
        if (n == GIF_BLOCK_TERMINATOR) return 0;
        if (!readExact(w.in, blockBuf, n)) return -1;
        if (emojiTextLen + n > EMOJI_TEXT_MAX) {
            w.tooLong = true;
        } else {
            std::memcpy(emojiText + emojiTextLen, blockBuf, n);
            emojiTextLen += n;
        }
    }
}

// After 0x21 0xFE: a comment whose first sub-block holds "<emoji>" or
// "<EMOJI>" in front is an emoji comment; only the first one is kept.
int readGifComment(GifWalk &w) {
    unsigned char length;
    if (!readByte(w.in, length)) return -1;
    if (length == 0) return 0;  // an empty comment ends with its length byte
    if (!readExact(w.in, blockBuf, length)) return -1;
    if (w.found || length < GIF_EXAMINED_COMMENT_MIN || !isEmojiTag(blockBuf))
        return skipGifSubBlocks(w.in);
    w.found = true;
    std::memcpy(emojiText, blockBuf, length);
    emojiTextLen = length;
    return joinGifSubBlocks(w);
}

// After 0x21: the labels the rewriter accepts, and no others.
int readGifExtension(GifWalk &w) {
    unsigned char label;
    if (!readByte(w.in, label)) return -1;
    switch (label) {
        case GIF_LABEL_COMMENT:
            return readGifComment(w);
        case GIF_LABEL_PLAIN_TEXT:
        case GIF_LABEL_GRAPHIC_CONTROL:
        case GIF_LABEL_APPLICATION:
            return skipGifSubBlocks(w.in);
        default:
            return -1;
    }
}

// After 0x2C: descriptor, local table, LZW code size, image data.
int skipGifImage(GifWalk &w) {
    unsigned char lzwCodeSize;
    if (!readExact(w.in, blockBuf, IMAGE_DESCRIPTOR_SIZE) ||
        !skipGifColorTable(w.in, blockBuf[IMAGE_DESCRIPTOR_SIZE - 1]) ||
        !readByte(w.in, lzwCodeSize))
        return -1;
    return skipGifSubBlocks(w.in);
}

}  // namespace

int findGifEmojiText(FILE *in) {
    GifWalk w{in, false, false};
    // The signature is not looked at, as in the rewriter.
    if (!readExact(in, blockBuf, GIF_HEADER_SIZE) ||
        !skipGifColorTable(in, blockBuf[SCREEN_PACKED_OFFSET]))
        return TEXT_MALFORMED;
    for (;;) {
        unsigned char introducer;
        if (!readByte(in, introducer)) return TEXT_MALFORMED;  // no trailer
        int result;
        switch (introducer) {
            case GIF_EXTENSION_INTRODUCER:
                result = readGifExtension(w);
                break;
            case GIF_IMAGE_SEPARATOR:
                result = skipGifImage(w);
                break;
            case GIF_TRAILER:  // nothing after it is read
                return w.tooLong ? TEXT_TOO_LONG : w.found ? TEXT_FOUND : TEXT_NONE;
            default:  // a stray byte between blocks
                return TEXT_MALFORMED;
        }
        if (result != 0) return TEXT_MALFORMED;
    }
}
