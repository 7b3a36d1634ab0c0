// output_file.h - where emojitag-list writes: standard output, or a file
// that is written under a temporary name beside it and takes its place only
// when complete. All handling of output files is here.
#ifndef EMOJITAG_OUTPUT_FILE_H
#define EMOJITAG_OUTPUT_FILE_H

#include <cstddef>
#include <cstdio>

constexpr size_t OUTPUT_TEMP_NAME_SIZE = 4096 + 32;

struct OutputFile {
    const char *path;  // null for standard output
    FILE *stream;
    char tempName[OUTPUT_TEMP_NAME_SIZE];
};

// Opens the output named `path` (null: standard output); false, reported,
// when it cannot be written.
bool openOutput(OutputFile *out, const char *path);
// Flushes and closes the output; with `keep` a file takes its place, without
// it the old file stays as it was. False, reported, when it could not be
// written whole.
bool finishOutput(OutputFile *out, bool keep);

#endif
