// list_text.cpp - the elements of a picture's text in UTF-8 and in CP932,
// side by side, and the proof of its list line.
#include "list_text.h"

#include <cstdint>
#include <cstring>

#include "emoji_elements.h"
#include "image_formats.h"
#include "list_report.h"
#include "reader_bridge.h"
#include "text_cp932.h"
#include "text_utf8.h"

namespace {

// The text so far: what emojitag stores (UTF-8) and what the list holds
// (CP932). A text longer than a list line can hold is only counted.
constexpr size_t TEXT_CP932_SIZE = READER_LINE_MAX + 1;
constexpr size_t TEXT_UTF8_SIZE = 3 * READER_LINE_MAX + 1;
char textUtf8[TEXT_UTF8_SIZE];
char textCp932[TEXT_CP932_SIZE];
size_t utf8Len;
size_t cp932Len;     // counted on beyond the buffer
bool cp932HasQuote;  // the CP932 text holds a double quote
char listName[READER_LINE_MAX + 1];

// One value on its way: escaped, in CP932, and CP932 read back.
char escaped[TEXT_UTF8_SIZE];
char valueCp932[TEXT_UTF8_SIZE];
char readBack[TEXT_UTF8_SIZE];

// The line as it is written, and a copy the reader takes apart.
char lineBuf[READER_LINE_MAX + 2];
char proofBuf[READER_LINE_MAX + 2];

void appendBoth(const char *utf8, size_t utf8Size, const char *cp932, size_t cp932Size) {
    if (utf8Len + utf8Size < TEXT_UTF8_SIZE) std::memcpy(textUtf8 + utf8Len, utf8, utf8Size);
    if (cp932Len + cp932Size < TEXT_CP932_SIZE) std::memcpy(textCp932 + cp932Len, cp932, cp932Size);
    if (std::memchr(cp932, '"', cp932Size) != nullptr) cp932HasQuote = true;
    utf8Len += utf8Size;
    cp932Len += cp932Size;
}

// The same ASCII in both texts.
void appendAscii(const char *s) {
    appendBoth(s, std::strlen(s), s, std::strlen(s));
}

size_t countEscapes(const char *s, size_t len) {
    size_t extra = 0;
    for (size_t i = 0; i < len; i++)
        extra += s[i] == '&' ? 4 : (s[i] == '<' || s[i] == '>') ? 3 : 0;
    return extra;
}

// Converts the escaped value to CP932: true when the converter's CP932
// reads back to the same text.
bool toCp932Exactly(const char *utf8, size_t len) {
    // Neither text is longer than the UTF-8: an exact one is just as long.
    if (utf8ToCp932(valueCp932, len + 1, utf8) < 0) return false;
    return cp932ToUtf8(readBack, len + 1, valueCp932) >= 0 && std::strcmp(readBack, utf8) == 0;
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
        reportAt(p->source, line, "%s: %s (and %d more in this value)", element, first, bad - 1);
    } else {
        reportAt(p->source, line, "%s: %s", element, first);
    }
}

// The list line: the name, a comma and the text, in double quotes unless it
// holds one (the reader then takes it to the end of the line).
size_t buildLine() {
    bool quoted = !cp932HasQuote;
    size_t n = std::strlen(listName);
    std::memcpy(lineBuf, listName, n);
    lineBuf[n++] = ',';
    if (quoted) lineBuf[n++] = '"';
    std::memcpy(lineBuf + n, textCp932, cp932Len);
    n += cp932Len;
    if (quoted) lineBuf[n++] = '"';
    lineBuf[n++] = '\n';
    lineBuf[n] = '\0';
    return n;
}

// What emojitag's reader makes of the line is the picture and its text, and
// the picture's comment keeps all of it.
bool readsBack(const PictureLine *p, size_t lineLen) {
    std::memcpy(proofBuf, lineBuf, lineLen + 1);
    ReaderLine line;
    readerTakeLine(proofBuf, lineLen, &line);
    if (line.type != p->type || std::strcmp(line.name, listName) != 0) return false;
    if (std::strcmp(line.text, textCp932) != 0) return false;
    readerConvert(&line);
    if (line.converted < 0 || std::strcmp(line.utf8, textUtf8) != 0) return false;
    return textCutProblem(*imageFormatOfType(p->type), line.utf8) == nullptr;
}

