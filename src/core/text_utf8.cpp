// text_utf8.cpp - the well-formed UTF-8 character, decoded and checked.
#include "text_utf8.h"

namespace {

constexpr uint32_t SURROGATE_FIRST = 0xD800;
constexpr uint32_t SURROGATE_LAST = 0xDFFF;
constexpr uint32_t UNICODE_LAST = 0x10FFFF;

}  // namespace

bool utf8LeadOf(unsigned char b, Utf8Lead *lead) {
    if (b < 0x80) {
        *lead = Utf8Lead{0, b, 0};
    } else if ((b & 0xE0) == 0xC0) {
        *lead = Utf8Lead{1, b & 0x1Fu, 0x80};
    } else if ((b & 0xF0) == 0xE0) {
        *lead = Utf8Lead{2, b & 0x0Fu, 0x800};
    } else if ((b & 0xF8) == 0xF0) {
        *lead = Utf8Lead{3, b & 0x07u, 0x10000};
    } else {
        return false;
    }
    return true;
}

bool isUtf8Scalar(uint32_t cp, uint32_t min) {
    return cp >= min && cp <= UNICODE_LAST && (cp < SURROGATE_FIRST || cp > SURROGATE_LAST);
}

size_t decodeUtf8Char(const char *s, size_t len, uint32_t *cp) {
    Utf8Lead lead;
    if (len == 0 || !utf8LeadOf(static_cast<unsigned char>(s[0]), &lead)) return 0;
    if (static_cast<size_t>(lead.more) >= len) return 0;
    uint32_t bits = lead.bits;
    for (int i = 1; i <= lead.more; i++) {
        auto b = static_cast<unsigned char>(s[i]);
        if (!isUtf8Continuation(b)) return 0;
        bits = bits << 6 | (b & 0x3Fu);
    }
    if (!isUtf8Scalar(bits, lead.min)) return 0;
    *cp = bits;
    return static_cast<size_t>(lead.more) + 1;
}

bool isUtf8(const char *s, size_t len) {
    for (size_t i = 0; i < len;) {
        uint32_t cp;
        size_t n = decodeUtf8Char(s + i, len - i, &cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

bool hasHighBytes(const char *s, size_t len) {
    for (size_t i = 0; i < len; i++)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return true;
    return false;
}
