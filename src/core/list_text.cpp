// list_text.cpp - the elements of a picture's text in UTF-8 and in CP932,
// side by side, and the proof of its list line.
#include "list_text.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "companion_report.h"
#include "emoji_elements.h"
#include "image_formats.h"
#include "text_cp932.h"
#include "text_utf8.h"

namespace {

void appendBoth(PictureText &t, const char *utf8, size_t utf8Size, const char *cp932,
                size_t cp932Size) {
    if (t.utf8Len + utf8Size < TEXT_UTF8_SIZE) std::memcpy(t.utf8 + t.utf8Len, utf8, utf8Size);
    if (t.cp932Len + cp932Size < TEXT_CP932_SIZE)
        std::memcpy(t.cp932 + t.cp932Len, cp932, cp932Size);
    if (std::memchr(cp932, '"', cp932Size) != nullptr) t.cp932HasQuote = true;
    t.utf8Len += utf8Size;
    t.cp932Len += cp932Size;
}

// The same ASCII in both texts.
void appendAscii(PictureText &t, const char *s) {
    appendBoth(t, s, std::strlen(s), s, std::strlen(s));
}

size_t countEscapes(const char *s, size_t len) {
    size_t extra = 0;
    for (size_t i = 0; i < len; i++)
        extra += s[i] == '&' ? 4 : (s[i] == '<' || s[i] == '>') ? 3 : 0;
    return extra;
}

// Converts the escaped value to CP932 in t.valueCp932: true when the
// converter's CP932 reads back to the same text.
bool toCp932Exactly(PictureText &t, const char *utf8, size_t len) {
    // Neither text is longer than the UTF-8: an exact one is just as long.
    if (utf8ToCp932(t.valueCp932, len + 1, utf8) < 0) return false;
    return cp932ToUtf8(t.readBack, len + 1, t.valueCp932) >= 0 &&
           std::strcmp(t.readBack, utf8) == 0;
}

// Reports the first character of a value that has no exact CP932 form,
// and how many more there are.
void reportCharacters(const PictureLine *p, int line, const char *element, const char *utf8,
                      size_t len) {
    int bad = 0;
    char first[2 * SHOWN_SIZE + 64] = "";
    for (size_t i = 0; i < len;) {
        uint32_t cp = 0;
        size_t n = decodeUtf8Char(utf8 + i, len - i, &cp);
        if (n == 0) n = 1;  // cannot happen: the value is UTF-8
        char one[5] = {};
        char cp932[8];
        char back[16];
        std::memcpy(one, utf8 + i, n);
        i += n;
        bool lacks = utf8ToCp932(cp932, sizeof cp932, one) < 0;
        bool changes =
            !lacks && (cp932ToUtf8(back, sizeof back, cp932) < 0 || std::strcmp(back, one) != 0);
        if (!lacks && !changes) continue;
        if (bad++ > 0) continue;
        Shown c;
        Shown b;
        showUtf8(&c, one, n);
        if (lacks) {
            std::snprintf(first, sizeof first, "\"%s\" (U+%04lX) is not in CP932", c.text,
                          static_cast<unsigned long>(cp));
        } else {
            std::snprintf(first, sizeof first, "\"%s\" (U+%04lX) becomes \"%s\" in CP932", c.text,
                          static_cast<unsigned long>(cp), showUtf8(&b, back, std::strlen(back)));
        }
    }
    if (bad > 1) {
        reportPictureFault(p, line, false, "%s: %s (and %d more in this value)", element, first,
                           bad - 1);
    } else {
        reportPictureFault(p, line, false, "%s: %s", element, first);
    }
}

// The list line: the name, a comma and the text, in double quotes unless it
// holds one (the reader then takes it to the end of the line).
size_t buildLine(PictureText &t) {
    bool quoted = !t.cp932HasQuote;
    size_t n = std::strlen(t.listName);
    std::memcpy(t.line, t.listName, n);
    t.line[n++] = ',';
    if (quoted) t.line[n++] = '"';
    std::memcpy(t.line + n, t.cp932, t.cp932Len);
    n += t.cp932Len;
    if (quoted) t.line[n++] = '"';
    t.line[n++] = '\n';
    t.line[n] = '\0';
    return n;
}

// What emojitag's reader makes of the line is the picture and its text, and
// the picture's comment keeps all of it.
bool readsBack(const PictureLine *p, size_t lineLen) {
    PictureText &t = *p->text;
    std::memcpy(t.proof.line, t.line, lineLen + 1);
    ListReader reader;
    startListRead(&reader, nullptr, listBuffersOf(&t.proof));
    takeListLine(&reader, t.proof.line, lineLen);
    const ListLine &line = reader.line;
    if (line.type != p->type || std::strcmp(line.name, t.listName) != 0) return false;
    if (std::strcmp(line.text, t.cp932) != 0) return false;
    if (convertListText(&reader) < 0 || std::strcmp(line.utf8, t.utf8) != 0) return false;
    return textCutProblem(*imageFormatOfType(p->type), line.utf8) == nullptr;
}

void copyBounded(char *out, size_t cap, const char *s) {
    size_t n = std::strlen(s);
    if (n >= cap) n = cap - 1;
    std::memcpy(out, s, n);
    out[n] = '\0';
}

}  // namespace

