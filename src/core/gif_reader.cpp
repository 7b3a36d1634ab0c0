// gif_reader.cpp - the GIF block walk: header, introducers, extensions,
// images and sub-block chains, each read as a unit and passed on.
#include "gif_reader.h"

#include "emoji_comment.h"
#include "gif_format.h"
#include "stream_io.h"

namespace {

// Signature (6 bytes) and logical screen descriptor (7 bytes).
constexpr size_t GIF_HEADER_SIZE = 13;
// Offset of the screen descriptor's packed field within the header.
constexpr size_t SCREEN_PACKED_OFFSET = 10;
// Image descriptor after the separator: left, top, width, height, packed.
constexpr size_t IMAGE_DESCRIPTOR_SIZE = 9;
// Offset of the image descriptor's packed field.
constexpr size_t IMAGE_PACKED_OFFSET = IMAGE_DESCRIPTOR_SIZE - 1;
// The largest colour table: 256 entries of 3 bytes.
constexpr size_t COLOR_TABLE_MAX = 768;
// Packed field: a colour table follows; its size code is in the low 3 bits.
constexpr unsigned char COLOR_TABLE_FLAG = 0x80;
constexpr unsigned char COLOR_TABLE_SIZE_MASK = 0x07;

// An extension passed whole: the walk goes on with the next block.
constexpr int GIF_BLOCK_PASSED = 3;

// The call's scratch holds the largest field, a colour table, and the first
// sub-block of an examined comment.
static_assert(IMAGE_FIELD_SIZE >= COLOR_TABLE_MAX, "a colour table fits the block buffer");
static_assert(IMAGE_FIELD_SIZE >= GIF_SUB_BLOCK_MAX, "a sub-block fits the block buffer");
static_assert(IMAGE_HEAD_SIZE >= GIF_SUB_BLOCK_MAX, "a first sub-block fits the head");

// 3 x 2^(s+1) bytes with s in the low 3 bits, or 0 when the flag bit says no
// table follows.
size_t colorTableSize(unsigned char packed) {
    if ((packed & COLOR_TABLE_FLAG) == 0) return 0;
    return 3u << ((packed & COLOR_TABLE_SIZE_MASK) + 1);
}

// Reads `n` bytes into the block buffer and passes them on.
bool passBytes(GifReader &r, size_t n, FILE *to) {
    if (!takeBytes(r.input, r.block, n)) return false;
    forwardUnchecked(to, r.block, n);
    return true;
}

// The colour table that a packed field announces, if any.
bool passColorTable(GifReader &r, unsigned char packed, FILE *to) {
    size_t size = colorTableSize(packed);
    return size == 0 || passBytes(r, size, to);
}

// Sub-blocks up to and including the zero-length terminator. The whole
// sub-blocks that lie in the input buffer are passed on in one write; one
// that runs past it is pulled on its own. A chain cut short passes on every
// whole sub-block and the length byte of the cut one.
bool passSubBlocks(GifReader &r, FILE *to) {
    BlockInput &b = r.input;
    for (;;) {
        size_t from = b.pos;
        bool ended = false;
        while (b.pos < b.end && !mappedStepDone(b, from, b.pos)) {
            size_t n = b.buf[b.pos];
            if (n == GIF_BLOCK_TERMINATOR) {
                b.pos++;
                ended = true;
                break;
            }
            if (b.end - b.pos <= n) break;
            b.pos += 1 + n;
        }
        if (b.pos > from) forwardRunUnchecked(b, to, from, b.pos - from);
        if (ended) return true;
        if (b.pos < b.end && mappedStepDone(b, from, b.pos)) continue;
        int n = pullGifSubBlock(r, to);
        if (n <= 0) return n == 0;
    }
}

// After 0x21 and a label whose body is copied as it is: introducer and label
// (tested), then the chain (the fixed first block of these extensions carries
// its own size byte, so the whole body is one sub-block chain).
bool passExtension(GifReader &r, unsigned char label, FILE *to) {
    const unsigned char start[] = {GIF_EXTENSION_INTRODUCER, label};
    return forwardChecked(to, start, sizeof start) && passSubBlocks(r, to);
}

// After 0x21: comments go to the caller; plain text, graphic control and
// application extensions are passed; any other label is a fault.
int nextExtension(GifReader &r, FILE *to) {
    unsigned char label;
    if (!takeByte(r.input, label)) return GIF_BLOCK_FAULT;
    switch (label) {
        case GIF_LABEL_COMMENT:
            return GIF_BLOCK_COMMENT;
        case GIF_LABEL_PLAIN_TEXT:
        case GIF_LABEL_GRAPHIC_CONTROL:
        case GIF_LABEL_APPLICATION:
            return passExtension(r, label, to) ? GIF_BLOCK_PASSED : GIF_BLOCK_FAULT;
        default:
            return GIF_BLOCK_FAULT;
    }
}

}  // namespace

