// field_table.h - the fields of an emoji text, in their order: the rows
// `emojitag -f` writes into each template group, the fields emojitag-list
// places in a template, and the order the contact sheet shows them in. A
// field is added by adding its row to the table.
#ifndef EMOJITAG_FIELD_TABLE_H
#define EMOJITAG_FIELD_TABLE_H

#include <cstddef>

#include "emoji_elements.h"

struct Field {
    const char *name;
    bool inTemplate;  // each template group has a line for it, empty where unfilled
};

// The fields in their order.
inline constexpr Field FIELDS[] = {
    {"yomi1", true}, {"hyoki1", true}, {"hinsi1", true},  {"category1", true},
    {"type", true},  {"tag1", true},   {"tagcont", true},
};
inline constexpr int FIELD_COUNT = sizeof FIELDS / sizeof FIELDS[0];

// The place of the field named by `len` bytes at `name` in the table, or
// FIELD_COUNT for a name that is none of its fields.
int fieldRank(const char *name, size_t len);

// Puts the elements in the table's order, those of no field after them as
// they came.
void orderByFields(EmojiElement *elements, int count);

// The lines a template group gives its fields, each ",NAME" and a line end:
// the first follows the picture's path on its line. Built once from the
// table, NUL-terminated.
const char *templateFieldLines();

#endif