void beginPicture(PictureLine *p, PictureText *text, const char *source, int line, int type,
                  const char *name, const char *shown) {
    p->source = source;
    p->line = line;
    p->type = type;
    p->refused = false;
    p->fields = 0;
    p->whole = false;
    p->text = text;
    copyBounded(p->name.text, sizeof p->name.text, shown);
    copyBounded(text->listName, sizeof text->listName, name);
    text->utf8Len = 0;
    text->cp932Len = 0;
    text->cp932HasQuote = false;
    appendAscii(*text, EMOJI_OPEN);
}

void reportPictureFault(const PictureLine *p, int line, bool named, const char *format, ...) {
    va_list args;
    va_start(args, format);
    reportAtList(p->source, line, p->namesPicture || named ? p->name.text : nullptr,
                 p->namesPicture, format, args);
    va_end(args);
}

void refusePicture(PictureLine *p) {
    p->refused = true;
}

void addPictureField(PictureLine *p, int line, const char *element, const char *utf8, size_t len) {
    PictureText &t = *p->text;
    if (len + countEscapes(utf8, len) >= TEXT_UTF8_SIZE) {
        reportPictureFault(p, line, false, "%s: the value is too long for a list line", element);
        return refusePicture(p);
    }
    size_t escapedLen = escapeValue(t.escaped, utf8, len);
    if (!toCp932Exactly(t, t.escaped, escapedLen)) {
        reportCharacters(p, line, element, utf8, len);
        return refusePicture(p);
    }
    // A format that keeps a text in pieces cut only at tag ends (GIF: data
    // blocks) needs every element to fit one piece, the first one together
    // with "<emoji>". A picture of no format (refused already) has no such
    // limit.
    const ImageFormat *format = imageFormatOfType(p->type);
    size_t pieceMax = format != nullptr ? format->pieceMax : 0;
    size_t tags = elementSize(std::strlen(element), 0) + (p->fields == 0 ? EMOJI_OPEN_SIZE : 0);
    size_t room = tags < pieceMax ? pieceMax - tags : 0;
    if (pieceMax != 0 && escapedLen > room) {
        reportPictureFault(
            p, line, false,
            "%s: value too long for a %s: %lu bytes in UTF-8, at most %lu in this field", element,
            format->name, static_cast<unsigned long>(escapedLen), static_cast<unsigned long>(room));
        return refusePicture(p);
    }
    appendAscii(t, "<");
    appendAscii(t, element);
    appendAscii(t, ">");
    appendBoth(t, t.escaped, escapedLen, t.valueCp932, std::strlen(t.valueCp932));
    appendAscii(t, "</");
    appendAscii(t, element);
    appendAscii(t, ">");
    p->fields++;
}

void setPictureText(PictureLine *p, int line, const char *column, const char *utf8, size_t len) {
    PictureText &t = *p->text;
    if (len >= TEXT_UTF8_SIZE) {
        reportPictureFault(p, line, false, "%s: the value is too long for a list line", column);
        return refusePicture(p);
    }
    if (!toCp932Exactly(t, utf8, len)) {
        reportCharacters(p, line, column, utf8, len);
        return refusePicture(p);
    }
    t.utf8Len = 0;
    t.cp932Len = 0;
    t.cp932HasQuote = false;
    appendBoth(t, utf8, len, t.valueCp932, std::strlen(t.valueCp932));
    p->fields = 1;
    p->whole = true;
}

int closePicture(PictureLine *p, size_t *built) {
    if (p->refused) return -1;
    if (p->fields == 0) return 0;
    PictureText &t = *p->text;
    if (!p->whole) appendAscii(t, EMOJI_CLOSE);
    bool quoted = !t.cp932HasQuote;
    size_t lineLen = std::strlen(t.listName) + 1 + t.cp932Len + (quoted ? 2 : 0) + 1;
    if (lineLen > READER_LINE_MAX) {
        reportPictureFault(
            p, p->line, true, "the list line would be %lu bytes, more than the %lu emojitag reads",
            static_cast<unsigned long>(lineLen), static_cast<unsigned long>(READER_LINE_MAX));
        return -1;
    }
    // Both texts are whole now: the CP932 fits a line, the UTF-8 is at most
    // three times as long.
    t.utf8[t.utf8Len] = '\0';
    t.cp932[t.cp932Len] = '\0';
    size_t chars = cp932Characters(t.cp932, t.cp932Len);
    if (chars > READER_TEXT_UNITS) {
        reportPictureFault(p, p->line, true,
                           "the text would be %lu characters, more than the %lu emojitag converts",
                           static_cast<unsigned long>(chars),
                           static_cast<unsigned long>(READER_TEXT_UNITS));
        return -1;
    }
    lineLen = buildLine(t);
    if (!readsBack(p, lineLen)) {
        reportPictureFault(p, p->line, true, "the list line would not read back as written");
        return -1;
    }
    *built = lineLen;
    return 1;
}

int endPicture(PictureLine *p, FILE *out) {
    size_t len = 0;
    int result = closePicture(p, &len);
    if (result > 0) std::fwrite(p->text->line, 1, len, out);
    return result;
}
