// list_modes.h - the three runs of emojitag-list: a filled-in template to
// the emoji list, a list back to a template, and the check of a list.
#ifndef EMOJITAG_LIST_MODES_H
#define EMOJITAG_LIST_MODES_H

#include <cstdio>

#include "companion_cli.h"  // the exit statuses

// Writes the emoji list of the template at `path` (encoding `from`, see
// template_source.h) to `outPath`, or standard output for null.
int listFromTemplate(const char *path, int from, const char *outPath);
// The lines of the template open as `in` (encoding FROM_CP932 or FROM_UTF8,
// at its first record) to `out`; how many pictures and lines were refused.
int listTemplateRecords(FILE *in, const char *source, int encoding, FILE *out);
// Writes the filled-in template of the list at `path` ("-": standard input),
// in CP932 or with `utf8` in UTF-8.
int templateFromList(const char *path, bool utf8, const char *outPath);
// The groups of the list open as `in` to `out` (after the template's
// byte-order mark, which is the caller's); how many lines were left out.
int templateLinesOf(FILE *in, const char *source, bool utf8, FILE *out);
// Reports on standard output every line of the list that emojitag would
// store otherwise than it says.
int checkListFile(const char *path);

#endif
