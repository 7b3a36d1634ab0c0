// list_text.h - one picture's line of the emoji list, built field by field:
// each value checked and added as an element, the line read back with
// emojitag's own reader before it is written. A picture with a fault is
// refused whole: nothing is written for it.
#ifndef EMOJITAG_LIST_TEXT_H
#define EMOJITAG_LIST_TEXT_H

#include <cstddef>
#include <cstdio>

#include "show_text.h"

// The picture being built. Its text lives in static buffers: one picture at
// a time.
struct PictureLine {
    const char *source;  // the template's name, for messages
    int line;            // the template line that names the picture
    int type;            // a type of the format table, or PICTURE_NONE (refused)
    bool refused;        // a fault was reported; nothing is written
    int fields;          // elements added
    Shown name;          // the name as messages show it
};

// Begins a picture named `listName` in the list (CP932, or as it stands);
// `shown` is how messages show it.
void beginPicture(PictureLine *p, const char *source, int line, int type, const char *listName,
                  const char *shown);
// Refuses the picture (its fault has been reported).
void refusePicture(PictureLine *p);
// Adds the field `element` with its UTF-8 value (no NUL, CR or LF in it),
// from template line `line`; reports and refuses the picture when the value
// cannot be written exactly.
void addPictureField(PictureLine *p, int line, const char *element, const char *utf8, size_t len);
// Ends the picture: writes its line to `out`. 1 written, 0 no field was
// filled in (nothing is written, so that emojitag leaves its text alone),
// -1 refused.
int endPicture(PictureLine *p, FILE *out);

#endif
