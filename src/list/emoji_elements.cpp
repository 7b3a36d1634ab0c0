// emoji_elements.cpp - field names, value escapes and the elements of a
// text.
#include "emoji_elements.h"

#include <cstring>

const char *const STANDARD_FIELDS[STANDARD_FIELD_COUNT] = {"yomi1", "hyoki1", "hinsi1", "category1",
                                                           "type",  "tag1",   "tagcont"};

namespace {

struct Escape {
    char c;
    const char *text;
    size_t size;
};
const Escape ESCAPES[] = {{'&', "&amp;", 5}, {'<', "&lt;", 4}, {'>', "&gt;", 4}};

bool isNameByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The escape that begins at s (at most `len` bytes), or null.
const Escape *escapeAt(const char *s, size_t len) {
    for (const Escape &e : ESCAPES)
        if (len >= e.size && std::memcmp(s, e.text, e.size) == 0) return &e;
    return nullptr;
}

// A value in a text: no '<', no '>', and '&' only in an escape.
bool isEscapedValue(const char *value, size_t len) {
    for (size_t i = 0; i < len; i++) {
        if (value[i] == '<' || value[i] == '>') return false;
        if (value[i] == '&' && escapeAt(value + i, len - i) == nullptr) return false;
    }
    return true;
}

// Reads one element at p: "<NAME>VALUE</NAME>"; the position after it, or
// null.
const char *readElement(const char *p, Element *e) {
    if (*p != '<') return nullptr;
    e->name = ++p;
    while (isNameByte(*p))
        p++;
    e->nameLen = static_cast<size_t>(p - e->name);
    if (*p != '>' || !isElementName(e->name, e->nameLen)) return nullptr;
    e->value = ++p;
    const char *end = std::strchr(p, '<');
    if (end == nullptr) return nullptr;
    e->valueLen = static_cast<size_t>(end - p);
    if (e->valueLen == 0 || !isEscapedValue(e->value, e->valueLen)) return nullptr;
    if (end[1] != '/' || std::strncmp(end + 2, e->name, e->nameLen) != 0 ||
        end[2 + e->nameLen] != '>')
        return nullptr;
    return end + 3 + e->nameLen;
}

}  // namespace

int standardFieldIndex(const char *name, size_t len) {
    for (int i = 0; i < STANDARD_FIELD_COUNT; i++)
        if (std::strlen(STANDARD_FIELDS[i]) == len &&
            std::memcmp(STANDARD_FIELDS[i], name, len) == 0)
            return i;
    return -1;
}

bool isElementName(const char *name, size_t len) {
    if (len == 0) return false;
    for (size_t i = 0; i < len; i++)
        if (!isNameByte(name[i])) return false;
    static const char EMOJI[] = "emoji";
    if (len != sizeof EMOJI - 1) return true;
    for (size_t i = 0; i < len; i++)
        if (lowerAscii(name[i]) != EMOJI[i]) return true;
    return false;
}

size_t escapeValue(char *out, const char *value, size_t len) {
    size_t n = 0;
    for (size_t i = 0; i < len; i++) {
        const Escape *escape = nullptr;
        for (const Escape &e : ESCAPES)
            if (value[i] == e.c) escape = &e;
        if (escape == nullptr) {
            out[n++] = value[i];
        } else {
            std::memcpy(out + n, escape->text, escape->size);
            n += escape->size;
        }
    }
    out[n] = '\0';
    return n;
}

int splitElements(const char *text, Element *elements) {
    if (std::strncmp(text, EMOJI_OPEN, EMOJI_OPEN_SIZE) != 0) return -1;
    const char *p = text + EMOJI_OPEN_SIZE;
    int count = 0;
    while (std::strcmp(p, EMOJI_CLOSE) != 0) {
        if (count == ELEMENTS_MAX) return -1;
        p = readElement(p, &elements[count++]);
        if (p == nullptr) return -1;
    }
    return count;
}

size_t unescapeValue(char *out, const char *value, size_t len) {
    size_t n = 0;
    for (size_t i = 0; i < len;) {
        const Escape *escape = value[i] == '&' ? escapeAt(value + i, len - i) : nullptr;
        if (escape == nullptr) {
            out[n++] = value[i++];
        } else {
            out[n++] = escape->c;
            i += escape->size;
        }
    }
    out[n] = '\0';
    return n;
}
