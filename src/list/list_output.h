// list_output.h - where emojitag-list writes: standard output, or a file
// written whole (whole_file.h).
#ifndef EMOJITAG_LIST_OUTPUT_H
#define EMOJITAG_LIST_OUTPUT_H

#include "whole_file.h"

// The output of a run: standard output for a null `path`, or a file written
// whole, only where a regular file or nothing stands; false, reported, when
// it cannot be written.
bool beginListOutput(WholeFile *out, const char *path);
// Finishes the output; without `keep` a file is left out and the old one
// stays as it was. False, reported, when it could not be written whole, or
// when no content was written (a file then stays as it was).
bool finishListOutput(WholeFile *out, bool keep);

#endif
