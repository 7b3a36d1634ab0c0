// line_findings.cpp - compares what a list line says with what the reader
// takes from it and what emojitag would store.
#include "line_findings.h"

#include <cstdio>
#include <cstring>

#include "image_formats.h"
#include "image_job.h"
#include "platform_dir.h"
#include "qz_cc_api.h"
#include "show_text.h"
#include "text_encoding.h"

namespace {

// The end of what the line says, before its line end (LF, CR LF, or a CR
// at the end of the file) and before a NUL, which ends the line for the
// reader.
const char *saidEnd(const char *bytes) {
    const char *end = bytes + std::strlen(bytes);
    if (end > bytes && end[-1] == '\n') end--;
    if (end > bytes && end[-1] == '\r') end--;
    return end;
}

// The text field against the text the reader keeps of it: a quoted text ends
// at the next double quote and the rest of the line is dropped; a CR within
// the text ends it; an empty field leaves the line end as the text.
void findTextFindings(const ListLine &line, LineFindings *findings) {
    const char *start = line.bytes;
    while (isSpaceByte(static_cast<unsigned char>(*start)))
        start++;
    const char *field = std::strchr(start, ',') + 1;  // the reader took the line
    const char *end = saidEnd(line.bytes);
    if (end < field) end = field;
    size_t said = static_cast<size_t>(end - field);
    if (*field == '"') {
        const char *close = std::strchr(field + 1, '"');
        said = static_cast<size_t>(close - field - 1);
        if (close + 1 < end) addFinding(findings, "text after the closing double quote is dropped");
    }
    size_t kept = std::strlen(line.text);
    if (kept < said) addFinding(findings, "a carriage return within the text ends it");
    if (kept > said) addFinding(findings, "no text: emojitag stores the line end as the text");
}

void findPictureFinding(const ListLine &line, LineFindings *findings) {
    int kind;
    if (pathEntryKind(resolveImgPath(line.name), &kind) != 0) {
        addFinding(findings, "not found");
    } else if (kind != ENTRY_FILE) {
        addFinding(findings, "not a regular file");
    }
}

}  // namespace

// "skipped: not a .gif, .jpg or .jpeg name"
static const char *badSuffixFinding() {
    static char finding[96];
    char suffixes[64];
    std::snprintf(finding, sizeof finding, "skipped: not a %s name",
                  listImageSuffixes(suffixes, sizeof suffixes));
    return finding;
}

const char *refusalFinding(int refusal) {
    switch (refusal) {
        case REFUSED_BLANK:
            return "skipped: a blank line";
        case REFUSED_NO_COMMA:
            return "skipped: no comma after the name";
        case REFUSED_NO_DOT:
            return "skipped: the name has no suffix";
        case REFUSED_BAD_SUFFIX:
            return badSuffixFinding();
        case REFUSED_NO_TEXT:
            return "skipped: nothing after the comma";
        default:
            return "skipped: the double quote before the text is not closed on the line";
    }
}

void addFinding(LineFindings *findings, const char *reason) {
    if (findings->count < LINE_FINDINGS_MAX) findings->reasons[findings->count++] = reason;
}

void findLineFindings(const ListLine &line, int lineNo, bool lookForPicture,
                      LineFindings *findings) {
    findings->count = 0;
    if (lineNo == 1 && std::strncmp(line.bytes, UTF8_BOM, UTF8_BOM_SIZE) == 0)
        addFinding(findings, "the list begins with a byte-order mark, taken as part of the name");
    if (std::strlen(line.bytes) < line.length)
        addFinding(findings, "a zero byte ends the line early");
    if (line.length == READER_LINE_MAX && line.bytes[line.length - 1] != '\n')
        addFinding(findings, "longer than 32767 bytes: the rest is read as further lines");
    if (line.type == PICTURE_NONE) {
        addFinding(findings, refusalFinding(line.refusal));
        return;
    }
    findTextFindings(line, findings);
    if (line.converted == QZ_CC_SUBSTITUTED) {
        bool utf8 = isUtf8(line.bytes, std::strlen(line.bytes));
        addFinding(findings, utf8 ? "the list looks like UTF-8: emojitag reads CP932"
                                  : "bytes that are not CP932 are stored as ?");
    } else if (line.converted == QZ_CC_OUTPUT_FULL) {
        addFinding(findings, "text longer than 16385 characters: the rest is dropped");
    }
    const char *cut = textCutProblem(*imageFormatOfType(line.type), line.utf8);
    if (cut != nullptr) addFinding(findings, cut);
    if (lookForPicture) findPictureFinding(line, findings);
}

void printFindings(FILE *out, int lineNo, const ListLine &line, const LineFindings &findings) {
    if (findings.count == 0) return;
    Shown name;
    showListName(&name, line.name);
    for (int i = 0; i < findings.count; i++)
        std::fprintf(out, "%d:%s: %s\n", lineNo, name.text, findings.reasons[i]);
}
