// image_call.h - one call of a format's reader or rewriter: the scratch it
// works in, what it is given and what it reports. The readers keep no state
// of their own between calls; every program turns the results into its own
// messages.
#ifndef EMOJITAG_IMAGE_CALL_H
#define EMOJITAG_IMAGE_CALL_H

#include <cstddef>

// The scratch of one call: the blocks the input is read in, one field or
// segment read whole, and the first bytes of a comment. Tens of KiB, so a
// program keeps one statically and hands it to each call in turn.
constexpr size_t IMAGE_INPUT_SIZE = 128 * 1024;
constexpr size_t IMAGE_FIELD_SIZE = 64 * 1024;
constexpr size_t IMAGE_HEAD_SIZE = 256;
struct ImageWork {
    unsigned char input[IMAGE_INPUT_SIZE];
    unsigned char field[IMAGE_FIELD_SIZE];
    unsigned char head[IMAGE_HEAD_SIZE];
};

// Results of a rewrite. A fault is a refused image or a write that fell
// short; the caller tells them apart by the output stream's error flag.
enum RewriteResult { REWRITE_DONE = 0, REWRITE_FAULT = -1 };

// What a comment writer met on the way, as bits of EmbedCall::notes: no tag
// end follows where a piece must end, and a piece that does not fit (the text
// from there on is lost).
enum RewriteNote { NOTE_NO_TAG_END = 1, NOTE_TAG_TOO_LONG = 2 };

// Results of a comment finder (and of reading an image's emoji text).
enum FindResult {
    TEXT_FOUND = 0,       // the text is in the FoundText
    TEXT_NONE = 1,        // the file holds no emoji comment
    TEXT_MALFORMED = 2,   // the file is not one the rewriter accepts
    TEXT_TOO_LONG = 3,    // the emoji comment exceeds the FoundText's room
    TEXT_CANNOT_OPEN = 4  // the file cannot be opened
};

// One rewrite: the emoji text (UTF-8, NUL-terminated) and the scratch, in;
// whether the text is out and the notes, out. The text is written at most
// once in a call.
struct EmbedCall {
    const char *emoji;
    ImageWork *work;
    bool replaceOld;  // an old emoji comment receives the text in its place
    bool written;     // the comment writer has placed the text (or all it keeps of it)
    unsigned notes;   // RewriteNote bits
};

inline EmbedCall startEmbedCall(const char *text, ImageWork &work) {
    return EmbedCall{text, &work, true, false, 0};
}

// Where a finder leaves the first emoji comment's data: `text` has room for
// `room` bytes; `length` counts what is in it (start at 0). A longer emoji
// comment is TEXT_TOO_LONG.
struct FoundText {
    unsigned char *text;
    size_t length;
    size_t room;
};

#endif
