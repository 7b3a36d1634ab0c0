// shown_name.h - a name as every message of the programs shows it: each
// control byte (below 0x20, and 0x7F) as '?', so that a message stays one
// line and sends nothing to the terminal but text; every other byte, CP932
// and UTF-8 bytes of 0x80 and above among them, as it is.
#ifndef EMOJITAG_SHOWN_NAME_H
#define EMOJITAG_SHOWN_NAME_H

#include <cstddef>
#include <cstdio>

// A control byte: below 0x20, or 0x7F.
bool isControlByte(unsigned char b);
// The byte `c` of a name as it is shown.
char shownByte(char c);
// Puts the `len` bytes at `bytes` in their shown form, in place.
void showNameBytes(char *bytes, size_t len);
// Writes the NUL-terminated `name` to `out` in its shown form.
void putShownName(FILE *out, const char *name);

#endif
