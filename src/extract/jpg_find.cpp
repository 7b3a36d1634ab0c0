// jpg_find.cpp - walks a JPEG marker by marker, as the rewriter does, and
// keeps the first emoji comment, before or after the scans.
#include <cstring>

#include "emoji_comment.h"
#include "extract.h"
#include "jpg_reader.h"

namespace {

// COM: the first emoji comment is kept whole; every other comment is passed
// over. A segment holds at most EMOJI_TEXT_MAX data bytes: it always fits.
bool readJpgComment(JpgReader &r, EmojiText &text, bool &found) {
    int kind = readJpgCommentStart(r);
    if (kind == JPG_COMMENT_FAULT) return false;
    if (found || kind != JPG_COMMENT_EMOJI) return passJpgCommentRest(r, nullptr);
    auto *bytes = reinterpret_cast<unsigned char *>(text.bytes);
    std::memcpy(bytes, r.head, EMOJI_TAG_SIZE);
    if (!pullJpgCommentRest(r, bytes + EMOJI_TAG_SIZE)) return false;
    text.len = EMOJI_TAG_SIZE + r.commentRest;
    found = true;
    return true;
}

}  // namespace

int findJpgEmojiText(FILE *in, EmojiText &text) {
    JpgReader r = startJpgReader(in);
    bool found = false;
    if (!passJpgStart(r, nullptr)) return TEXT_MALFORMED;
    for (int kind; (kind = nextJpgMarker(r, nullptr)) != JPG_MARKER_END;) {
        bool ok = kind == JPG_MARKER_SCAN      ? passJpgScan(r, nullptr)
                  : kind == JPG_MARKER_COMMENT ? readJpgComment(r, text, found)
                                               : false;
        if (!ok) return TEXT_MALFORMED;
    }
    // Nothing after EOI is read.
    return found ? TEXT_FOUND : TEXT_NONE;
}
