// embed.h - the one-pass GIF and JPEG rewriters and their comment writers.
#ifndef EMOJITAG_EMBED_H
#define EMOJITAG_EMBED_H

#include <cstdio>

// Copies a GIF from `in` to `out` with `emoji` (UTF-8, NUL-terminated) as one
// comment extension. 0 when the trailer has been written, -1 on any fault.
int setGifData(FILE *in, FILE *out, const char *emoji);

// Copies a JPEG from `in` to `out` with `emoji` as one COM segment. 0 when EOI
// has been written, -1 on any fault.
int setJpgData(FILE *in, FILE *out, const char *emoji);

#endif
