// check_mode.cpp - --check: reads an emoji list as emojitag does and compares
// the text each named image carries with the whole text of its line; with
// them, what the list check finds in the line itself. A table of the set is
// read as the list its import writes: each row's line is checked as a line
// of that list, numbered by its row, and a row the import refuses fails the
// check. Every line and what it comes to goes to the run's output. With
// --remove-checked, the -out file of a line found to carry the line's whole
// text is removed, and only while it is still the file that was read.
#include <cerrno>
#include <cstring>

#include "emoji_comment.h"
#include "extract.h"
#include "img_path.h"
#include "line_findings.h"
#include "list_reader.h"
#include "table_to_list.h"
#include "template_source.h"
#include "text_utf8.h"

namespace {

// The read of the list, and the output name of its line's image.
ListSpace space;
char outName[OUTFNAME_SIZE];
// A table row's list line, taken by the reader in place.
char rowLine[READER_LINE_MAX + 2];

// One check of a list or a table.
struct Check {
    ExtractRun *run;
    const ExtractOutput *out;
    ListReader reader;
    bool outFiles;
    bool removeChecked;
    int found;    // lines with a finding
    int removed;  // checked copies removed
    int kept;     // and those that stay
};

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
LineResult checkLine(EmojiText &image, ListReader &reader, int lineNo, bool outFiles,
                     LineFindings &findings) {
    const ListLine &line = reader.line;
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

// Checks the line the reader has just read or taken, as line `lineNo`.
void checkTaken(Check &c, int lineNo) {
    LineFindings findings;
    LineResult r = checkLine(c.run->text, c.reader, lineNo, c.outFiles, findings);
    if (findings.count > 0) c.found++;
    c.out->line(c.out->user, c.reader.line, r);
    if (c.removeChecked && provenLine(r)) {
        if (removeCopy(*c.run, r.path, c.run->text.from))
            c.removed++;
        else
            c.kept++;
    }
}

void checkRowLine(void *user, int row, const char *bytes, size_t len) {
    Check &c = *static_cast<Check *>(user);
    std::memcpy(rowLine, bytes, len);
    rowLine[len] = '\0';
    takeListLine(&c.reader, rowLine, len);
    checkTaken(c, row);
}

// A row the import has refused (and said why): no line, a failed check.
void checkRefusedRow(void *user, int row, const char *name) {
    Check &c = *static_cast<Check *>(user);
    c.found++;
    ListLine line{"", 0, PICTURE_NONE, REFUSED_NOT, name, "", "", 0};
    LineFindings findings{};
    addFinding(&findings, "refused by the import: no line for this picture");
    LineResult r{row, PICTURE_NONE, name,         name,      "",
                 0,   TEXT_NONE,    &c.run->text, "refused", &findings};
    c.out->line(c.out->user, line, r);
}

// "read error: REASON" about the list; true.
bool readFailed(ExtractRun &run, const char *path) {
    char reason[128];
    std::snprintf(reason, sizeof reason, "read error: %s", std::strerror(errno));
    report(run, path, reason);
    return true;
}

// Whether the first line of the file, as the reader has it, is a table's
// header row.
bool startsTableLine(const ListLine &line) {
    size_t skip = std::strncmp(line.bytes, UTF8_BOM, UTF8_BOM_SIZE) == 0 ? UTF8_BOM_SIZE : 0;
    return headStartsTable(line.bytes + skip, line.length - skip);
}

// The rows of the table open as `fp`; false when it cannot be read as one
// (reported).
bool checkTableRows(Check &c, FILE *fp, const char *path, int from) {
    int encoding = templateEncoding(fp, path, from);
    if (encoding < 0) return false;
    int refused =
        readTableRows(fp, path, encoding, TableRows{&c, checkRowLine, checkRefusedRow}, false);
    // A table refused whole (its header) has no row to fail.
    if (refused > 0 && c.found == 0) c.found = refused;
    return true;
}

}  // namespace

int checkList(ExtractRun &run, const char *listPath, int from, bool outFiles, bool removeChecked,
              const ExtractOutput &out) {
    FileIdentity id;
    FILE *fp = openListFile(listPath, &id);  // the reader prints why not
    if (fp == nullptr) return -1;
    Check c{&run, &out, {}, outFiles, removeChecked, 0, 0, 0};
    bool readOk = true;
    startListRead(&c.reader, fp, listBuffersOf(&space));
    if (readListLine(&c.reader) > 0 && startsTableLine(c.reader.line)) {
        startListRead(&c.reader, nullptr, listBuffersOf(&space));
        // The table is read from its start, in the encoding it is in.
        readOk = std::fseek(fp, 0, SEEK_SET) == 0 ? checkTableRows(c, fp, listPath, from)
                                                  : !readFailed(run, listPath);
    } else if (c.reader.lineNo > 0) {
        // A list is read once, as emojitag reads it.
        do
            checkTaken(c, c.reader.lineNo);
        while (readListLine(&c.reader) > 0);
    }
    // The lines before a read error are checked, the list is not.
    if (readOk && std::ferror(fp)) readOk = !readFailed(run, listPath);
    std::fclose(fp);
    if (removeChecked)
        std::fprintf(stderr, "emojitag-extract: removed %d checked %s\n", c.removed,
                     c.removed == 1 ? "copy" : "copies");
    return readOk && c.found == 0 && c.kept == 0 ? EXIT_OK : EXIT_PROBLEM;
}
