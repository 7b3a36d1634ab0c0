// gif_rewriter.cpp - copies a GIF block by block in one pass and puts the
// emoji comment into the copy: in place of the first emoji comment before the
// first image, else right before the first image, else before the trailer.
// Later emoji comments, and examined comments after one, are left out.
#include <cstring>

#include "embed.h"
#include "emoji_comment.h"
#include "gif_blocks.h"
#include "gif_format.h"
#include "job_context.h"
#include "stream_io.h"

// Signature (6 bytes) and logical screen descriptor (7 bytes).
constexpr size_t GIF_HEADER_SIZE = 13;
// Offset of the screen descriptor's packed field within the header.
constexpr size_t SCREEN_PACKED_OFFSET = 10;
// Image descriptor after the separator: left, top, width, height, packed.
constexpr size_t IMAGE_DESCRIPTOR_SIZE = 9;
// The largest colour table: 256 entries of 3 bytes.
constexpr size_t COLOR_TABLE_MAX = 768;
// The block buffer also carries the bytes after the trailer, in pieces of
// this size.
constexpr size_t BLOCK_BUF_SIZE = 64 * 1024;

// Staging for everything read: one field, table or sub-block at a time, and
// the data after the trailer.
static unsigned char blockBuf[BLOCK_BUF_SIZE];
static_assert(BLOCK_BUF_SIZE >= COLOR_TABLE_MAX, "a colour table fits the block buffer");
// The first sub-block of an examined comment, held until it is classified.
static unsigned char commentBuf[GIF_SUB_BLOCK_MAX];

// State of one rewrite.
struct GifRewrite {
    FILE *in;
    FILE *out;
    const char *emoji;
    bool emojiPlaced;  // the writer has been called at an emoji comment or image
    bool emojiSeen;    // an emoji comment has been met
};

// Copies a colour table of size code `packed & 7` when `packed` flags one.
static int copyGifColorTable(GifRewrite &rw, unsigned char packed) {
    size_t size = gifColorTableSize(packed);
    if (size == 0) return 0;
    if (!readExact(rw.in, blockBuf, size)) return -1;
    writeUnchecked(rw.out, blockBuf, size);
    return 0;
}

// Copies sub-blocks up to and including the zero-length terminator.
static int copyGifSubBlocks(GifRewrite &rw) {
    unsigned char n;
    for (;;) {
        if (!readByte(rw.in, n)) return -1;
        writeUnchecked(rw.out, &n, 1);
        if (n == 0) return 0;
        if (!readExact(rw.in, blockBuf, n)) return -1;
        writeUnchecked(rw.out, blockBuf, n);
    }
}

static int copyGifHeader(GifRewrite &rw) {
    if (!readExact(rw.in, blockBuf, GIF_HEADER_SIZE)) return -1;
    // The signature is not looked at: any 13 bytes pass as a header.
    writeUnchecked(rw.out, blockBuf, GIF_HEADER_SIZE);
    return copyGifColorTable(rw, blockBuf[SCREEN_PACKED_OFFSET]);
}

static int writeEmojiComment(GifRewrite &rw) {
    return writeEmojiInfoGif(rw.out, rw.emoji) < 0 ? -1 : 0;
}

// The three bytes that open a copied comment: introducer, label, length.
static bool writeCommentStart(GifRewrite &rw, unsigned char length) {
    const unsigned char start[] = {GIF_EXTENSION_INTRODUCER, GIF_LABEL_COMMENT, length};
    return writeChecked(rw.out, start, sizeof start);
}

// A comment whose first sub-block is long enough to hold "<emoji>": replaced
// when it is the first emoji comment, left out after an emoji comment, else
// copied.
static int handleGifExaminedComment(GifRewrite &rw, unsigned char length) {
    if (!readExact(rw.in, commentBuf, length)) return -1;
    if (isEmojiTag(commentBuf)) {
        rw.emojiSeen = true;
        if (doOverWrite) {
            // The new comment goes where the old one began; once the text is
            // out, the writer does nothing here.
            rw.emojiPlaced = true;
            if (writeEmojiComment(rw) != 0) return -1;
        }
    }
    if (rw.emojiSeen && rw.emojiPlaced) return skipGifSubBlocks(rw.in);
    if (!writeCommentStart(rw, length) || !writeChecked(rw.out, commentBuf, length)) return -1;
    return copyGifSubBlocks(rw);
}

