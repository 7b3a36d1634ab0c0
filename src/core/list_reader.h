// list_reader.h - the emoji-list reader: the list's name, its lines in the
// pieces emojitag reads, the checks of a line in the order they are
// reported, and the CP932 conversion of the text. The state of one read is a
// ListReader over buffers of its caller's; nothing is kept between calls.
#ifndef EMOJITAG_LIST_READER_H
#define EMOJITAG_LIST_READER_H

#include <cstddef>
#include <cstdio>

#include "utf8.h"

struct FileIdentity;

// Line buffer of the emoji list: one read takes at most 32767 bytes plus NUL.
constexpr int LINE_BUF_SIZE = 32768;
// The reader takes a line in pieces of at most this many bytes, its line
// end included; each piece counts as a line.
constexpr size_t READER_LINE_MAX = LINE_BUF_SIZE - 1;
// Of a text, the reader converts at most this many UTF-16 units: what fits
// the converter's output with its terminator.
constexpr size_t READER_TEXT_UNITS = (UTF16_CONVERT_SIZE - 2) / 2;
// Room for the suffix: 15 characters plus NUL.
constexpr int SFX_SIZE = 16;

// Picture types, as the reader tells them from a name's suffix: the types of
// the format table (image_formats.h), or none.
constexpr int PICTURE_NONE = 0;

// Why the reader refuses a line, in the order it looks (emojitag reports
// the blank line, the missing comma, the missing text and the open quote all
// as an input error).
constexpr int REFUSED_NOT = 0;
constexpr int REFUSED_BLANK = 1;       // nothing but white space
constexpr int REFUSED_NO_COMMA = 2;    // no comma after the name
constexpr int REFUSED_NO_DOT = 3;      // the name has no '.'
constexpr int REFUSED_BAD_SUFFIX = 4;  // no suffix of the format table
constexpr int REFUSED_NO_TEXT = 5;     // nothing after the comma
constexpr int REFUSED_OPEN_QUOTE = 6;  // the text's quote is never closed

// The caller's buffers of one read: `line`, `name` and `text` of
// LINE_BUF_SIZE bytes, `utf8` of UTF8_BUF_SIZE bytes.
struct ListBuffers {
    char *line;  // the piece being read
    char *name;  // the name field
    char *text;  // the text field, CP932
    char *utf8;  // the text converted
};

// Buffers of a read in one piece, for a caller that has none of its own
// (static storage: they are large).
struct ListSpace {
    char line[LINE_BUF_SIZE];
    char name[LINE_BUF_SIZE];
    char text[LINE_BUF_SIZE];
    char utf8[UTF8_BUF_SIZE];
};
inline ListBuffers listBuffersOf(ListSpace *space) {
    return ListBuffers{space->line, space->name, space->text, space->utf8};
}

// What the reader made of the line read or taken last. The texts live in
// the read's buffers, valid until the next line is read or taken.
struct ListLine {
    const char *bytes;  // the piece as read, NUL-terminated after `length` bytes
    size_t length;      // bytes read, NULs included
    int type;           // a type of the format table, or PICTURE_NONE: refused
    int refusal;        // REFUSED_NOT, or why the line is refused
    const char *name;   // the name field (also for REFUSED_NO_DOT, REFUSED_BAD_SUFFIX), else ""
    const char *text;   // the text field as the reader keeps it (CP932); "" when refused
    const char *utf8;   // after convertListText: the text as emojitag stores it
    int converted;      // after convertListText: the converter's result
};

// One read of a list.
struct ListReader {
    FILE *stream;        // the list; null for lines handed in
    ListBuffers buf;     // the caller's
    int lineNo;          // pieces read so far: the number of the last one
    char sfx[SFX_SIZE];  // the last name's suffix, lower-cased
    ListLine line;
};

// Begins a read of `stream` (null when lines are only handed in) into
// `buffers`, before its first line.
void startListRead(ListReader *r, FILE *stream, ListBuffers buffers);
// Reads the next piece as emojitag does (up to and including a LF, at most
// READER_LINE_MAX bytes), counts it and takes it into r->line: 1; 0 at the
// end of the list; -1 when reading failed (a piece cut by the failure is not
// taken).
int readListLine(ListReader *r);
// Takes a line held in memory (NUL-terminated after `length` bytes) as a
// line read is taken, without counting it. The line is edited in place.
void takeListLine(ListReader *r, char *bytes, size_t length);
// The text of the line taken last through the converter to UTF-8 in
// r->buf.utf8, as emojitag converts it before the image job (r->line.utf8
// and converted set); the converter's result.
int convertListText(ListReader *r);
// Prints emojitag's own message for a refused line, as line `lineNo`, on
// standard error; nothing for a line taken.
void reportListRefusal(const ListLine &line, int lineNo);

// The list's name ends in exactly ".csv".
bool isCsvListName(const char *path);
// Checks the list's name and opens it for reading, its identity in *id;
// prints emojitag's message and returns null when the name is refused or
// the file cannot be opened or is not a regular file.
FILE *openListFile(const char *path, FileIdentity *id);
// The picture type a name's suffix gives (a suffix of the format table in
// any case), or PICTURE_NONE.
int imageTypeOfName(const char *name);

// White space is 0x09-0x0D and 0x20 only; no locale is consulted.
bool isSpaceByte(unsigned char c);
// The first byte of `s` that is not white space (possibly its NUL).
char *skipSpace(char *s);
// The first comma of `s`, or null.
char *findComma(char *s);
// Cuts the text before its first CR or LF that is not its first byte; 0.
int trimStr(char *s);

#endif
