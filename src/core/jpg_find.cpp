// jpg_find.cpp - walks a JPEG marker by marker, as the rewriter does, and
// keeps the first emoji comment, before or after the scans; and reads a
// picture's size from its frame header (SOFn) with the same walk.
#include <cstring>

#include "embed.h"
#include "emoji_comment.h"
#include "jpg_reader.h"

namespace {

// COM: the first emoji comment is kept whole; every other comment is passed
// over. One longer than the room makes the result TEXT_TOO_LONG.
bool readJpgComment(JpgReader &r, FoundText &text, int &result) {
    int kind = readJpgCommentStart(r);
    if (kind == JPG_COMMENT_FAULT) return false;
    if (result != TEXT_NONE || kind != JPG_COMMENT_EMOJI) return passJpgCommentRest(r, nullptr);
    if (EMOJI_TAG_SIZE + r.commentRest > text.room) {
        result = TEXT_TOO_LONG;
        return passJpgCommentRest(r, nullptr);
    }
    std::memcpy(text.text, r.head, EMOJI_TAG_SIZE);
    if (!pullJpgCommentRest(r, text.text + EMOJI_TAG_SIZE)) return false;
    text.length = EMOJI_TAG_SIZE + r.commentRest;
    result = TEXT_FOUND;
    return true;
}

}  // namespace

// The walk stops at the first frame header; a scan, EOI or a fault before
// it leaves the size unknown.
bool readJpgSize(FILE *in, ImageWork &work, unsigned &width, unsigned &height) {
    JpgReader r = startJpgReader(in, work);
    r.stopAtFrame = true;
    if (!passJpgStart(r, nullptr)) return false;
    for (;;) {
        switch (nextJpgMarker(r, nullptr)) {
            case JPG_MARKER_FRAME:
                return readJpgFrameSize(r, width, height);
            case JPG_MARKER_COMMENT:
                if (readJpgCommentStart(r) == JPG_COMMENT_FAULT || !passJpgCommentRest(r, nullptr))
                    return false;
                break;
            default:
                return false;
        }
    }
}

int findJpgEmojiText(FILE *in, FoundText *text, ImageWork &work) {
    JpgReader r = startJpgReader(in, work);
    int result = TEXT_NONE;
    if (!passJpgStart(r, nullptr)) return TEXT_MALFORMED;
    for (int kind; (kind = nextJpgMarker(r, nullptr)) != JPG_MARKER_END;) {
        bool ok = kind == JPG_MARKER_SCAN      ? passJpgScan(r, nullptr)
                  : kind == JPG_MARKER_COMMENT ? readJpgComment(r, *text, result)
                                               : false;
        if (!ok) return TEXT_MALFORMED;
    }
    // Nothing after EOI is read.
    return result;
}
