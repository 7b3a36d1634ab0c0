// gif_find.cpp - walks a GIF block by block, as the rewriter does, and keeps
// the first emoji comment with its sub-blocks joined. The whole file is
// walked, so a file the rewriter would refuse is reported as malformed.
#include <cstring>

#include "extract.h"
#include "gif_reader.h"

namespace {

// State of one walk.
struct GifFind {
    GifReader reader;
    EmojiText &text;
    bool found;    // the first emoji comment is in text
    bool tooLong;  // ... but it was longer than EMOJI_TEXT_MAX
};

// Keeps `n` bytes of the emoji comment in f.text; past EMOJI_TEXT_MAX
// bytes they are dropped.
void keepText(GifFind &f, const unsigned char *data, size_t n) {
    if (f.text.len + n > EMOJI_TEXT_MAX) {
        f.tooLong = true;
        return;
    }
    std::memcpy(f.text.bytes + f.text.len, data, n);
    f.text.len += n;
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

}  // namespace

int findGifEmojiText(FILE *in, EmojiText &text) {
    GifFind f{startGifReader(in), text, false, false};
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
