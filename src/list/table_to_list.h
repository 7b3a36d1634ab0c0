// table_to_list.h - emojitag-list SET.csv for a table: one row per
// picture, a header row that names the columns ("file", then the fields).
#ifndef EMOJITAG_TABLE_TO_LIST_H
#define EMOJITAG_TABLE_TO_LIST_H

#include <cstdio>

// The first cell of a table's header row.
constexpr char TABLE_FILE_COLUMN[] = "file";

// True when the file open as `in` begins, where it stands, with a table's
// header row; leaves `in` where it stood.
bool startsTable(FILE *in);
// The rows of the table open as `in` (encoding FROM_CP932 or FROM_UTF8, at
// its header row) as list lines to `out`; with `summary`, the count of
// pictures, lines, empty and refused rows at the end. How many pictures
// were refused (1 for a table refused whole).
int listTableRows(FILE *in, const char *source, int encoding, FILE *out, bool summary);

#endif
