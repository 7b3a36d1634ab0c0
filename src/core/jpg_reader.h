// jpg_reader.h - walks a JPEG stream marker by marker, written once for the
// rewriter and for the finder of emoji comments. The stream is read in large
// blocks; entropy-coded data is passed over with memchr. Every step that reads
// can pass what it has read on to a second stream `to` (the rewriter's copy)
// or to none (null: the finder, or a comment being removed); each step says
// which of its copies are tested.
#ifndef EMOJITAG_JPG_READER_H
#define EMOJITAG_JPG_READER_H

#include <cstddef>
#include <cstdio>

#include "image_call.h"
#include "jpg_markers.h"
#include "stream_io.h"

// The markers nextJpgMarker leaves to its caller.
constexpr int JPG_MARKER_FAULT = -1;   // short read, or no 0xFF where a marker must begin
constexpr int JPG_MARKER_END = 0;      // EOI
constexpr int JPG_MARKER_SCAN = 1;     // SOS: scan header and entropy-coded data follow
constexpr int JPG_MARKER_COMMENT = 2;  // COM
constexpr int JPG_MARKER_FRAME = 3;    // SOFn, met only when the reader stops at frames

// Where the marker walk stands between two markers.
constexpr int JPG_AFTER_SEGMENT = 0;  // the next byte must be a marker's 0xFF
constexpr int JPG_AT_PREFIX = 1;      // a marker's 0xFF has been read, not yet passed on
constexpr int JPG_AT_CODE = 2;        // a marker's 0xFF has been passed on; its code is next

// Classes of a comment by its data length n.
constexpr int JPG_COMMENT_FAULT = -1;    // short read or a length below 2
constexpr int JPG_COMMENT_SHORT = 0;     // n of 0 to 7, never looked at, still unread
constexpr int JPG_COMMENT_EXAMINED = 1;  // the first 7 data bytes read into `head`, no emoji tag
constexpr int JPG_COMMENT_EMOJI = 2;     // the first 7 data bytes read into `head`, an emoji tag

// State of one walk over one stream; its buffers are the call's scratch.
struct JpgReader {
    BlockInput input;                            // over the scratch's input blocks
    int step;                                    // JPG_AFTER_SEGMENT, JPG_AT_PREFIX or JPG_AT_CODE
    unsigned char lengthField[JPG_LENGTH_SIZE];  // of the comment met last
    unsigned char *head;                         // its first data bytes
    size_t commentRest;                          // its data bytes not yet read
    unsigned char *segment;                      // the data of a segment passed on
    bool stopAtFrame;                            // nextJpgMarker leaves SOFn to the caller too
};

JpgReader startJpgReader(FILE *in, ImageWork &work);

// SOI and the first marker's 0xFF, passed on untested before they are
// looked at; false unless they are 0xFF 0xD8 0xFF.
bool passJpgStart(JpgReader &r, FILE *to);

// Moves to the next marker that the caller decides on (EOI, SOS, COM) and
// returns its kind; its code byte is left to the caller. Each marker's 0xFF
// is passed on with a tested write. Markers passed on the way: segments (code
// byte tested, length and data untested), TEM, fill bytes, and a stuffed zero
// or restart marker with the entropy-coded data after it.
int nextJpgMarker(JpgReader &r, FILE *to);

// After SOS: the scan header (untested) and the entropy-coded data, every
// run of it tested, up to the 0xFF of the next marker.
bool passJpgScan(JpgReader &r, FILE *to);

// After COM: reads the length field and, for an examined comment, the first
// data bytes; returns the comment's class (JPG_COMMENT_*). Nothing is passed
// on: the caller decides what becomes of the comment.
int readJpgCommentStart(JpgReader &r);
// The data readJpgCommentStart left of the comment, passed on untested.
bool passJpgCommentRest(JpgReader &r, FILE *to);
// ... or read into `dest` instead.
bool pullJpgCommentRest(JpgReader &r, unsigned char *dest);

// After SOFn: the frame's width and height from its header; false on a
// short read or a header too short to hold them.
bool readJpgFrameSize(JpgReader &r, unsigned &width, unsigned &height);

// After EOI: copies what the stream holds after it to `out`, every write
// tested.
bool copyJpgRest(JpgReader &r, FILE *out);

#endif
