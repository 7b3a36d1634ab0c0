// template_source.h - the encoding of a filled-in template, told from its
// bytes: a file that begins with a UTF-8 byte-order mark, or is UTF-8 as a
// whole and holds bytes of 0x80 or above, is UTF-8; a file with a note row
// that is not UTF-8, or any other, is CP932. A note row is a row whose first
// cell begins with '#' and that holds nothing else: the reader passes over
// it, and the CP932 template of a list carries one where its bytes would
// otherwise read as UTF-8.
#ifndef EMOJITAG_TEMPLATE_SOURCE_H
#define EMOJITAG_TEMPLATE_SOURCE_H

#include <cstdio>

#include "text_encoding.h"

constexpr int FROM_BYTES = 0;  // tell it from the bytes
constexpr int FROM_CP932 = 1;
constexpr int FROM_UTF8 = 2;
// The encoding an option names: "cp932" or "utf-8"; -1 for any other name.
int encodingNamed(const char *name);

// What the bytes scanned say, without a byte-order mark: FROM_CP932,
// FROM_UTF8, or BYTES_DAMAGED_UTF8 for UTF-8 with a few faults, which
// would read as CP932 into garbled text.
constexpr int BYTES_DAMAGED_UTF8 = -1;
int encodingOfBytes(const Utf8Scan &scan);

// The first byte of a note row's first cell.
constexpr char NOTE_MARK = '#';
// The note row of a CP932 template: "# CP932 template (this row is passed
// over)" in Japanese, in CP932, which no UTF-8 text holds.
constexpr char CP932_NOTE_ROW[] =
    "# CP932\x82\xcc\x83\x65\x83\x93\x83\x76\x83\x8c\x81\x5b\x83\x67 "
    "(\x82\xb1\x82\xcc\x8d\x73\x82\xcd\x93\xc7\x82\xdd\x94\xf2\x82\xce\x82\xb3\x82\xea\x82\xdc"
    "\x82\xb7)\n";

// The encoding of the template open as `in` (named `path`): `from` unless
// that is FROM_BYTES. Leaves `in` at the first record, past a UTF-8
// byte-order mark (also when CP932 is asked for). -1, reported, when the file cannot be read, is
// in UTF-16 or is UTF-8 but for a few bytes. A file told from its bytes that reads both as UTF-8
// and as CP932 is taken as UTF-8, and said so.
int templateEncoding(FILE *in, const char *path, int from);

#endif
