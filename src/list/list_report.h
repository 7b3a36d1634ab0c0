// list_report.h - the messages of emojitag-list: one line each on standard
// error, "emojitag-list: ", where the problem is, and what it is.
#ifndef EMOJITAG_LIST_REPORT_H
#define EMOJITAG_LIST_REPORT_H

#include <cstdarg>

#include "whole_file.h"

#if defined(__GNUC__)
#define LIST_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define LIST_PRINTF(f, a)
#endif

// "emojitag-list: SOURCE:LINE: ..." about a line of an input file.
void reportAt(const char *source, int line, const char *format, ...) LIST_PRINTF(3, 4);
// "emojitag-list: SOURCE:LINE: PICTURE: ...; no line for this picture"
// about a picture that is refused.
void reportRefusedAt(const char *source, int line, const char *picture, const char *format, ...)
    LIST_PRINTF(4, 5);
// reportAt with its arguments as a list; with a `picture` the message names
// it first, with `refused` it ends in "; no line for this picture".
void reportAtList(const char *source, int line, const char *picture, bool refused,
                  const char *format, va_list args);
// "emojitag-list: ..." about the run as a whole.
void reportRun(const char *format, ...) LIST_PRINTF(1, 2);
// "emojitag-list: PATH: ..." about a file named on the command line.
void reportFile(const char *path, const char *format, ...) LIST_PRINTF(2, 3);
// "emojitag-list: PATH: read error: REASON", the system's reason for the
// read that just failed (errno).
void reportReadError(const char *path);

// The output of a run: standard output for a null `path`, or a file written
// whole (whole_file.h), only where a regular file or nothing stands; false,
// reported, when it cannot be written.
bool beginListOutput(WholeFile *out, const char *path);
// Finishes the output; without `keep` a file is left out and the old one
// stays as it was. False, reported, when it could not be written whole, or
// when no content was written (a file then stays as it was).
bool finishListOutput(WholeFile *out, bool keep);

#endif
