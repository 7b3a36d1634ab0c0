// emoji_elements.cpp - field names, value escapes and the reading of the
// elements of a text.
#include "emoji_elements.h"

#include <cstring>

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

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The escape that begins at s (at most `len` bytes), or null.
const Escape *escapeAt(const char *s, size_t len) {
    for (const Escape &e : ESCAPES)
        if (len >= e.size && std::memcmp(s, e.text, e.size) == 0) return &e;
    return nullptr;
}

// A value as emojitag-list writes it: not empty, no '<', no '>', and '&'
// only in an escape.
bool isEscapedValue(const char *value, size_t len) {
    if (len == 0) return false;
    for (size_t i = 0; i < len; i++) {
        if (value[i] == '<' || value[i] == '>') return false;
        if (value[i] == '&' && escapeAt(value + i, len - i) == nullptr) return false;
    }
    return true;
}

bool take(EmojiScan *s, const char *lit, size_t n) {
    if (static_cast<size_t>(s->end - s->p) < n || std::memcmp(s->p, lit, n) != 0) return false;
    s->p += n;
    return true;
}

void skipBlanks(EmojiScan *s) {
    if (s->reading != EMOJI_LENIENT) return;
    while (s->p < s->end && isBlank(*s->p))
        s->p++;
}

// "<NAME>VALUE</NAME>" at the cursor.
bool takeElement(EmojiScan *s, EmojiElement *e) {
    if (!take(s, "<", 1)) return false;
    e->name = s->p;
    while (s->p < s->end && isNameByte(*s->p))
        s->p++;
    e->nameLen = static_cast<size_t>(s->p - e->name);
    if (!isElementName(e->name, e->nameLen) || !take(s, ">", 1)) return false;
    e->value = s->p;
    while (s->p < s->end && *s->p != '<')
        s->p++;
    e->valueLen = static_cast<size_t>(s->p - e->value);
    if (s->reading == EMOJI_EXACT && !isEscapedValue(e->value, e->valueLen)) return false;
    return take(s, "</", 2) && take(s, e->name, e->nameLen) && take(s, ">", 1);
}

}  // namespace

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

int beginEmojiScan(EmojiScan *s, const char *text, size_t len, EmojiReading reading) {
    *s = EmojiScan{text, text + len, EMOJI_CLOSE, reading};
    if (take(s, EMOJI_OPEN, EMOJI_OPEN_SIZE)) return 0;
    if (reading == EMOJI_LENIENT && take(s, "<EMOJI>", EMOJI_OPEN_SIZE)) {
        s->close = "</EMOJI>";
        return 0;
    }
    return -1;
}

int nextEmojiElement(EmojiScan *s, EmojiElement *e) {
    skipBlanks(s);
    if (take(s, s->close, EMOJI_CLOSE_SIZE)) {
        skipBlanks(s);
        return s->p == s->end ? 0 : -1;
    }
    return takeElement(s, e) ? 1 : -1;
}

int splitEmojiElements(const char *text, size_t len, EmojiReading reading, EmojiElement *out,
                       int max) {
    EmojiScan s;
    if (beginEmojiScan(&s, text, len, reading) != 0) return -1;
    int count = 0;
    for (;;) {
        EmojiElement e;
        int r = nextEmojiElement(&s, &e);
        if (r <= 0) return r == 0 ? count : -1;
        if (count == max) return -1;
        out[count++] = e;
    }
}
