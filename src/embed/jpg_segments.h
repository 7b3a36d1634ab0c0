// jpg_segments.h - walking the JPEG marker structure, shared by the rewriter
// and the reader of emoji comments.
#ifndef EMOJITAG_JPG_SEGMENTS_H
#define EMOJITAG_JPG_SEGMENTS_H

#include <cstddef>

// The data size of a segment from its 2-byte big-endian length field. False
// for a length below 2, which cannot count its own field.
bool jpgSegmentDataSize(const unsigned char *field, size_t &dataSize);

// A 0xFF followed by this code stays inside entropy-coded data (a stuffed
// zero or a restart marker).
bool jpgContinuesData(unsigned char code);

// The 0xFF in [p, end) that ends a run of entropy-coded data: the first one
// not followed by a stuffed zero or a restart marker, or one in the last byte
// (its code lies beyond `end`). Null when the whole range is data.
const unsigned char *findJpgRunEnd(const unsigned char *p, const unsigned char *end);

#endif
