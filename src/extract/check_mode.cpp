// check_mode.cpp - --check: reads an emoji list as emojitag does and compares
// the text each named image carries with the whole text of its line; with
// them, what the list check finds in the line itself. Findings go to
// standard output, one line each; matches print nothing.
#include <cstring>

#include "driver.h"
#include "emoji_comment.h"
#include "extract.h"
#include "line_findings.h"
#include "reader_bridge.h"

namespace {

// Whether the line's text is an emoji comment at all: one that the rewriters
// (and this reader) classify as such.
bool isEmojiComment(const char *text, size_t len, int imgType) {
    size_t min = imgType == PICTURE_GIF ? GIF_EXAMINED_COMMENT_MIN : JPG_EXAMINED_COMMENT_MIN;
    return len >= min && isEmojiTag(text);
}

// The finding for the line's image, or null when the image carries the
// line's whole text (a GIF that kept only part of it differs).
const char *compareLine(const ReaderLine &line, bool outFiles) {
    const char *path = readerImagePath(line.name);
    if (outFiles) path = readerOutName(path);
    size_t len = std::strlen(line.utf8);
    bool expected = isEmojiComment(line.utf8, len, line.type);
    switch (readEmojiText(path, line.type)) {
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
                expected && emojiTextLen == len && std::memcmp(emojiText, line.utf8, len) == 0;
            return same ? nullptr : "differs";
    }
}

// Everything found for one line: the list's own findings, then the image's.
void findCheckFindings(ReaderLine *line, int lineNo, bool outFiles, LineFindings *findings) {
    if (line->type != PICTURE_NONE) readerConvert(line);
    findLineFindings(*line, lineNo, false, findings);
    if (line->type == PICTURE_NONE) return;
    const char *finding = compareLine(*line, outFiles);
    if (finding != nullptr) addFinding(findings, finding);
}

}  // namespace

int checkList(const char *listPath, bool outFiles) {
    FILE *fp = openCsvList(listPath);  // the reader prints why not
    if (fp == nullptr) return 1;
    int found = 0;
    int lineNo = 0;
    ReaderLine line;
    while (readerNextLine(fp, &line)) {
        LineFindings findings;
        findCheckFindings(&line, ++lineNo, outFiles, &findings);
        printFindings(stdout, lineNo, line, findings);
        found += findings.count;
    }
    std::fclose(fp);
    return found == 0 ? 0 : 1;
}
