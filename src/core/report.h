// report.h - emojitag's messages: one line each on standard error, every one
// of them printed here and nowhere else. Names are shown as shown_name.h
// says; the rest of a message is written as it is.
#ifndef EMOJITAG_REPORT_H
#define EMOJITAG_REPORT_H

// "Error: LINE:NAME: PROBLEM" about the image a list line names.
void reportLine(int line, const char *name, const char *problem);
// "Error: LINE: PROBLEM" about a list line that names no image.
void reportBareLine(int line, const char *problem);
// "Error: PATH: PROBLEM" about a file named on the command line, or met in a
// walk below one.
void reportPath(const char *path, const char *problem);
// "Error: PROBLEM": a command line that names nothing to work on.
void reportUsage(const char *problem);

// Called before every message: the image jobs put the replacements that wait
// for the disk in place first, so that the messages keep the order of the
// lines. Null: nothing waits.
void setMessageHook(void (*beforeMessage)());

#endif
