// line_findings.h - what emojitag would do with a list line other than what
// the line says: lines it skips, text it drops or changes, a GIF comment that
// cannot keep the text, a picture that is not there. One function finds
// them; printing is apart, so that every report shows the same findings.
#ifndef EMOJITAG_LINE_FINDINGS_H
#define EMOJITAG_LINE_FINDINGS_H

#include <cstdio>

#include "list_reader.h"

constexpr int LINE_FINDINGS_MAX = 8;

// The findings of one line, in the order the line is read; each a fixed text.
struct LineFindings {
    int count;
    const char *reasons[LINE_FINDINGS_MAX];
};

void addFinding(LineFindings *findings, const char *reason);

// What a line the reader refuses is told, by the reader's reason.
const char *refusalFinding(int refusal);

// The findings of a line the reader has read (and converted, when it took
// it); `lineNo` as the reader counts lines. With `lookForPicture`, also
// whether the picture the line names is there.
void findLineFindings(const ListLine &line, int lineNo, bool lookForPicture,
                      LineFindings *findings);

// "LINE:NAME: reason", one line each, with the line's name as reports show
// it (as the file system has it where the file is there).
void printFindings(FILE *out, int lineNo, const ListLine &line, const LineFindings &findings);

#endif