void copyBounded(char *out, size_t cap, const char *s) {
    size_t n = std::strlen(s);
    if (n >= cap) n = cap - 1;
    std::memcpy(out, s, n);
    out[n] = '\0';
}

}  // namespace

void beginPicture(PictureLine *p, const char *source, int line, int type, const char *name,
                  const char *shown) {
    p->source = source;
    p->line = line;
    p->type = type;
    p->refused = false;
    p->fields = 0;
    copyBounded(p->name.text, sizeof p->name.text, shown);
    copyBounded(listName, sizeof listName, name);
    utf8Len = 0;
    cp932Len = 0;
    cp932HasQuote = false;
    appendAscii(EMOJI_OPEN);
}

void refusePicture(PictureLine *p) {
    p->refused = true;
}

void addPictureField(PictureLine *p, int line, const char *element, const char *utf8, size_t len) {
    if (len + countEscapes(utf8, len) >= TEXT_UTF8_SIZE) {
        reportAt(p->source, line, "%s: the value is too long for a list line", element);
        return refusePicture(p);
    }
    size_t escapedLen = escapeValue(escaped, utf8, len);
    if (!toCp932Exactly(escaped, escapedLen)) {
        reportCharacters(p, line, element, utf8, len);
        return refusePicture(p);
    }
    // A format that keeps a text in pieces cut only at tag ends (GIF: data
    // blocks) needs every element to fit one piece, the first one together
    // with "<emoji>".
    const ImageFormat *format = imageFormatOfType(p->type);
    size_t pieceMax = format->pieceMax;
    size_t tags = elementSize(std::strlen(element), 0) + (p->fields == 0 ? EMOJI_OPEN_SIZE : 0);
    size_t room = tags < pieceMax ? pieceMax - tags : 0;
    if (pieceMax != 0 && escapedLen > room) {
        reportAt(p->source, line,
                 "%s: value too long for a %s: %lu bytes in UTF-8, at most %lu in this field",
                 element, format->name, static_cast<unsigned long>(escapedLen),
                 static_cast<unsigned long>(room));
        return refusePicture(p);
    }
    appendAscii("<");
    appendAscii(element);
    appendAscii(">");
    appendBoth(escaped, escapedLen, valueCp932, std::strlen(valueCp932));
    appendAscii("</");
    appendAscii(element);
    appendAscii(">");
    p->fields++;
}

int endPicture(PictureLine *p, FILE *out) {
    if (p->refused) return -1;
    if (p->fields == 0) return 0;
    appendAscii(EMOJI_CLOSE);
    bool quoted = !cp932HasQuote;
    size_t lineLen = std::strlen(listName) + 1 + cp932Len + (quoted ? 2 : 0) + 1;
    if (lineLen > READER_LINE_MAX) {
        reportAt(p->source, p->line,
                 "%s: the list line would be %lu bytes, more than the %lu emojitag reads",
                 p->name.text, static_cast<unsigned long>(lineLen),
                 static_cast<unsigned long>(READER_LINE_MAX));
        return -1;
    }
    // Both texts are whole now: the CP932 fits a line, the UTF-8 is at most
    // three times as long.
    textUtf8[utf8Len] = '\0';
    textCp932[cp932Len] = '\0';
    size_t chars = cp932Characters(textCp932, cp932Len);
    if (chars > READER_TEXT_UNITS) {
        reportAt(p->source, p->line,
                 "%s: the text would be %lu characters, more than the %lu emojitag converts",
                 p->name.text, static_cast<unsigned long>(chars),
                 static_cast<unsigned long>(READER_TEXT_UNITS));
        return -1;
    }
    lineLen = buildLine();
    if (!readsBack(p, lineLen)) {
        reportAt(p->source, p->line, "%s: the list line would not read back as written",
                 p->name.text);
        return -1;
    }
    std::fwrite(lineBuf, 1, lineLen, out);
    return 1;
}
