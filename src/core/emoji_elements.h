// emoji_elements.h - the grammar of an emoji text: an <emoji> element that
// holds simple elements, one per field, <NAME>VALUE</NAME>, with &, < and >
// of the values written as &amp;, &lt; and &gt; so that no value can end a
// tag, or a GIF piece, early.
#ifndef EMOJITAG_EMOJI_ELEMENTS_H
#define EMOJITAG_EMOJI_ELEMENTS_H

#include <cstddef>

constexpr char EMOJI_OPEN[] = "<emoji>";
constexpr char EMOJI_CLOSE[] = "</emoji>";
constexpr size_t EMOJI_OPEN_SIZE = sizeof EMOJI_OPEN - 1;
constexpr size_t EMOJI_CLOSE_SIZE = sizeof EMOJI_CLOSE - 1;

// A field's name: ASCII letters, digits and '_', and not "emoji" in any case.
bool isElementName(const char *name, size_t len);

// The bytes <NAME>, VALUE and </NAME> add to a text.
inline size_t elementSize(size_t nameLen, size_t valueLen) {
    return 2 * nameLen + 5 + valueLen;
}

// Writes the value with &, < and > escaped into `out`, which holds at least
// 5 * len + 1 bytes; the length written.
size_t escapeValue(char *out, const char *value, size_t len);
// The value with the escapes made characters again, into `out` (at least
// len + 1 bytes); the length written.
size_t unescapeValue(char *out, const char *value, size_t len);

// One element of a text: its name and its value as written (escapes not yet
// resolved), both in the text.
struct EmojiElement {
    const char *name;
    size_t nameLen;
    const char *value;
    size_t valueLen;
};

// How a text is read. Element names follow isElementName in both.
enum EmojiReading {
    // Only the form emojitag-list writes, so that the elements written back
    // give the same bytes: "<emoji>", elements with non-empty values that
    // hold no '<' or '>' and '&' only in the three escapes, "</emoji>", and
    // nothing between or after them.
    EMOJI_EXACT,
    // Simple mark-up as any tool may have written it: also "<EMOJI>" ...
    // "</EMOJI>", blanks (space, tab, CR, LF) around the elements and after
    // the text, and values as they come (empty, or with '>' or a bare '&').
    EMOJI_LENIENT,
};

// A cursor over one text.
struct EmojiScan {
    const char *p;
    const char *end;
    const char *close;  // the closing tag that matches the opening one
    EmojiReading reading;
};

// Starts reading the `len` bytes at `text`: 0, or -1 when they do not begin
// with the opening tag.
int beginEmojiScan(EmojiScan *s, const char *text, size_t len, EmojiReading reading);
// The next element into `e`: 1; 0 at the closing tag that ends the text;
// -1 when the text is not such mark-up.
int nextEmojiElement(EmojiScan *s, EmojiElement *e);

// All elements of a text, in its order, into `out` (room for `max`): their
// count, or -1 when the text is not such mark-up or has more than `max`.
int splitEmojiElements(const char *text, size_t len, EmojiReading reading, EmojiElement *out,
                       int max);

#endif
