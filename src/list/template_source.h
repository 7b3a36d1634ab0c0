// template_source.h - the encoding of a filled-in template, told from its
// bytes: a file that begins with a UTF-8 byte-order mark, or is UTF-8 as a
// whole and holds bytes of 0x80 or above, is UTF-8; any other is CP932.
#ifndef EMOJITAG_TEMPLATE_SOURCE_H
#define EMOJITAG_TEMPLATE_SOURCE_H

#include <cstdio>

constexpr int FROM_BYTES = 0;  // tell it from the bytes
constexpr int FROM_CP932 = 1;
constexpr int FROM_UTF8 = 2;

// The encoding of the template open as `in` (named `path`): `from` unless
// that is FROM_BYTES. Leaves `in` at the first record, past a UTF-8
// byte-order mark (also when CP932 is asked for). -1, reported, when the file cannot be read or is
// in UTF-16.
int templateEncoding(FILE *in, const char *path, int from);

#endif
