// set_table.h - the set as a spreadsheet table, one row per picture: the
// columns that are no element (the picture's path first, and last, when some
// text is no plain sequence of elements, that text whole) and when a cell is
// quoted. The element columns come from the field table (field_table.h).
#ifndef EMOJITAG_SET_TABLE_H
#define EMOJITAG_SET_TABLE_H

#include <cstddef>

// No element name can be either (emoji_elements.h).
constexpr char TABLE_FILE_COLUMN[] = "file";
constexpr char TABLE_TEXT_COLUMN[] = "emoji";

// A cell is quoted as spreadsheets quote it: when it holds a comma, a double
// quote or a line end, or begins or ends with a blank, which a reader may
// trim.
inline bool tableCellNeedsQuotes(const char *s, size_t n) {
    if (n > 0 && (s[0] == ' ' || s[0] == '\t' || s[n - 1] == ' ' || s[n - 1] == '\t')) return true;
    for (size_t i = 0; i < n; i++)
        if (s[i] == ',' || s[i] == '"' || s[i] == '\r' || s[i] == '\n') return true;
    return false;
}

#endif
