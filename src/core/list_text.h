// list_text.h - one picture's line of the emoji list, built field by field:
// each value checked and added as an element, the line read back with
// emojitag's own reader before it is written. A picture with a fault is
// refused whole: nothing is written for it.
#ifndef EMOJITAG_LIST_TEXT_H
#define EMOJITAG_LIST_TEXT_H

#include <cstddef>
#include <cstdio>

#include "companion_report.h"
#include "list_reader.h"
#include "show_text.h"

// A text as a list line can hold it: in CP932, and in UTF-8 three times as
// long at most.
constexpr size_t TEXT_CP932_SIZE = READER_LINE_MAX + 1;
constexpr size_t TEXT_UTF8_SIZE = 3 * READER_LINE_MAX + 1;

// The texts of the picture being built: what emojitag stores (UTF-8) and what
// the list holds (CP932), side by side; the value on its way; the line and
// the reader's read of it. The caller keeps it in static storage (it is
// large) and hands it to beginPicture.
struct PictureText {
    char utf8[TEXT_UTF8_SIZE];
    char cp932[TEXT_CP932_SIZE];  // a text longer than a line holds is only counted
    size_t utf8Len;
    size_t cp932Len;                     // counted on beyond the buffer
    bool cp932HasQuote;                  // the CP932 text holds a double quote
    char listName[READER_LINE_MAX + 1];  // the name as the line gives it
    char escaped[TEXT_UTF8_SIZE];        // the value escaped,
    char valueCp932[TEXT_UTF8_SIZE];     // in CP932,
    char readBack[TEXT_UTF8_SIZE];       // and CP932 read back
    char line[READER_LINE_MAX + 2];      // the line as it is written
    ListSpace proof;                     // a copy of it, taken apart by the reader
};

// The picture being built, one at a time over its texts.
struct PictureLine {
    const char *source;  // the template's name, for messages
    int line;            // the template line that names the picture
    int type;            // a type of the format table, or PICTURE_NONE (refused)
    bool refused;        // a fault was reported; nothing is written
    int fields;          // elements added
    bool namesPicture;   // a fault names the picture and says it gets no line
    bool whole;          // the text was given whole, not field by field
    Shown name;          // the name as messages show it
    PictureText *text;
};

// Begins a picture named `listName` in the list (CP932, or as it stands),
// built in `text`; `shown` is how messages show it.
void beginPicture(PictureLine *p, PictureText *text, const char *source, int line, int type,
                  const char *listName, const char *shown);
// Reports a fault of the picture at input line `line`: with namesPicture
// naming the picture and saying that it gets no line, else naming it only
// where `named`.
void reportPictureFault(const PictureLine *p, int line, bool named, const char *format, ...)
    COMPANION_PRINTF(4, 5);
// Refuses the picture (its fault has been reported).
void refusePicture(PictureLine *p);
// Reports a fault of the picture found on line `line`, with the picture's
// name and that it gets no line, and refuses it.
void refusePictureAt(PictureLine *p, int line, const char *format, ...) COMPANION_PRINTF(3, 4);
// Adds the field `element` with its UTF-8 value (no NUL, CR or LF in it),
// from template line `line`; reports and refuses the picture when the value
// cannot be written exactly.
void addPictureField(PictureLine *p, int line, const char *element, const char *utf8, size_t len);
// Gives the picture's whole text instead of fields: its UTF-8 (no NUL, CR
// or LF in it), from the column `column` of input line `line`, as it stands;
// reports and refuses the picture when it cannot be written exactly.
void setPictureText(PictureLine *p, int line, const char *column, const char *utf8, size_t len);
// Ends the picture and builds its line in p->text->line, `*built` bytes
// with its line end: 1 built, 0 no field was filled in, -1 refused.
int closePicture(PictureLine *p, size_t *built);
// Ends the picture: writes its line to `out`. 1 written, 0 no field was
// filled in (nothing is written, so that emojitag leaves its text alone),
// -1 refused.
int endPicture(PictureLine *p, FILE *out);

#endif
