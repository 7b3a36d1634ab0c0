// image_formats.h - the image formats the programs know, one row each: which
// names are of the format, its rewriter and comment finder, its comment rules
// and its messages. Every program asks this table; nothing else names a
// format.
#ifndef EMOJITAG_IMAGE_FORMATS_H
#define EMOJITAG_IMAGE_FORMATS_H

#include <cstddef>
#include <cstdio>

// Image types: the code the list reader hands to the image job (0: none).
constexpr int IMG_GIF = 1;
constexpr int IMG_JPEG = 2;

// The longest emoji text a finder keeps: what one JPEG COM segment can hold.
// A GIF comment can be longer; beyond this it is reported as too long.
constexpr size_t EMOJI_TEXT_MAX = 65533;

// Results of a comment finder (and of reading an image's emoji text).
constexpr int TEXT_FOUND = 0;        // the text is in the FoundText
constexpr int TEXT_NONE = 1;         // the file holds no emoji comment
constexpr int TEXT_MALFORMED = 2;    // the file is not one the rewriter accepts
constexpr int TEXT_TOO_LONG = 3;     // the emoji comment exceeds EMOJI_TEXT_MAX
constexpr int TEXT_CANNOT_OPEN = 4;  // the file cannot be opened

// Where a finder leaves the first emoji comment's data: `text` has room for
// EMOJI_TEXT_MAX bytes; `length` counts what is in it (start at 0).
struct FoundText {
    unsigned char *text;
    size_t length;
};

// The stream buffer through which a picture's size is read: a size reader
// passes over this many bytes by reading rather than by a seek.
constexpr size_t PICTURE_STREAM_BUF_SIZE = 64 * 1024;

// Suffixes one format has at most, and signature bytes.
constexpr int IMAGE_SUFFIXES_MAX = 4;
constexpr size_t IMAGE_SIGNATURE_MAX = 4;

struct ImageFormat {
    int type;          // IMG_GIF, IMG_JPEG
    const char *name;  // "GIF", "JPEG": how messages name the format
    // Lower-case suffixes from the '.', matched in any case; null after the last.
    const char *suffixes[IMAGE_SUFFIXES_MAX];
    // Copies an image with the emoji text as its one emoji comment: 0, or
    // nonzero when the image is refused or a write fell short.
    int (*rewrite)(FILE *in, FILE *out, const char *emoji);
    // Walks an image as the rewriter does and keeps its first emoji comment:
    // TEXT_FOUND, TEXT_NONE, TEXT_MALFORMED or TEXT_TOO_LONG.
    int (*find)(FILE *in, FoundText *found);
    // Reads the picture's width and height from the head of a stream
    // buffered with PICTURE_STREAM_BUF_SIZE bytes; false when it cannot.
    bool (*readSize)(FILE *in, unsigned &width, unsigned &height);
    // A comment with fewer data bytes is never examined, so never an emoji
    // comment (a GIF counts the first sub-block only).
    size_t examinedCommentMin;
    // The longest text the comment writer takes (a longer one fails the
    // rewrite), and how many bytes of a text it stores.
    size_t textMax;
    size_t (*storedLength)(const char *emoji);
    // The most UTF-8 bytes between two tag ends that a comment keeps in one
    // piece (0: no such limit), and the list check's finding for a text the
    // comment cannot keep whole (null where it always can).
    size_t pieceMax;
    const char *textCutFinding;
    // The first bytes of every file of the format (signatureSize of them).
    unsigned char signature[IMAGE_SIGNATURE_MAX];
    size_t signatureSize;
    // The image job's message for a refused image ("Error: %d:%s: " before it).
    const char *badImageMessage;
    // emojitag-extract's report of a file the finder calls malformed.
    const char *malformedReport;
};

extern const ImageFormat IMAGE_FORMATS[];
extern const int IMAGE_FORMAT_COUNT;

// The format's textCutFinding when its comment writer stores only part of
// `emoji` (UTF-8, NUL-terminated), or null when the comment keeps it whole:
// every program that asks whether a text comes back whole asks here.
const char *textCutProblem(const ImageFormat &format, const char *emoji);

// The row of an image type, or null.
const ImageFormat *imageFormatOfType(int type);
// The row whose suffix `dotSuffix` (from the '.' on) is, in any case of A to
// Z, or null.
const ImageFormat *imageFormatOfSuffix(const char *dotSuffix);
// The row of a name by the suffix from its last '.', or null.
const ImageFormat *imageFormatOfName(const char *name);
// The row whose signature the `n` bytes at `head` begin with, or null.
const ImageFormat *imageFormatOfHead(const unsigned char *head, size_t n);
// For messages, into `buf` (cut to `size` bytes with its NUL): every
// suffix, ".gif, .jpg or .jpeg"; every format's name, "GIF or JPEG" with
// `lastJoin` " or " ("GIF and JPEG" with " and "). Returns `buf`.
const char *listImageSuffixes(char *buf, size_t size);
const char *listImageFormatNames(char *buf, size_t size, const char *lastJoin);

#endif
