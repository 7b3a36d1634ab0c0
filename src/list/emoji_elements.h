// emoji_elements.h - the emoji text of one picture as the template holds it:
// an <emoji> element of simple elements, one per filled-in field, <NAME>
// VALUE </NAME>, with &, < and > of the values written as &amp;, &lt; and
// &gt; so that no value can end a tag, or a GIF piece, early.
#ifndef EMOJITAG_EMOJI_ELEMENTS_H
#define EMOJITAG_EMOJI_ELEMENTS_H

#include <cstddef>

constexpr char EMOJI_OPEN[] = "<emoji>";
constexpr char EMOJI_CLOSE[] = "</emoji>";
constexpr size_t EMOJI_OPEN_SIZE = sizeof EMOJI_OPEN - 1;
constexpr size_t EMOJI_CLOSE_SIZE = sizeof EMOJI_CLOSE - 1;

// The seven fields a template of `emojitag -f` names, in its order.
constexpr int STANDARD_FIELD_COUNT = 7;
extern const char *const STANDARD_FIELDS[STANDARD_FIELD_COUNT];
// The index of a standard field's name, or -1.
int standardFieldIndex(const char *name, size_t len);

// A field's name: ASCII letters, digits and '_', and not "emoji" in any case.
bool isElementName(const char *name, size_t len);

// The bytes <NAME>, VALUE and </NAME> add to a text.
inline size_t elementSize(size_t nameLen, size_t valueLen) {
    return 2 * nameLen + 5 + valueLen;
}

// Writes the value with &, < and > escaped into `out`, which holds at least
// 5 * len + 1 bytes; the length written.
size_t escapeValue(char *out, const char *value, size_t len);

// One element of a text: its name and its escaped value, in the text.
struct Element {
    const char *name;
    size_t nameLen;
    const char *value;
    size_t valueLen;
};
constexpr int ELEMENTS_MAX = 1024;

// Splits a text that emojitag-list writes back the same: "<emoji>", then
// elements with field names and non-empty values that hold no '<' or '>' and
// '&' only in the three escapes, then "</emoji>". The element count, or -1
// for any other text.
int splitElements(const char *text, Element *elements);

// The value with the escapes made characters again, into `out` (at least
// len + 1 bytes); the length written.
size_t unescapeValue(char *out, const char *value, size_t len);

#endif
