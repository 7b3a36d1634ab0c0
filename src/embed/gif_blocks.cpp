// gif_blocks.cpp - colour-table size and sub-block skipping.
#include "gif_blocks.h"

#include "gif_format.h"
#include "stream_io.h"

// Packed field: a colour table follows; its size code is in the low 3 bits.
constexpr unsigned char COLOR_TABLE_FLAG = 0x80;
constexpr unsigned char COLOR_TABLE_SIZE_MASK = 0x07;

// One skipped sub-block at a time.
static unsigned char skipBuf[GIF_SUB_BLOCK_MAX];

size_t gifColorTableSize(unsigned char packed) {
    if ((packed & COLOR_TABLE_FLAG) == 0) return 0;
    return 3u << ((packed & COLOR_TABLE_SIZE_MASK) + 1);
}

int skipGifSubBlocks(FILE *in) {
    unsigned char n;
    for (;;) {
        if (!readByte(in, n)) return -1;
        if (n == GIF_BLOCK_TERMINATOR) return 0;
        if (!readExact(in, skipBuf, n)) return -1;
    }
}
