// check_mode.cpp - --check: reads an emoji list as emojitag does and compares
// the text each named image carries with the whole text of its line; with
// them, what the list check finds in the line itself. Findings go to
// standard output, one line each, and matches print nothing (a line the
// reader refuses gets its message on standard error too); or every line
// becomes a card of the sheet.
#include <cerrno>
#include <cstring>

#include "emoji_comment.h"
#include "extract.h"
#include "image_job.h"
#include "line_findings.h"
#include "list_reader.h"

namespace {

// The read of the list, and the output name of its line's image.
ListSpace space;
char outName[OUTFNAME_SIZE];

// Whether the line's text is an emoji comment at all: one that the rewriters
// (and this reader) classify as such.
bool isEmojiComment(const char *text, size_t len, int imgType) {
    return len >= imageFormatOfType(imgType)->examinedCommentMin && isEmojiTag(text);
}

// The finding for the line's image, or null when the image carries the
// line's whole text (a GIF that kept only part of it differs); the image's
// text is left in `image`.
const char *compareLine(EmojiText &image, const char *path, const char *text, int imgType,
                        int &textResult) {
    size_t len = std::strlen(text);
    bool expected = isEmojiComment(text, len, imgType);
    switch (textResult = readEmojiText(image, path, imgType)) {
        case TEXT_CANNOT_OPEN:
            return "not found";
        case TEXT_MALFORMED:
            return "malformed";
        case TEXT_NONE:
            return expected ? "no emoji text" : nullptr;
        case TEXT_TOO_LONG:
            return "differs";
        default:
            bool same = expected && image.len == len && std::memcmp(image.bytes, text, len) == 0;
            return same ? nullptr : "differs";
    }
}

// What the line just read comes to: the list's own findings, then the
// image's, all in `findings`.
LineResult checkLine(EmojiText &image, ListReader &reader, bool outFiles, LineFindings &findings) {
    const ListLine &line = reader.line;
    int lineNo = reader.lineNo;
    LineResult r{lineNo, line.type, line.name, line.name, "",
                 0,      TEXT_NONE, &image,    "refused", &findings};
    if (line.type != PICTURE_NONE) convertListText(&reader);
    findLineFindings(line, lineNo, false, &findings);
    if (line.type == PICTURE_NONE) return r;
    r.listText = line.utf8;
    r.listTextLen = std::strlen(line.utf8);
    r.path = resolveImgPath(line.name);
    if (outFiles) {
        writeOutName(outName, r.path);
        r.path = outName;
    }
    r.finding = compareLine(image, r.path, line.utf8, line.type, r.textResult);
    if (r.finding != nullptr) addFinding(&findings, r.finding);
    return r;
}

}  // namespace

int checkList(ExtractRun &run, const char *listPath, bool outFiles, HtmlSheet *sheet) {
    FileIdentity id;
    FILE *fp = openListFile(listPath, &id);  // the reader prints why not
    if (fp == nullptr) return -1;
    int found = 0;
    ListReader reader;
    startListRead(&reader, fp, listBuffersOf(&space));
    while (readListLine(&reader) > 0) {
        LineFindings findings;
        LineResult r = checkLine(run.text, reader, outFiles, findings);
        if (findings.count > 0) found++;
        if (sheet != nullptr) {
            writeLineCard(*sheet, r);
        } else {
            printFindings(stdout, reader.lineNo, reader.line, findings);
            // As emojitag would say it, beside the finding.
            reportListRefusal(reader.line, reader.lineNo);
        }
    }
    // The lines before a read error are checked, the list is not.
    bool readOk = !std::ferror(fp);
    if (!readOk) {
        char reason[128];
        std::snprintf(reason, sizeof reason, "read error: %s", std::strerror(errno));
        report(run, listPath, reason);
    }
    std::fclose(fp);
    return readOk && found == 0 ? EXIT_OK : EXIT_PROBLEM;
}
