// output_file.h - what emojitag-list reads, and where it writes: standard output, or a file
// written whole (see whole_file.h). All handling of output files is here.
#ifndef EMOJITAG_OUTPUT_FILE_H
#define EMOJITAG_OUTPUT_FILE_H

#include <cstdio>

#include "platform_file.h"

struct OutputFile {
    const char *path;  // null for standard output
    FILE *stream;
    SafeFile file;      // the new file, for a named output
    long contentStart;  // where the content begins, after any preamble
};

// Opens the output named `path` (null: standard output); false, reported,
// when it cannot be written.
bool openOutput(OutputFile *out, const char *path);
// What has been written so far (a byte-order mark) is no content.
void endPreamble(OutputFile *out);
// Flushes and closes the output; with `keep` a file takes its place, without
// it the old file stays as it was. False, reported, when it could not be
// written whole, or when no content was written (a file then stays as it was).
bool finishOutput(OutputFile *out, bool keep);

// Opens a named input for reading: a regular file only (a directory, FIFO
// or device is null at once, never waited on).
FILE *openInput(const char *path);

#endif
