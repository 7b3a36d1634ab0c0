// html_text.cpp - text and URL paths into HTML. Runs of bytes that need no
// care go out in one write; the page stays UTF-8 whatever bytes come in.
#include <cstring>

#include "html_sheet.h"

namespace {

const char REPLACEMENT[] = "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER

// The length of the UTF-8 character at s[0..n), or 0 when the bytes there are
// no character (a stray trail byte, an overlong form, a surrogate, past
// U+10FFFF, cut short).
size_t utf8CharLength(const unsigned char *s, size_t n) {
    unsigned char b = s[0];
    if (b < 0x80) return 1;
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0) lo = 0xA0;  // overlong below
        if (b == 0xED) hi = 0x9F;  // surrogates above
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0) lo = 0x90;  // overlong below
        if (b == 0xF4) hi = 0x8F;  // past U+10FFFF above
    } else {
        return 0;
    }
    if (n < len || s[1] < lo || s[1] > hi) return 0;
    for (size_t i = 2; i < len; i++)
        if ((s[i] & 0xC0) != 0x80) return 0;
    return len;
}

bool isControl(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
}

// "&amp;", "&lt;" or "&gt;" at s[0..n): the length of the reference, or 0.
size_t keptEntityLength(const char *s, size_t n) {
    static const char *const kept[] = {"&amp;", "&lt;", "&gt;"};
    for (const char *e : kept) {
        size_t len = std::strlen(e);
        if (n >= len && std::memcmp(s, e, len) == 0) return len;
    }
    return 0;
}

// The visible picture of a control character: U+2400 + c, U+2421 for DEL.
void writeControlPicture(FILE *out, unsigned char c) {
    unsigned code = c == 0x7F ? 0x2421 : 0x2400 + c;
    char pic[3] = {static_cast<char>(0xE0 | (code >> 12)),
                   static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                   static_cast<char>(0x80 | (code & 0x3F))};
    std::fwrite(pic, 1, sizeof pic, out);
}

bool isUrlUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

}  // namespace

void writeHtmlText(FILE *out, const char *s, size_t n, int flags) {
    const auto *u = reinterpret_cast<const unsigned char *>(s);
    size_t run = 0;  // start of the bytes that go out as they are
    size_t i = 0;
    while (i < n) {
        unsigned char c = u[i];
        size_t len = c < 0x80 ? 1 : utf8CharLength(u + i, n - i);
        const char *ref = nullptr;
        switch (c) {
            case '&':
                ref = "&amp;";
                if (flags & HTML_KEEP_ENTITIES) {
                    size_t kept = keptEntityLength(s + i, n - i);
                    if (kept > 0) {
                        i += kept;  // already what the page needs
                        continue;
                    }
                }
                break;
            case '<':
                ref = "&lt;";
                break;
            case '>':
                ref = "&gt;";
                break;
            case '"':
                ref = "&quot;";
                break;
            case '\'':
                ref = "&#39;";
                break;
            default:
                if (len > 0 && !isControl(c)) {
                    i += len;
                    continue;
                }
        }
        std::fwrite(s + run, 1, i - run, out);
        if (ref != nullptr) {
            std::fputs(ref, out);
        } else if (len == 0) {
            std::fputs(REPLACEMENT, out);
            len = 1;
        } else {
            writeControlPicture(out, c);
        }
        i += len;
        run = i;
    }
    std::fwrite(s + run, 1, n - run, out);
}

void writeHtmlText(FILE *out, const char *s) {
    writeHtmlText(out, s, std::strlen(s));
}

bool isUtf8Text(const char *s, size_t n) {
    const auto *u = reinterpret_cast<const unsigned char *>(s);
    for (size_t i = 0; i < n;) {
        size_t len = utf8CharLength(u + i, n - i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

size_t encodeUrlPath(char *dst, size_t cap, const char *s, size_t n) {
    static const char hex[] = "0123456789ABCDEF";
    size_t len = 0;
    for (size_t i = 0; i < n; i++) {
        auto c = static_cast<unsigned char>(s[i]);
        bool plain = c == '/' || isUrlUnreserved(c);
        if (len + (plain ? 1 : 3) > cap) return cap;
        if (plain) {
            dst[len++] = s[i];
        } else {
            dst[len++] = '%';
            dst[len++] = hex[c >> 4];
            dst[len++] = hex[c & 0xF];
        }
    }
    return len;
}
