// extract.h - emojitag-extract: reads the emoji comment of GIF and JPEG files
// back into emoji-list lines, or checks a finished batch against its list.
#ifndef EMOJITAG_EXTRACT_H
#define EMOJITAG_EXTRACT_H

#include <cstddef>
#include <cstdio>

#include "dir_walk.h"
#include "image_formats.h"
#include "platform_file.h"

#ifndef EMOJITAG_VERSION
#define EMOJITAG_VERSION "unknown"
#endif

// Exit statuses: all done, some image or line had a problem (reported), and
// (the command line's own) a usage error.
constexpr int EXIT_OK = 0;
constexpr int EXIT_PROBLEM = 1;
constexpr int EXIT_USAGE = 2;

// An image's first emoji comment: `len` bytes, NUL-terminated (they may hold
// NULs themselves).
struct EmojiText {
    char bytes[EMOJI_TEXT_MAX + 1];
    size_t len;
};

// What one run carries from one image and one PATH to the next.
struct ExtractRun {
    int problems;       // reported so far
    int listed;         // list lines written so far
    EmojiText text;     // the last image's emoji text
    DirWalk walk;       // every directory is walked once in a run
    SafeFile listFile;  // "-o LIST.csv" while it is written
};

// Reads the image at `path` of the given type (a type of the format table)
// in one pass and leaves its first emoji comment in `text`; a TEXT_* result.
int readEmojiText(EmojiText &text, const char *path, int imgType);
// The finder of the format on an open stream, into `text`.
int findEmojiText(FILE *in, const ImageFormat &format, EmojiText &text);
// The scratch the program's finders and size readers work in, one call at a
// time.
ImageWork &readerWork();
// emojitag-extract's report of a file of the format that its finder calls
// malformed: "malformed GIF".
const char *malformedReport(const ImageFormat &format);

// "emojitag-extract: PATH: reason" on standard error; counts the problem.
// Names are shown with every control byte as '?', so that a report stays
// one line and sends nothing to the terminal.
void report(ExtractRun &run, const char *path, const char *reason);

// "-o LIST.csv": why the name cannot take a list (it does not end in ".csv",
// or it names a GIF or JPEG file), as the start of a usage error, or null.
const char *listNameProblem(const char *path);
// The list file's stream, or null (reported) when the name cannot be written.
FILE *beginListFile(ExtractRun &run, const char *path);
// Puts the complete list in its place; an old list stays when nothing was
// listed or a write failed (reported).
void finishListFile(ExtractRun &run, const char *path);

// Writes the list line of the image at `path` (of type `imgType`) whose text
// is in run.text to `out`, or reports why it cannot. With `cp932Names` the
// path is written in CP932.
void writeListLine(ExtractRun &run, FILE *out, const char *path, int imgType, bool cp932Names);

// A contact sheet being written (html_sheet.h).
struct HtmlSheet;

// Where the images go: list lines to `out` (the paths in CP932 with
// `cp932Names`), or, with a `sheet`, cards of the sheet.
struct ListTarget {
    ExtractRun *run;
    FILE *out;
    bool cp932Names;
    HtmlSheet *sheet;
};

// Lists the image or the directory tree named by a command-line PATH.
void listPath(const ListTarget &to, const char *path);

// What emojitag would do with a list line other than what it says
// (line_findings.h).
struct LineFindings;

// What one line of a checked list comes to.
struct LineResult {
    int lineNo;
    int imgType;           // 0 for a line the reader refused (it has said why)
    const char *listName;  // the image's name as the list writes it
    const char *path;      // the file compared
    const char *listText;  // the text the line would embed, UTF-8
    size_t listTextLen;
    int textResult;              // readEmojiText's result
    const EmojiText *imageText;  // the image's text
    const char *finding;         // null when the image carries the line's text
    // Every finding of the line: the list's own, then the image's.
    const LineFindings *findings;
};

// --check: compares each line of the list with its image (its -out file with
// `outFiles`); each finding goes to standard output, or each line to the
// `sheet` as a card. Returns the exit status, or -1 when the list cannot be
// read (the reader has said why).
int checkList(ExtractRun &run, const char *listPath, bool outFiles, HtmlSheet *sheet);

// The sheet's cards. A listed image's card: the image is read for it (its
// text left in the run's text as readEmojiText leaves it, whose result is
// returned). A checked line's card.
int writePictureCard(HtmlSheet &sheet, const char *path, int imgType);
void writeLineCard(HtmlSheet &sheet, const LineResult &line);

// --html: writes the contact sheet of the PATHs, or of the lines of the list
// `checkListPath`, to `sheetPath`; returns the exit status.
int writeSheet(ExtractRun &run, const char *sheetPath, char *const *paths, int pathCount,
               const char *checkListPath, bool outFiles);

#endif
