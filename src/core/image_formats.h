// image_formats.h - the image formats the programs know, one row each: which
// names and first bytes are of the format, its rewriter, comment finder and
// size reader, and its comment rules and limits. Every program asks this
// table; nothing else names a format. A format is its row and its type code
// here, and its reader and rewriter files.
#ifndef EMOJITAG_IMAGE_FORMATS_H
#define EMOJITAG_IMAGE_FORMATS_H

#include <cstddef>
#include <cstdio>

#include "image_call.h"

// Image types: the code the list reader hands to the image job (0: none).
constexpr int IMG_GIF = 1;
constexpr int IMG_JPEG = 2;
// Rows in the table.
constexpr int IMAGE_FORMAT_COUNT = 2;

// The longest emoji text any finder reads back: room for every row's
// textReadMax (the table checks).
constexpr size_t EMOJI_TEXT_MAX = 65533;

// The stream buffer through which a picture's size is read.
constexpr size_t PICTURE_STREAM_BUF_SIZE = 64 * 1024;

// Suffixes one format has at most, and the longest signature of any row
// (the table checks).
constexpr int IMAGE_SUFFIXES_MAX = 4;
constexpr size_t IMAGE_SIGNATURE_MAX = 16;

struct ImageFormat {
    int type;          // IMG_GIF, IMG_JPEG
    const char *name;  // "GIF", "JPEG": how messages name the format
    // "GIF", "JPG": how emojitag's messages name a file of the format.
    const char *shortName;
    // Lower-case suffixes from the '.', matched in any case; null after the last.
    const char *suffixes[IMAGE_SUFFIXES_MAX];
    // The first bytes of every file of the format (signatureSize of them).
    const char *signature;
    size_t signatureSize;
    // Copies an image with the call's emoji text as its one emoji comment:
    // REWRITE_DONE, or REWRITE_FAULT when the image is refused or a write
    // fell short.
    int (*rewrite)(FILE *in, FILE *out, EmbedCall &call);
    // Walks an image as the rewriter does and keeps its first emoji comment:
    // TEXT_FOUND, TEXT_NONE, TEXT_MALFORMED or TEXT_TOO_LONG.
    int (*find)(FILE *in, FoundText *found, ImageWork &work);
    // Reads the picture's width and height from the head of a stream
    // buffered with PICTURE_STREAM_BUF_SIZE bytes; false when it cannot.
    bool (*readSize)(FILE *in, ImageWork &work, unsigned &width, unsigned &height);
    // A comment with fewer data bytes is never examined, so never an emoji
    // comment (a GIF counts the first sub-block only).
    size_t examinedCommentMin;
    // The longest text the comment writer takes (a longer one fails the
    // rewrite), and how many bytes of a text it stores.
    size_t textMax;
    size_t (*storedLength)(const char *emoji);
    // The longest emoji text the finder reads back (the room its callers
    // give it); a longer one is TEXT_TOO_LONG.
    size_t textReadMax;
    // The most UTF-8 bytes between two tag ends that a comment keeps in one
    // piece (0: no such limit), and the list check's finding for a text the
    // comment cannot keep whole (null where it always can).
    size_t pieceMax;
    const char *textCutFinding;
};

extern const ImageFormat IMAGE_FORMATS[IMAGE_FORMAT_COUNT];

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
// Whether a name is of a picture format the programs know of but do not tag
// (".png", ".webp", by the suffix from its last '.', in any case).
bool isUntaggedPictureName(const char *name);
// The row whose signature the `n` bytes at `head` begin with, or null.
const ImageFormat *imageFormatOfHead(const unsigned char *head, size_t n);
// For messages, into `buf` (cut to `size` bytes with its NUL): every
// suffix, ".gif, .jpg or .jpeg"; every format's name, "GIF or JPEG" with
// `lastJoin` " or " ("GIF and JPEG" with " and "). Returns `buf`.
const char *listImageSuffixes(char *buf, size_t size);
const char *listImageFormatNames(char *buf, size_t size, const char *lastJoin);

#endif
