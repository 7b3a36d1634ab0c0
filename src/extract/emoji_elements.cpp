// emoji_elements.cpp - the elements of an emoji text as the template names
// them: "<emoji>" holding simple elements "<NAME>VALUE</NAME>", nothing else.
// Anything more (attributes, nesting, text between the elements) is not
// taken apart; the page shows such a text as it is.
#include <cstring>

#include "html_sheet.h"

namespace {

// The template's fields, shown first and in this order.
const char *const FIELD_ORDER[] = {"yomi1", "hyoki1", "hinsi1", "category1",
                                   "type",  "tag1",   "tagcont"};
constexpr int FIELD_COUNT = sizeof FIELD_ORDER / sizeof FIELD_ORDER[0];

bool isNameByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A cursor over the text.
struct Scan {
    const char *p;
    const char *end;
};

bool take(Scan &s, const char *lit, size_t n) {
    if (static_cast<size_t>(s.end - s.p) < n || std::memcmp(s.p, lit, n) != 0) return false;
    s.p += n;
    return true;
}

void skipBlanks(Scan &s) {
    while (s.p < s.end && isBlank(*s.p))
        s.p++;
}

// "<NAME>VALUE</NAME>" at the cursor.
bool takeElement(Scan &s, EmojiElement &e) {
    if (!take(s, "<", 1)) return false;
    e.name = s.p;
    while (s.p < s.end && isNameByte(*s.p))
        s.p++;
    e.nameLen = static_cast<size_t>(s.p - e.name);
    if (e.nameLen == 0 || !take(s, ">", 1)) return false;
    e.value = s.p;
    while (s.p < s.end && *s.p != '<')
        s.p++;
    e.valueLen = static_cast<size_t>(s.p - e.value);
    return take(s, "</", 2) && take(s, e.name, e.nameLen) && take(s, ">", 1);
}

// The place of an element's name in FIELD_ORDER, or FIELD_COUNT for any other.
int fieldRank(const EmojiElement &e) {
    for (int i = 0; i < FIELD_COUNT; i++)
        if (std::strlen(FIELD_ORDER[i]) == e.nameLen &&
            std::memcmp(FIELD_ORDER[i], e.name, e.nameLen) == 0)
            return i;
    return FIELD_COUNT;
}

}  // namespace

int splitEmojiElements(const char *text, size_t len, EmojiElement *out) {
    Scan s{text, text + len};
    const char *close;
    if (take(s, "<emoji>", 7)) {
        close = "</emoji>";
    } else if (take(s, "<EMOJI>", 7)) {
        close = "</EMOJI>";
    } else {
        return -1;
    }
    EmojiElement found[EMOJI_ELEMENTS_MAX];
    int count = 0;
    for (;;) {
        skipBlanks(s);
        if (take(s, close, 8)) break;
        if (count == EMOJI_ELEMENTS_MAX || !takeElement(s, found[count])) return -1;
        count++;
    }
    skipBlanks(s);
    if (s.p != s.end) return -1;
    // The template's fields in its order, then the others as they came: a
    // stable pass for each rank.
    int n = 0;
    for (int rank = 0; rank <= FIELD_COUNT; rank++)
        for (int i = 0; i < count; i++)
            if (fieldRank(found[i]) == rank) out[n++] = found[i];
    return n;
}
