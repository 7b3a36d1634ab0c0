// whole_file.h - how the programs write an output file whole: under a
// temporary name beside it, taking its name only when it is complete and,
// unless its writer keeps an empty one, holds content, that is, anything
// after its preamble (a byte-order mark, say). A run that had nothing to
// write leaves the old file as it was: an empty list would take the place of
// one that may hold hours of work. Standard output is written through the
// same calls. Each writer words the results itself.
#ifndef EMOJITAG_WHOLE_FILE_H
#define EMOJITAG_WHOLE_FILE_H

#include <cstdio>

#include "platform_file.h"

// Flags of beginWholeFile: SAFE_BINARY or SAFE_TEXT, and
constexpr int WHOLE_KEEP_EMPTY = 0x10;  // a file without content takes its name too
constexpr int WHOLE_FILES_ONLY = 0x20;  // refuse a name that leads to anything but a regular file
constexpr int WHOLE_BODY_LATER = 0x40;  // the body goes to `body` first, copied in at the finish

// Results of beginWholeFile and finishWholeFile.
constexpr int WHOLE_DONE = 0;     // begun; or the new file stands at its name
constexpr int WHOLE_EMPTY = 1;    // nothing after the preamble: the old file stays
constexpr int WHOLE_FAILED = -1;  // not begun, not written whole, or not placed: the old file stays
constexpr int WHOLE_NOT_FILE = -2;  // (WHOLE_FILES_ONLY) the name leads to no regular file

// The per-call state of a whole file; the caller keeps it from begin to finish.
struct WholeFile {
    const char *path;  // null for standard output
    FILE *stream;      // where the writer writes
    FILE *body;        // WHOLE_BODY_LATER: the scratch file the body is written to
    int flags;
    long contentStart;  // where the content begins, after any preamble
    SafeFile file;
    SafeFile bodyFile;
};

// Begins the new file for `path` (null: standard output). WHOLE_DONE, or a
// failure with the system's reason in *reason (an errno value; 0 when the name
// is refused for what stands there: a directory, FIFO or device).
int beginWholeFile(WholeFile *f, const char *path, int flags, int *reason);
// What has been written so far is preamble, not content.
void endWholeFilePreamble(WholeFile *f);
// Flushes standard output; for a file, copies in the body, then puts the new
// file in its place when it holds content (or is kept empty), or removes it.
// WHOLE_FAILED comes with the system's reason in *reason (0 when none is known).
int finishWholeFile(WholeFile *f, int *reason);
// Removes the new file: the old file stays as it was.
void abandonWholeFile(WholeFile *f);

// "cannot write", followed by the reason's text when there is one; valid
// until the next call.
const char *cannotWrite(int reason);

#endif
