// gif_blocks.h - walking the GIF block structure, shared by the rewriter and
// the reader of emoji comments.
#ifndef EMOJITAG_GIF_BLOCKS_H
#define EMOJITAG_GIF_BLOCKS_H

#include <cstddef>
#include <cstdio>

// Size in bytes of the colour table that a packed field (of the screen or an
// image descriptor) announces: 3 x 2^(s+1) with s in its low 3 bits, or 0
// when its flag bit says no table follows.
size_t gifColorTableSize(unsigned char packed);

// Reads sub-blocks up to and including the zero-length terminator and keeps
// nothing; 0, or -1 on a short read.
int skipGifSubBlocks(FILE *in);

#endif
