// check_mode.cpp - --check: reads an emoji list as emojitag does and compares
// the text each named image carries with the whole text of its line; with
// them, what the list check finds in the line itself. Every line and what
// it comes to goes to the run's output. With --remove-checked, the -out
// file of a line found to carry the line's whole text is removed, and only
// while it is still the file that was read.
#include <cerrno>
#include <cstring>

#include "emoji_comment.h"
#include "extract.h"
#include "img_path.h"
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

// Whether the line's file has just been read and found to carry the line's
// whole text, with nothing else found in the line.
bool provenLine(const LineResult &r) {
    return r.imgType != PICTURE_NONE && r.textResult == TEXT_FOUND && r.finding == nullptr &&
           r.findings->count == 0;
}

// Removes the checked copy at `path`, read as the file `checked`; false
// (reported) when it stays.
bool removeCopy(ExtractRun &run, const char *path, const FileIdentity &checked) {
    int result = removeCheckedFile(path, &checked);
    if (result == REMOVE_DONE) return true;
    char reason[160];
    std::snprintf(reason, sizeof reason, "not removed: %s",
                  result == REMOVE_NOT_SAME ? "not the file checked" : std::strerror(errno));
    report(run, path, reason);
    return false;
}

}  // namespace

int checkList(ExtractRun &run, const char *listPath, bool outFiles, bool removeChecked,
              const ExtractOutput &out) {
    FileIdentity id;
    FILE *fp = openListFile(listPath, &id);  // the reader prints why not
    if (fp == nullptr) return -1;
    int found = 0, removed = 0, kept = 0;
    ListReader reader;
    startListRead(&reader, fp, listBuffersOf(&space));
    while (readListLine(&reader) > 0) {
        LineFindings findings;
        LineResult r = checkLine(run.text, reader, outFiles, findings);
        if (findings.count > 0) found++;
        out.line(out.user, reader.line, r);
        if (removeChecked && provenLine(r)) {
            if (removeCopy(run, r.path, run.text.from))
                removed++;
            else
                kept++;
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
    if (removeChecked)
        std::fprintf(stderr, "emojitag-extract: removed %d checked %s\n", removed,
                     removed == 1 ? "copy" : "copies");
    return readOk && found == 0 && kept == 0 ? EXIT_OK : EXIT_PROBLEM;
}
