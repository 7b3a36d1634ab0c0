// html_text.cpp - text and URL paths into HTML. Runs of bytes that need no
// care go out in one write; the page stays UTF-8 whatever bytes come in.
#include <cstring>

#include "html_sheet.h"
#include "shown_name.h"
#include "text_utf8.h"

namespace {

const char REPLACEMENT[] = "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER

// "&amp;", "&lt;" or "&gt;" at s[0..n): the length of the reference, or 0.
size_t keptEntityLength(const char *s, size_t n) {
    static const char *const kept[] = {"&amp;", "&lt;", "&gt;"};
    for (const char *e : kept) {
        size_t len = std::strlen(e);
        if (n >= len && std::memcmp(s, e, len) == 0) return len;
    }
    return 0;
}

// A control character the page shows as its picture: the tab and the line
// breaks are the page's own white space.
bool isShownAsPicture(unsigned char c) {
    return isControlByte(c) && c != '\t' && c != '\n' && c != '\r';
}

// The visible picture of a control character: U+2400 + c, U+2421 for DEL.
void writeControlPicture(FILE *out, unsigned char c) {
    uint32_t code = c == 0x7F ? 0x2421 : 0x2400 + c;
    char pic[UTF8_CHAR_MAX];
    std::fwrite(pic, 1, encodeUtf8Char(code, pic), out);
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
        uint32_t cp;
        size_t len = c < 0x80 ? 1 : decodeUtf8Char(s + i, n - i, &cp);
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
                if (len > 0 && !isShownAsPicture(c)) {
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
