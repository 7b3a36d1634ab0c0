// extract.h - emojitag-extract: reads the emoji comment of GIF and JPEG files
// back into emoji-list lines, or checks a finished batch against its list.
#ifndef EMOJITAG_EXTRACT_H
#define EMOJITAG_EXTRACT_H

#include <cstddef>
#include <cstdio>

#include "companion_cli.h"  // the exit statuses
#include "dir_walk.h"
#include "image_formats.h"
#include "platform_file.h"
#include "whole_file.h"

#ifndef EMOJITAG_VERSION
#define EMOJITAG_VERSION "unknown"
#endif

// An image's first emoji comment: `len` bytes, NUL-terminated (they may hold
// NULs themselves).
struct EmojiText {
    char bytes[EMOJI_TEXT_MAX + 1];
    size_t len;
    FileIdentity from;  // the file opened for it ({0, 0} when none opened)
};

// What one run carries from one image and one PATH to the next.
struct ExtractRun {
    int problems;        // reported so far
    int listed;          // list lines written so far
    EmojiText text;      // the last image's emoji text
    DirWalk walk;        // every directory is walked once in a run
    WholeFile listFile;  // the list while it is written
};

// The width and height a picture is shown at; 0 by 0 when they cannot be
// read.
struct PictureSize {
    unsigned width;
    unsigned height;
};

// Reads the image at `path` of the given type (a type of the format table)
// in one pass and leaves its first emoji comment in `text`; a TEXT_* result.
// With a `size`, the image's size is read too, in the same opening of the
// file.
int readEmojiText(EmojiText &text, const char *path, int imgType, PictureSize *size = nullptr);
// Reads only the size; false when it cannot be read.
bool readPictureSize(const char *path, int imgType, PictureSize &size);
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
// The same line for what the user should know but is no problem: not counted.
void note(ExtractRun &run, const char *path, const char *reason);

// "-o LIST.csv": why the name cannot take a list (it does not end in ".csv",
// or it names a GIF or JPEG file), as the start of a usage error, or null.
const char *listNameProblem(const char *path);
// The image's name as its list line writes it (in CP932 with `cp932Names`),
// or null (reported) when no list line can carry it.
const char *listLineName(ExtractRun &run, const char *path, bool cp932Names);
// Writes the list line of the image at `path` (of type `imgType`) whose text
// is in run.text to `out`, or reports why it cannot. With `cp932Names` the
// path is written in CP932.
void writeListLine(ExtractRun &run, FILE *out, const char *path, int imgType, bool cp932Names);

// A line of a checked list as the reader has it (list_reader.h), and what
// emojitag would do with it other than what it says (line_findings.h).
struct ListLine;
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

// Where a run's results go: list lines (list_file.cpp), the cards of a
// contact sheet (html_sheet.cpp) or the rows of a table (table_output.cpp),
// chosen once for the run. `user` is the
// output's own state, handed to each call.
struct ExtractOutput {
    void *user;
    // A listed image: reads its text into the run's text (as readEmojiText
    // leaves it, whose result is returned) and writes what the output makes
    // of a text found; the other results the caller reports.
    int (*image)(void *user, const char *path, int imgType);
    // A checked line, the reader's `line` and what it comes to.
    void (*line)(void *user, const ListLine &line, const LineResult &result);
    // Ends the output when the run is done: `status` is the run's exit
    // status so far, or -1 when its list could not be read. Returns the exit
    // status.
    int (*finish)(void *user, int status);
    // A picture the walk passes over, of a format the programs do not tag
    // (isUntaggedPictureName); null where the output takes no note of them.
    void (*passedOver)(void *user, const char *path) = nullptr;
};

// The list-line output: a listing's lines go to the list file `listPath`
// (standard output for null), the paths in CP932 with `cp932Names`; a
// check's findings go to standard output. False (reported) when the list
// cannot be written.
bool beginLineOutput(ExtractOutput &out, ExtractRun &run, const char *listPath, bool cp932Names,
                     bool checking);
// The contact-sheet output: a page at `sheetPath` of the PATHs, or of the
// lines of the list `checkListPath` (their -out files with `outFiles`).
// False (reported) when the page cannot be begun.
bool beginSheetOutput(ExtractOutput &out, ExtractRun &run, const char *sheetPath,
                      char *const *paths, int pathCount, const char *checkListPath, bool outFiles);

// The table output: one row per picture listed, to the file `tablePath`
// (standard output for null), UTF-8 with its mark, or CP932 with `cp932`.
// False (reported) when the table cannot be written.
bool beginTableOutput(ExtractOutput &out, ExtractRun &run, const char *tablePath, bool cp932);

// Lists the image or the directory tree named by a command-line PATH to `out`.
void listPath(ExtractRun &run, const ExtractOutput &out, const char *path);

// --check: compares each line of the list with its image (its -out file with
// `outFiles`) and gives each line to `out`; with `removeChecked`, removes
// each -out file just found to carry its line's text, and says how many. A
// table of the set (table_to_list.h), in the encoding `from` (see
// template_source.h), is checked as the list its import writes. Returns the
// exit status, or -1 when the list cannot be read (the reader has said why).
int checkList(ExtractRun &run, const char *listPath, int from, bool outFiles, bool removeChecked,
              const ExtractOutput &out);

#endif
