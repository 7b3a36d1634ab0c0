// check_mode.cpp - --check: reads an emoji list as emojitag does and compares
// the text each named image carries with the text the line would embed.
// Findings go to standard output, one line each, and matches print nothing;
// or every line becomes a card of the sheet.
#include <cstring>

#include "driver.h"
#include "embed.h"
#include "emoji_comment.h"
#include "extract.h"
#include "job_context.h"

namespace {

// The text the comment writer would store for this line's image, and its
// length: all of it in a JPEG, the pieces the GIF writer keeps in a GIF.
size_t expectedTextLength(int imgType) {
    return imgType == IMG_GIF ? gifCommentTextLength(emojiUtf8) : std::strlen(emojiUtf8);
}

// Whether the stored text would be an emoji comment at all: one that the
// rewriters (and this reader) classify as such.
bool isEmojiComment(size_t len, int imgType) {
    size_t min = imgType == IMG_GIF ? GIF_EXAMINED_COMMENT_MIN : JPG_EXAMINED_COMMENT_MIN;
    return len >= min && isEmojiTag(emojiUtf8);
}

// The finding for one line, or null when the image carries what the line
// would embed; the image's text is left in emojiText.
const char *compareLine(const char *path, int imgType, int &textResult) {
    size_t len = expectedTextLength(imgType);
    bool expected = isEmojiComment(len, imgType);
    switch (textResult = readEmojiText(path, imgType)) {
        case TEXT_CANNOT_OPEN:
            return "not found";
        case TEXT_MALFORMED:
            return "malformed";
        case TEXT_NONE:
            return expected ? "no emoji text" : nullptr;
        case TEXT_TOO_LONG:
            return "differs";
        default:
            bool same =
                expected && emojiTextLen == len && std::memcmp(emojiText, emojiUtf8, len) == 0;
            return same ? nullptr : "differs";
    }
}

// What the line just read comes to; `imgType` is the reader's result.
LineResult checkLine(int imgType, bool outFiles) {
    LineResult r{lineNo, imgType, imgFile, imgFile, emojiUtf8, 0, TEXT_NONE, "refused"};
    if (imgType == 0) return r;  // refused: the reader has printed its message
    convertEmojiText();
    r.listTextLen = std::strlen(emojiUtf8);
    r.path = resolveImgPath(imgFile);
    if (outFiles) {
        buildOutName(r.path);
        r.path = outfname;
    }
    r.finding = compareLine(r.path, imgType, r.textResult);
    return r;
}

}  // namespace

int checkList(const char *listPath, bool outFiles, HtmlSheet *sheet) {
    FILE *fp = openCsvList(listPath);  // the reader prints why not
    if (fp == nullptr) return -1;
    int findings = 0;
    lineNo = 0;
    for (int type; (type = nextCsvLine(fp)) != -1;) {
        LineResult r = checkLine(type, outFiles);
        if (r.finding != nullptr) findings++;
        if (sheet != nullptr) {
            writeLineCard(*sheet, r);
        } else if (r.finding != nullptr && r.imgType != 0) {
            std::printf("%d:", r.lineNo);
            putShown(stdout, r.listName);
            std::printf(": %s\n", r.finding);
        }
    }
    std::fclose(fp);
    return findings == 0 ? 0 : 1;
}
