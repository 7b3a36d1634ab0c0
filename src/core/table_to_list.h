// table_to_list.h - the set's table (set_table.h) read as the emoji list it
// stands for: one row per picture, a header row that names the columns
// ("file", then the fields); each row becomes the list line the list's
// import writes for it.
#ifndef EMOJITAG_TABLE_TO_LIST_H
#define EMOJITAG_TABLE_TO_LIST_H

#include <cstddef>
#include <cstdio>

#include "set_table.h"

// Where the rows of a table go, one call for each row that is not empty.
struct TableRows {
    void *user;
    // The row's list line: `len` bytes, its line end included.
    void (*line)(void *user, int row, const char *bytes, size_t len);
    // A row refused (reported: it gets no line); `name` is its first cell
    // as the table has it.
    void (*refused)(void *user, int row, const char *name);
};

// True when the file open as `in` begins, where it stands, with a table's
// header row; leaves `in` where it stood.
bool startsTable(FILE *in);
// True when `head`, the first `n` bytes of a file where it stands (past a
// byte-order mark), begin a table's header row.
bool headStartsTable(const char *head, size_t n);
// The rows of the table open as `in` (encoding FROM_CP932 or FROM_UTF8, at
// its header row) to `rows`, with `summary` as listTableRows. How many rows
// were refused (1 for a table refused whole).
int readTableRows(FILE *in, const char *source, int encoding, const TableRows &rows, bool summary);
// The rows of the table open as `in` (encoding FROM_CP932 or FROM_UTF8, at
// its header row) as list lines to `out`; with `summary`, the count of
// pictures, lines, empty and refused rows at the end. How many pictures
// were refused (1 for a table refused whole).
int listTableRows(FILE *in, const char *source, int encoding, FILE *out, bool summary);

#endif
