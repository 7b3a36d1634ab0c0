// companion_report.h - the messages of the companion programs about their
// inputs: one line each on standard error, "PROGRAM: ", where the problem
// is, and what it is. The program names itself once, before its first
// message.
#ifndef EMOJITAG_COMPANION_REPORT_H
#define EMOJITAG_COMPANION_REPORT_H

#include <cstdarg>

#if defined(__GNUC__)
#define COMPANION_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define COMPANION_PRINTF(f, a)
#endif

// The name every message begins with ("emojitag-list"); kept, not copied.
void setCompanionName(const char *program);

// "PROGRAM: SOURCE:LINE: ..." about a line of an input file.
void reportAt(const char *source, int line, const char *format, ...) COMPANION_PRINTF(3, 4);
// "PROGRAM: SOURCE:LINE: PICTURE: ...; no line for this picture" about a
// picture that is refused.
void reportRefusedAt(const char *source, int line, const char *picture, const char *format, ...)
    COMPANION_PRINTF(4, 5);
// reportAt with its arguments as a list; with a `picture` the message names
// it first, with `refused` it ends in "; no line for this picture".
void reportAtList(const char *source, int line, const char *picture, bool refused,
                  const char *format, va_list args);
// "PROGRAM: ..." about the run as a whole.
void reportRun(const char *format, ...) COMPANION_PRINTF(1, 2);
// "PROGRAM: PATH: ..." about a file named on the command line.
void reportFile(const char *path, const char *format, ...) COMPANION_PRINTF(2, 3);
// "PROGRAM: PATH: read error: REASON", the system's reason for the read
// that just failed (errno).
void reportReadError(const char *path);

#endif
