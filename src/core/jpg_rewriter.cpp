// jpg_rewriter.cpp - copies a JPEG marker by marker in one pass and places the
// emoji text as one COM segment: in place of the first emoji comment before
// the first scan, otherwise right before the first SOS. Other emoji comments,
// and examined comments met once the text is placed, are removed whole.
#include <cstdio>

#include "embed.h"
#include "emoji_comment.h"
#include "jpg_markers.h"
#include "jpg_reader.h"
#include "stream_io.h"

// SOS after the inserted comment needs a marker of its own.
static const unsigned char SOS_MARKER[] = {M_PREFIX, M_SOS};
// A removed comment's 0xFF and code byte are already out: the output steps
// back over them so that the next marker overwrites them.
constexpr long REMOVED_MARKER_SIZE = 2;

// State of one rewrite.
struct JpgRewrite {
    JpgReader reader;
    FILE *out;
    EmbedCall &call;
    bool emojiPlaced;  // the text has been handed to the writer (first SOS or an emoji comment)
};

// SOS: the first one gets the emoji text in front of it (the 0xFF already out
// becomes the comment's marker); then the header and the entropy-coded data.
static bool copyJpgScan(JpgRewrite &rw) {
    if (!rw.emojiPlaced) {
        rw.emojiPlaced = true;
        if (writeEmojiInfoJpg(rw.out, rw.call, 1) < 0) return false;
        if (!writeChecked(rw.out, SOS_MARKER, sizeof SOS_MARKER)) return false;
    } else if (!writeByteChecked(rw.out, M_SOS)) {
        return false;
    }
    return passJpgScan(rw.reader, rw.out);
}

// A comment of up to 7 data bytes is copied without looking at its content:
// length tested, data not.
static bool copyJpgShortComment(JpgRewrite &rw) {
    JpgReader &r = rw.reader;
    return writeChecked(rw.out, r.lengthField, JPG_LENGTH_SIZE) && passJpgCommentRest(r, rw.out);
}

// An examined comment copied: length and first bytes tested, the rest not.
static bool copyJpgComment(JpgRewrite &rw) {
    JpgReader &r = rw.reader;
    return writeChecked(rw.out, r.lengthField, JPG_LENGTH_SIZE) &&
           writeChecked(rw.out, r.head, EMOJI_TAG_SIZE) && passJpgCommentRest(r, rw.out);
}

// Removes a comment whose 0xFF 0xFE are out: the output steps back 2 bytes,
// and the next marker's 0xFF and code overwrite them.
static bool removeJpgComment(JpgRewrite &rw) {
    if (std::fseek(rw.out, -REMOVED_MARKER_SIZE, SEEK_CUR) != 0) return false;
    return passJpgCommentRest(rw.reader, nullptr);
}

// An emoji comment receives the text in place of its own data, or goes when
// the text is out already.
static bool replaceJpgComment(JpgRewrite &rw) {
    rw.emojiPlaced = true;
    int written = writeEmojiInfoJpg(rw.out, rw.call, 0);
    if (written < 0) return false;
    if (written == 0) return passJpgCommentRest(rw.reader, nullptr);
    return removeJpgComment(rw);
}

// COM: short comments are copied; an emoji comment receives the text in place
// (or goes, when the text is out already); other examined comments are copied
// until the text is placed and removed after.
static bool handleJpgComment(JpgRewrite &rw) {
    if (!writeByteChecked(rw.out, M_COM)) return false;
    int kind = readJpgCommentStart(rw.reader);
    if (kind == JPG_COMMENT_FAULT) return false;
    if (kind == JPG_COMMENT_SHORT) return copyJpgShortComment(rw);
    if (kind == JPG_COMMENT_EMOJI && rw.call.replaceOld) return replaceJpgComment(rw);
    if (!rw.emojiPlaced) return copyJpgComment(rw);
    return removeJpgComment(rw);
}

// EOI ends the image; whatever follows it is copied as it is.
static int copyJpgEnd(JpgRewrite &rw) {
    if (!writeByteChecked(rw.out, M_EOI)) return -1;
    return copyJpgRest(rw.reader, rw.out) ? 0 : -1;
}

int setJpgData(FILE *in, FILE *out, EmbedCall &call) {
    JpgRewrite rw{startJpgReader(in, *call.work), out, call, false};
    // SOI and the first marker's 0xFF are copied before they are tested.
    if (!passJpgStart(rw.reader, out)) return REWRITE_FAULT;
    for (;;) {
        bool ok;
        // Every other marker and its segment or data are copied by the
        // reader on its way.
        switch (nextJpgMarker(rw.reader, out)) {
            case JPG_MARKER_END:  // the bytes after it are copied as they are
                return copyJpgEnd(rw) == 0 ? REWRITE_DONE : REWRITE_FAULT;
            case JPG_MARKER_SCAN:  // the first gets the emoji text in front of it
                ok = copyJpgScan(rw);
                break;
            case JPG_MARKER_COMMENT:  // copied, replaced or removed
                ok = handleJpgComment(rw);
                break;
            default:  // a short read, or no marker where one must begin
                return REWRITE_FAULT;
        }
        if (!ok) return REWRITE_FAULT;
    }
}
