// gif_rewriter.cpp - copies a GIF block by block in one pass and puts the
// emoji comment into the copy: in place of the first emoji comment before the
// first image, else right before the first image, else before the trailer.
// Later emoji comments, and examined comments after one, are left out.
#include "embed.h"
#include "gif_format.h"
#include "gif_reader.h"
#include "stream_io.h"

// State of one rewrite.
struct GifRewrite {
    GifReader reader;
    FILE *out;
    EmbedCall &call;
    bool emojiPlaced;  // the writer has been called at an emoji comment or image
    bool emojiSeen;    // an emoji comment has been met
};

static int writeEmojiComment(GifRewrite &rw) {
    return writeEmojiInfoGif(rw.out, rw.call) < 0 ? -1 : 0;
}

// The three bytes that open a copied comment: introducer, label, length.
static bool writeCommentStart(GifRewrite &rw) {
    const unsigned char start[] = {GIF_EXTENSION_INTRODUCER, GIF_LABEL_COMMENT,
                                   rw.reader.commentLength};
    return writeChecked(rw.out, start, sizeof start);
}

// A comment whose first sub-block is long enough to hold "<emoji>": replaced
// when it is the first emoji comment, left out after an emoji comment, else
// copied.
static int handleGifExaminedComment(GifRewrite &rw) {
    GifReader &r = rw.reader;
    if (r.commentClass == GIF_COMMENT_EMOJI) {
        rw.emojiSeen = true;
        if (rw.call.replaceOld) {
            // The new comment goes where the old one began; once the text is
            // out, the writer does nothing here.
            rw.emojiPlaced = true;
            if (writeEmojiComment(rw) != 0) return -1;
        }
    }
    if (rw.emojiSeen && rw.emojiPlaced) return passGifCommentRest(r, nullptr) ? 0 : -1;
    if (!writeCommentStart(rw) || !writeChecked(rw.out, r.head, r.commentLength)) return -1;
    return passGifCommentRest(r, rw.out) ? 0 : -1;
}

// After 0x21 0xFE: an empty or short comment is copied without looking at
// its content.
static int handleGifComment(GifRewrite &rw) {
    int kind = readGifCommentStart(rw.reader);
    if (kind == GIF_COMMENT_FAULT) return -1;
    if (kind == GIF_COMMENT_EXAMINED || kind == GIF_COMMENT_EMOJI)
        return handleGifExaminedComment(rw);
    if (!writeCommentStart(rw)) return -1;
    return passGifCommentRest(rw.reader, rw.out) ? 0 : -1;
}

// After 0x2C: the emoji comment goes before the first image, after whatever
// extensions precede it; then descriptor, local table, LZW code size, data.
static int copyGifImage(GifRewrite &rw) {
    if (!rw.emojiPlaced) {
        rw.emojiPlaced = true;
        if (writeEmojiComment(rw) != 0) return -1;
    }
    if (!writeByteChecked(rw.out, GIF_IMAGE_SEPARATOR)) return -1;
    return passGifImage(rw.reader, rw.out) ? 0 : -1;
}

// A file without any image gets the emoji comment right before its trailer.
// Whatever follows the trailer (data of a container that counts from the
// file's end) is copied as it is.
static int writeGifTrailer(GifRewrite &rw) {
    if (!rw.emojiPlaced && writeEmojiComment(rw) != 0) return -1;
    if (!writeByteChecked(rw.out, GIF_TRAILER)) return -1;
    return copyGifRest(rw.reader, rw.out) ? 0 : -1;
}

int setGifData(FILE *in, FILE *out, EmbedCall &call) {
    GifRewrite rw{startGifReader(in, *call.work), out, call, false, false};
    // The header is copied before anything is tested.
    if (!passGifHeader(rw.reader, out)) return REWRITE_FAULT;
    for (;;) {
        int result;
        // Extensions other than comments are copied by the reader on its way.
        switch (nextGifBlock(rw.reader, out)) {
            case GIF_BLOCK_COMMENT:
                result = handleGifComment(rw);
                break;
            case GIF_BLOCK_IMAGE:
                result = copyGifImage(rw);
                break;
            case GIF_BLOCK_TRAILER:
                return writeGifTrailer(rw) == 0 ? REWRITE_DONE : REWRITE_FAULT;
            default:  // a short read, a stray byte or an unknown label
                return REWRITE_FAULT;
        }
        if (result != 0) return REWRITE_FAULT;
    }
}
