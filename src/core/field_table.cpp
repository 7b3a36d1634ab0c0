// field_table.cpp - what is derived from the table of fields.
#include "field_table.h"

#include <cstring>
#include <string>

namespace {

// ",NAME" and a line end for each field of the template, and the NUL.
constexpr size_t fieldLinesSize() {
    size_t n = 1;
    for (const Field &f : FIELDS)
        if (f.inTemplate) n += std::char_traits<char>::length(f.name) + 2;
    return n;
}
char fieldLines[fieldLinesSize()];

}  // namespace

int fieldRank(const char *name, size_t len) {
    for (int i = 0; i < FIELD_COUNT; i++)
        if (std::strlen(FIELDS[i].name) == len && std::memcmp(FIELDS[i].name, name, len) == 0)
            return i;
    return FIELD_COUNT;
}

void orderByFields(EmojiElement *elements, int count) {
    // Insertion keeps the elements of one rank in their order.
    for (int i = 1; i < count; i++) {
        EmojiElement e = elements[i];
        int rank = fieldRank(e.name, e.nameLen);
        int j = i;
        for (; j > 0 && fieldRank(elements[j - 1].name, elements[j - 1].nameLen) > rank; j--)
            elements[j] = elements[j - 1];
        elements[j] = e;
    }
}

const char *templateFieldLines() {
    if (fieldLines[0] != '\0') return fieldLines;
    size_t n = 0;
    for (const Field &f : FIELDS) {
        if (!f.inTemplate) continue;
        size_t len = std::strlen(f.name);
        fieldLines[n++] = ',';
        std::memcpy(fieldLines + n, f.name, len);
        n += len;
        fieldLines[n++] = '\n';
    }
    fieldLines[n] = '\0';
    return fieldLines;
}
