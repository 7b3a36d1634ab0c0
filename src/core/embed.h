// embed.h - the one-pass GIF and JPEG rewriters, their comment writers and
// the comment finders that walk an image as its rewriter does.
#ifndef EMOJITAG_EMBED_H
#define EMOJITAG_EMBED_H

#include <cstddef>
#include <cstdio>

#include "image_formats.h"

// Copies a GIF from `in` to `out` with the call's emoji text as one comment
// extension. REWRITE_DONE when the trailer has been written, REWRITE_FAULT
// on any fault.
int setGifData(FILE *in, FILE *out, EmbedCall &call);

// The end of the next closed tag at or after `p`: just past its '>', the end
// of the text for a closing emoji tag, or null when no tag end follows.
const char *searchTagEnd(const char *p);

// Writes the call's text as one GIF comment extension cut at tag ends, with
// a note where a piece does not fit. 0 written, 1 already written in this
// call (nothing done), -1 a write fell short.
int writeEmojiInfoGif(FILE *out, EmbedCall &call);

// How many bytes from the start of `emoji` writeEmojiInfoGif stores: the
// pieces it keeps, without the tail it drops (0: it writes no comment).
size_t gifCommentTextLength(const char *emoji);

// Copies a JPEG from `in` to `out` with the call's emoji text as one COM
// segment. REWRITE_DONE when EOI has been written, REWRITE_FAULT on any fault.
int setJpgData(FILE *in, FILE *out, EmbedCall &call);

// Writes the call's text as a COM segment after its 0xFF (and its 0xFE code
// byte too when `writeCode` is nonzero). 0 written, 1 already written, -1 a
// write fell short or the text does not fit one segment.
int writeEmojiInfoJpg(FILE *out, EmbedCall &call, int writeCode);

// How many bytes of `emoji` writeEmojiInfoJpg stores: all of a text it takes.
size_t jpgCommentTextLength(const char *emoji);

// The comment finders: the first emoji comment of the image on `in`, walked
// whole as the rewriter walks it (see ImageFormat::find).
int findGifEmojiText(FILE *in, FoundText *found, ImageWork &work);
int findJpgEmojiText(FILE *in, FoundText *found, ImageWork &work);

// The picture's size from the head of its stream (see ImageFormat::readSize).
bool readGifSize(FILE *in, ImageWork &work, unsigned &width, unsigned &height);
bool readJpgSize(FILE *in, ImageWork &work, unsigned &width, unsigned &height);

#endif
