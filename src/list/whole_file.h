// whole_file.h - how the companions write a file whole: under a temporary
// name beside it, taking its name only when it is complete and holds
// content, that is, anything after its preamble (a byte-order mark, say). A
// run that had nothing to write leaves the old file as it was: an empty list
// would take the place of one that may hold hours of work.
#ifndef EMOJITAG_WHOLE_FILE_H
#define EMOJITAG_WHOLE_FILE_H

#include "platform_file.h"

// Results of finishWholeFile.
constexpr int WHOLE_DONE = 0;     // the new file stands at its name
constexpr int WHOLE_EMPTY = 1;    // nothing after the preamble: the old file stays
constexpr int WHOLE_FAILED = -1;  // not written whole, or not placed: the old file stays

// Begins the new file for `path` in *file (flags of beginSafeFile). 0, or -1
// with the system's reason in *reason (an errno value; 0 when the name is
// refused for what stands there: a directory, FIFO or device).
int beginWholeFile(SafeFile *file, const char *path, int flags, int *reason);
// Where the content begins: the position the stream has reached, to be
// taken after the preamble.
long wholeFileMark(const SafeFile *file);
// Puts the new file in its place when something was written after
// `contentStart`, or removes it. WHOLE_FAILED comes with the system's reason
// in *reason (0 when none is known).
int finishWholeFile(SafeFile *file, long contentStart, int *reason);

// "cannot write", followed by the reason's text when there is one; valid
// until the next call.
const char *cannotWrite(int reason);

#endif
