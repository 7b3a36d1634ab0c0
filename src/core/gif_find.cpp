// gif_find.cpp - walks a GIF block by block, as the rewriter does, and keeps
// the first emoji comment with its sub-blocks joined. The whole file is
// walked, so a file the rewriter would refuse is reported as malformed. A
// picture's size is its logical screen's.
#include <cstring>

#include "embed.h"
#include "gif_reader.h"

namespace {

// State of one walk.
struct GifFind {
    GifReader reader;
    FoundText *text;
    bool found;    // the first emoji comment is in `text`
    bool tooLong;  // ... but it was longer than the text's room
};

// Keeps `n` bytes of the emoji comment; past the text's room they are
// dropped.
void keepText(GifFind &f, const unsigned char *data, size_t n) {
    FoundText &t = *f.text;
    if (t.length + n > t.room) {
        f.tooLong = true;
        return;
    }
    std::memcpy(t.text + t.length, data, n);
    t.length += n;
}

// The first emoji comment, its sub-blocks joined; every other comment is
// passed over.
bool readGifComment(GifFind &f) {
    GifReader &r = f.reader;
    int kind = readGifCommentStart(r);
    if (kind == GIF_COMMENT_FAULT) return false;
    if (f.found || kind != GIF_COMMENT_EMOJI) return passGifCommentRest(r, nullptr);
    f.found = true;
    keepText(f, r.head, r.commentLength);
    for (int n; (n = pullGifSubBlock(r, nullptr)) != 0;) {
        if (n < 0) return false;
        keepText(f, r.block, static_cast<size_t>(n));
    }
    return true;
}

// "GIF87a" or "GIF89a", then the logical screen's width and height
// (little-endian).
constexpr size_t GIF_SIGNATURE_SIZE = 6;
constexpr size_t GIF_SIZE_END = 10;

}  // namespace

bool readGifSize(FILE *in, ImageWork &, unsigned &width, unsigned &height) {
    unsigned char head[GIF_SIZE_END];
    if (std::fread(head, 1, sizeof head, in) != sizeof head) return false;
    if (std::memcmp(head, "GIF8", 4) != 0) return false;
    width = head[GIF_SIGNATURE_SIZE] | head[GIF_SIGNATURE_SIZE + 1] << 8;
    height = head[GIF_SIGNATURE_SIZE + 2] | head[GIF_SIGNATURE_SIZE + 3] << 8;
    return true;
}

int findGifEmojiText(FILE *in, FoundText *found, ImageWork &work) {
    GifFind f{startGifReader(in, work), found, false, false};
    if (!passGifHeader(f.reader, nullptr)) return TEXT_MALFORMED;
    for (int kind; (kind = nextGifBlock(f.reader, nullptr)) != GIF_BLOCK_TRAILER;) {
        bool ok = kind == GIF_BLOCK_IMAGE     ? passGifImage(f.reader, nullptr)
                  : kind == GIF_BLOCK_COMMENT ? readGifComment(f)
                                              : false;
        if (!ok) return TEXT_MALFORMED;
    }
    // Nothing after the trailer is read.
    return f.tooLong ? TEXT_TOO_LONG : f.found ? TEXT_FOUND : TEXT_NONE;
}