// After 0x21 0xFE: the comment's class is decided by its first sub-block's
// length alone.
static int handleGifComment(GifRewrite &rw) {
    unsigned char length;
    if (!readByte(rw.in, length)) return -1;
    if (length >= GIF_EXAMINED_COMMENT_MIN) return handleGifExaminedComment(rw, length);
    if (!writeCommentStart(rw, length)) return -1;
    // An empty comment is complete with its zero length byte.
    if (length == 0) return 0;
    // A short comment is copied without looking at its content.
    if (!readExact(rw.in, blockBuf, length)) return -1;
    writeUnchecked(rw.out, blockBuf, length);
    return copyGifSubBlocks(rw);
}

// After 0x21: comments are handled apart; plain text, graphic control and
// application extensions are copied (their fixed first block carries its own
// size byte, so the whole body is one sub-block chain); any other label fails.
static int handleGifExtension(GifRewrite &rw) {
    unsigned char label;
    if (!readByte(rw.in, label)) return -1;
    switch (label) {
        case GIF_LABEL_COMMENT:
            return handleGifComment(rw);
        case GIF_LABEL_PLAIN_TEXT:
        case GIF_LABEL_GRAPHIC_CONTROL:
        case GIF_LABEL_APPLICATION: {
            const unsigned char start[] = {GIF_EXTENSION_INTRODUCER, label};
            if (!writeChecked(rw.out, start, sizeof start)) return -1;
            return copyGifSubBlocks(rw);
        }
        default:
            return -1;
    }
}

// After 0x2C: the emoji comment goes before the first image, after whatever
// extensions precede it; then descriptor, local table, LZW code size, data.
static int copyGifImage(GifRewrite &rw) {
    if (!rw.emojiPlaced) {
        rw.emojiPlaced = true;
        if (writeEmojiComment(rw) != 0) return -1;
    }
    if (!writeByteChecked(rw.out, GIF_IMAGE_SEPARATOR)) return -1;
    if (!readExact(rw.in, blockBuf, IMAGE_DESCRIPTOR_SIZE)) return -1;
    writeUnchecked(rw.out, blockBuf, IMAGE_DESCRIPTOR_SIZE);
    if (copyGifColorTable(rw, blockBuf[IMAGE_DESCRIPTOR_SIZE - 1]) != 0) return -1;
    unsigned char lzwCodeSize;
    if (!readByte(rw.in, lzwCodeSize)) return -1;
    writeUnchecked(rw.out, &lzwCodeSize, 1);
    return copyGifSubBlocks(rw);
}

// A file without any image gets the emoji comment right before its trailer.
// Whatever follows the trailer (data of a container that counts from the
// file's end) is copied as it is.
static int writeGifTrailer(GifRewrite &rw) {
    if (!rw.emojiPlaced && writeEmojiComment(rw) != 0) return -1;
    if (!writeByteChecked(rw.out, GIF_TRAILER)) return -1;
    return copyRest(rw.in, rw.out, blockBuf, sizeof blockBuf) ? 0 : -1;
}

int setGifData(FILE *in, FILE *out, const char *emoji) {
    GifRewrite rw{in, out, emoji, false, false};
    if (copyGifHeader(rw) != 0) return -1;
    for (;;) {
        unsigned char introducer;
        // A file that ends before its trailer fails here.
        if (!readByte(in, introducer)) return -1;
        int result;
        switch (introducer) {
            case GIF_EXTENSION_INTRODUCER:
                result = handleGifExtension(rw);
                break;
            case GIF_IMAGE_SEPARATOR:
                result = copyGifImage(rw);
                break;
            case GIF_TRAILER:
                return writeGifTrailer(rw);
            default:  // a zero byte between blocks, or any other stray byte
                return -1;
        }
        if (result != 0) return -1;
    }
}
