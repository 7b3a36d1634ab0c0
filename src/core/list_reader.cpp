// list_reader.cpp - reads the emoji list line by line and takes each line
// apart: the name up to the first comma, its suffix, the text after it.
#include "list_reader.h"

#include <cstring>

#include "image_formats.h"
#include "platform_file.h"
#include "report.h"

bool isSpaceByte(unsigned char c) {
    return c == 0x20 || (c >= 0x09 && c <= 0x0D);
}

char *skipSpace(char *s) {
    while (isSpaceByte(static_cast<unsigned char>(*s)))
        s++;
    return s;
}

char *findComma(char *s) {
    return std::strchr(s, ',');
}

int trimStr(char *s) {
    size_t n = std::strlen(s);
    for (size_t i = n; i-- > 1;) {
        if (s[i] == '\r' || s[i] == '\n') s[i] = '\0';
    }
    return 0;
}

bool isCsvListName(const char *path) {
    const char *dot = std::strrchr(path, '.');
    return dot != nullptr && std::strcmp(dot, ".csv") == 0;
}

FILE *openListFile(const char *path, FileIdentity *id) {
    if (!isCsvListName(path)) {
        reportPath(path, "not csv file");
        return nullptr;
    }
    // Only a regular file is a list: a directory holds no lines, and a FIFO
    // would keep the run waiting for a writer.
    FileInfo info;
    FILE *fp = openInputFile(path, &info);
    if (fp != nullptr && info.kind != ENTRY_FILE) {
        std::fclose(fp);
        fp = nullptr;
    }
    if (fp == nullptr) {
        reportPath(path, "not found");
        return nullptr;
    }
    *id = info.id;
    return fp;
}

// The suffix from `dot` on, lower-cased into `sfx` (at most SFX_SIZE - 1
// characters), and the picture type it gives.
static int typeOfSuffix(const char *dot, char *sfx) {
    int i = 0;
    for (; i < SFX_SIZE - 1 && dot[i] != '\0'; i++) {
        char c = dot[i];
        sfx[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    sfx[i] = '\0';
    const ImageFormat *format = imageFormatOfSuffix(sfx);
    return format == nullptr ? PICTURE_NONE : format->type;
}

int imageTypeOfName(const char *name) {
    const char *dot = std::strrchr(name, '.');
    if (dot == nullptr) return PICTURE_NONE;
    char sfx[SFX_SIZE];
    return typeOfSuffix(dot, sfx);
}

void startListRead(ListReader *r, FILE *stream, ListBuffers buffers) {
    r->stream = stream;
    r->buf = buffers;
    r->lineNo = 0;
    r->sfx[0] = '\0';
    r->line = ListLine{"", 0, PICTURE_NONE, REFUSED_BLANK, "", "", "", 0};
}

// One byte of the list, without the stream's lock for each (one thread reads
// it); the Windows C library has the call under another name.
static inline int nextListByte(FILE *in) {
#ifdef _WIN32
    return _getc_nolock(in);
#else
    return getc_unlocked(in);
#endif
}

int readListLine(ListReader *r) {
    // As fgets fills the line buffer, but telling how many bytes came, so
    // that a NUL byte inside the line can be seen.
    char *buf = r->buf.line;
    size_t n = 0;
    int c = 0;
    while (n < READER_LINE_MAX && (c = nextListByte(r->stream)) != EOF) {
        buf[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    // A piece cut by a read error is no line: reading again after the error
    // would go on from the middle of the line.
    if (std::ferror(r->stream)) return -1;
    if (n == 0) return 0;
    buf[n] = '\0';
    r->lineNo++;
    takeListLine(r, buf, n);
    return 1;
}

// Copies the text field into `text`: a leading double quote takes the text
// up to the next double quote; otherwise the field runs to the line end.
// Returns false for an opening quote that is never closed on the line.
static bool takeTextField(const char *field, char *text) {
    size_t len;
    if (*field == '"') {
        field++;
        const char *close = std::strchr(field, '"');
        if (close == nullptr) return false;
        len = static_cast<size_t>(close - field);
    } else {
        len = std::strlen(field);
    }
    std::memcpy(text, field, len);
    text[len] = '\0';
    trimStr(text);
    return true;
}

// The checks in the order emojitag reports them; the first that fails is
// the line's refusal.
static int takeFields(ListReader *r, char *bytes) {
    ListLine &l = r->line;
    char *start = skipSpace(bytes);
    if (*start == '\0') return REFUSED_BLANK;
    char *comma = findComma(start);
    if (comma == nullptr) return REFUSED_NO_COMMA;
    size_t nameLen = static_cast<size_t>(comma - start);
    std::memcpy(r->buf.name, start, nameLen);
    r->buf.name[nameLen] = '\0';
    l.name = r->buf.name;

    const char *dot = std::strrchr(r->buf.name, '.');
    if (dot == nullptr) return REFUSED_NO_DOT;
    int type = typeOfSuffix(dot, r->sfx);
    if (type == PICTURE_NONE) return REFUSED_BAD_SUFFIX;
    const char *field = comma + 1;
    if (*field == '\0') return REFUSED_NO_TEXT;
    if (!takeTextField(field, r->buf.text)) return REFUSED_OPEN_QUOTE;
    l.type = type;
    l.text = r->buf.text;
    return REFUSED_NOT;
}

void takeListLine(ListReader *r, char *bytes, size_t length) {
    // A refusal before the name is taken leaves no name; a refused line
    // has no text.
    r->line = ListLine{bytes, length, PICTURE_NONE, REFUSED_NOT, "", "", "", 0};
    r->line.refusal = takeFields(r, bytes);
}

int convertListText(ListReader *r) {
    ListLine &l = r->line;
    l.converted = convertCp932Text(l.text, std::strlen(l.text), r->buf.utf8, UTF8_BUF_SIZE);
    l.utf8 = r->buf.utf8;
    return l.converted;
}

void reportListRefusal(const ListLine &line, int lineNo) {
    if (line.refusal == REFUSED_NO_DOT) {
        reportLine(lineNo, line.name, "bad file name");
    } else if (line.refusal == REFUSED_BAD_SUFFIX) {
        reportLine(lineNo, line.name, "sfx not supported.");
    } else if (line.refusal != REFUSED_NOT) {
        reportBareLine(lineNo, "input error");
    }
}
