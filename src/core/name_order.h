// name_order.h - the order of the names in a directory, the same on every
// platform: by their characters (Unicode code points, whatever code page the
// system spells them in), with each run of ASCII digits taken as a number, as
// file managers show them ("e_239" before "e_2279").
//
// Names are compared through their keys: the name in UTF-8, whose byte order
// is the order of its code points. Where the system's names are UTF-8 the
// name is its own key, and a byte of it that begins no well-formed character
// compares by its value where it stands; where they are CP932 the converter
// gives the key. The order is total: numbers equal but for their leading
// zeros put the fewer zeros first (at the first run where they differ), and
// names with one key (a character the converter does not know stands as '?')
// go in the order of their bytes.
#ifndef EMOJITAG_NAME_ORDER_H
#define EMOJITAG_NAME_ORDER_H

#include <cstddef>

// The most bytes a key takes for each byte of a CP932 name (a half-width
// katakana, one byte, is three in UTF-8), and the NUL after them.
constexpr size_t NAME_KEY_BYTES_PER_BYTE = 3;

// The key of the CP932 name `name` in `key`, which holds at least
// NAME_KEY_BYTES_PER_BYTE * strlen(name) + 1 bytes: its length.
size_t cp932NameKey(const char *name, char *key, size_t cap);

// <0 when name A comes before name B, >0 when after, 0 only for the same
// bytes. Each name with its key (the name itself where names are UTF-8).
int compareNames(const char *nameA, const char *keyA, const char *nameB, const char *keyB);

#endif
