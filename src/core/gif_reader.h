// gif_reader.h - walks a GIF stream block by block, one field at a time: the
// block structure of GIF87a and GIF89a, written once for the rewriter and for
// the finder of emoji comments. Every step that reads can pass what it has
// read on to a second stream `to` (the rewriter's copy) or to none (null: the
// finder, or a comment being removed). Bytes passed on are written without a
// test, except where a step says otherwise.
#ifndef EMOJITAG_GIF_READER_H
#define EMOJITAG_GIF_READER_H

#include <cstddef>
#include <cstdio>

#include "image_call.h"
#include "stream_io.h"

// What nextGifBlock has met.
constexpr int GIF_BLOCK_FAULT = -1;   // short read, stray introducer or unknown label
constexpr int GIF_BLOCK_COMMENT = 0;  // 0x21 0xFE read; the comment comes next
constexpr int GIF_BLOCK_IMAGE = 1;    // 0x2C read; the image descriptor comes next
constexpr int GIF_BLOCK_TRAILER = 2;  // 0x3B read; the stream ends

// Classes of a comment by the length of its first sub-block.
constexpr int GIF_COMMENT_FAULT = -1;    // short read
constexpr int GIF_COMMENT_EMPTY = 0;     // length 0: the comment is complete
constexpr int GIF_COMMENT_SHORT = 1;     // 1 to 6 bytes, never looked at, still unread
constexpr int GIF_COMMENT_EXAMINED = 2;  // first sub-block read into `head`, no emoji tag
constexpr int GIF_COMMENT_EMOJI = 3;     // first sub-block read into `head`, an emoji tag

// The input is read into the call's scratch in pieces of this size, which
// also serve for the bytes after the trailer.
constexpr size_t GIF_INPUT_SIZE = 64 * 1024;

// State of one walk over one stream; its buffers are the call's scratch.
struct GifReader {
    BlockInput input;  // over the scratch's input blocks
    // The field read last, or the sub-block pullGifSubBlock read last.
    unsigned char *block;
    // The first sub-block of the comment met last.
    unsigned char *head;
    int commentClass;             // class of that comment (GIF_COMMENT_*)
    unsigned char commentLength;  // length byte of its first sub-block
};

GifReader startGifReader(FILE *in, ImageWork &work);

// Header (signature and logical screen descriptor) and global colour table.
// The signature is not looked at: any 13 bytes pass as a header.
bool passGifHeader(GifReader &r, FILE *to);

// Reads the next introducer and returns what it opens. Plain text, graphic
// control and application extensions are passed whole: introducer and label
// with a tested write, their sub-blocks untested. An unknown label passes on
// nothing.
int nextGifBlock(GifReader &r, FILE *to);

// After 0x2C: image descriptor, local colour table, LZW minimum code size and
// the image data.
bool passGifImage(GifReader &r, FILE *to);

// After 0x21 0xFE: reads the first length byte and, for an examined comment,
// the first sub-block; returns the comment's class (GIF_COMMENT_*).
int readGifCommentStart(GifReader &r);
// What readGifCommentStart left of the comment: a short comment's first
// data, then the rest of the chain up to its terminator.
bool passGifCommentRest(GifReader &r, FILE *to);

// Reads one sub-block of a chain into `block`, its length byte and data each
// passed on as soon as read; returns its size (0 for the terminator) or -1
// on a short read.
int pullGifSubBlock(GifReader &r, FILE *to);

// After the trailer: copies everything left in the stream to `out`, every
// write tested.
bool copyGifRest(GifReader &r, FILE *out);

#endif
