// list_name.h - whether a line of the emoji list can carry a picture's name:
// emojitag's reader skips the blanks before a name, ends it at the first
// comma and the line at CR or LF, so a name holding one of them, or
// beginning with a blank, would be read back as another name.
#ifndef EMOJITAG_LIST_NAME_H
#define EMOJITAG_LIST_NAME_H

#include <cstddef>

// The `len` bytes at `name` (a zero byte among them included) can stand as
// the name of a list line.
bool canListName(const char *name, size_t len);

#endif
