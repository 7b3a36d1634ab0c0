// reader_bridge.h - emojitag's own list reader, one line at a time, for the
// programs that must read a list exactly as emojitag does: its pieces of a
// line, its checks, its CP932 conversion and its name rules. Everything that
// reaches into the reader goes through here.
#ifndef EMOJITAG_READER_BRIDGE_H
#define EMOJITAG_READER_BRIDGE_H

#include <cstddef>
#include <cstdio>

// The reader takes a line in pieces of at most this many bytes, its line
// end included; each piece counts as a line.
constexpr size_t READER_LINE_MAX = 32767;
// Of a text, the reader converts at most this many UTF-16 units.
constexpr size_t READER_TEXT_UNITS = 16385;

// Picture types, as the reader tells them from a name's suffix: the types of
// the format table (image_formats.h), or none.
constexpr int PICTURE_NONE = 0;

// Why the reader refuses a line.
constexpr int REFUSED_NOT = 0;
constexpr int REFUSED_BLANK = 1;
constexpr int REFUSED_NO_COMMA = 2;
constexpr int REFUSED_NO_DOT = 3;
constexpr int REFUSED_BAD_SUFFIX = 4;
constexpr int REFUSED_NO_TEXT = 5;
constexpr int REFUSED_OPEN_QUOTE = 6;

// One line (piece) of a list as the reader has it. The texts live in the
// reader's buffers, valid until the next line is read or taken.
struct ReaderLine {
    const char *bytes;  // the piece as read, NUL-terminated after `length` bytes
    size_t length;      // bytes read, NULs included
    int type;           // a type of the format table, or PICTURE_NONE: refused
    int refusal;        // REFUSED_NOT, or why the line is refused
    const char *name;   // the name field (also for REFUSED_NO_DOT, REFUSED_BAD_SUFFIX)
    const char *text;   // the text field as the reader keeps it (CP932)
    const char *utf8;   // after readerConvert: the text as emojitag stores it
    int converted;      // after readerConvert: the converter's result
};

// Reads the next piece of `list` as the reader does and takes it; false at
// the end of the file or on a read error (see ferror).
bool readerNextLine(FILE *list, ReaderLine *line);
// Takes a line held in memory (NUL-terminated, `length` bytes), as the reader
// takes what it has read. The line may be edited in place.
void readerTakeLine(char *bytes, size_t length, ReaderLine *line);
// Prints the reader's own message for a line it refuses (as emojitag prints
// it, as line `number`) on standard error; nothing for a line it takes. The
// line must be the one read or taken last.
void readerReportRefusal(const ReaderLine &line, int number);
// Converts the taken text to UTF-8 as the reader does before the image job
// (into a buffer of the bridge's own, valid until the next conversion).
void readerConvert(ReaderLine *line);

// The name emojitag opens for a list name (the UTF-8 spelling of a CP932
// name where only that exists); valid until the next call.
const char *readerImagePath(const char *name);
// The picture type of a name, by its suffix.
int readerPictureType(const char *name);
// The name of the -out copy emojitag writes for `path`; valid until the next call.
const char *readerOutName(const char *path);
// emojitag reads a list only under a name that ends in exactly ".csv".
bool readerListName(const char *path);
// White space as the reader skips it before a name.
bool readerIsSpace(unsigned char c);

#endif