GifReader startGifReader(FILE *in, ImageWork &work) {
    static_assert(GIF_INPUT_SIZE <= IMAGE_INPUT_SIZE, "the input blocks fit the scratch");
    return GifReader{startBlockInput(in, work.input, GIF_INPUT_SIZE), work.field, work.head,
                     GIF_COMMENT_EMPTY, 0};
}

bool passGifHeader(GifReader &r, FILE *to) {
    return passBytes(r, GIF_HEADER_SIZE, to) &&
           passColorTable(r, r.block[SCREEN_PACKED_OFFSET], to);
}

int nextGifBlock(GifReader &r, FILE *to) {
    for (;;) {
        unsigned char introducer;
        // A stream that ends before its trailer ends here.
        if (!takeByte(r.input, introducer)) return GIF_BLOCK_FAULT;
        switch (introducer) {
            case GIF_EXTENSION_INTRODUCER: {
                int kind = nextExtension(r, to);
                if (kind != GIF_BLOCK_PASSED) return kind;
                break;
            }
            case GIF_IMAGE_SEPARATOR:
                return GIF_BLOCK_IMAGE;
            case GIF_TRAILER:
                return GIF_BLOCK_TRAILER;
            default:  // a zero byte between blocks, or any other stray byte
                return GIF_BLOCK_FAULT;
        }
    }
}

bool passGifImage(GifReader &r, FILE *to) {
    return passBytes(r, IMAGE_DESCRIPTOR_SIZE, to) &&
           passColorTable(r, r.block[IMAGE_PACKED_OFFSET], to) &&
           passBytes(r, 1, to) &&  // LZW minimum code size
           passSubBlocks(r, to);
}

// The class is decided by the first sub-block's length alone; only an
// examined one is read here.
int readGifCommentStart(GifReader &r) {
    if (!takeByte(r.input, r.commentLength)) return GIF_COMMENT_FAULT;
    if (r.commentLength == 0) {
        r.commentClass = GIF_COMMENT_EMPTY;
    } else if (r.commentLength < GIF_EXAMINED_COMMENT_MIN) {
        r.commentClass = GIF_COMMENT_SHORT;
    } else {
        if (!takeBytes(r.input, r.head, r.commentLength)) return GIF_COMMENT_FAULT;
        r.commentClass = isEmojiTag(r.head) ? GIF_COMMENT_EMOJI : GIF_COMMENT_EXAMINED;
    }
    return r.commentClass;
}

bool passGifCommentRest(GifReader &r, FILE *to) {
    // An empty comment is complete with its zero length byte.
    if (r.commentClass == GIF_COMMENT_EMPTY) return true;
    if (r.commentClass == GIF_COMMENT_SHORT && !passBytes(r, r.commentLength, to)) return false;
    return passSubBlocks(r, to);
}

int pullGifSubBlock(GifReader &r, FILE *to) {
    unsigned char n;
    if (!takeByte(r.input, n)) return -1;
    forwardUnchecked(to, &n, 1);
    if (n == GIF_BLOCK_TERMINATOR) return 0;
    return passBytes(r, n, to) ? n : -1;
}

bool copyGifRest(GifReader &r, FILE *out) {
    return copyBlockInputRest(r.input, out);
}
