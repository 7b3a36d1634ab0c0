// gif_format.h - the GIF bytes that the rewriter and the comment writer react
// to or compose (GIF87a/GIF89a block structure).
#ifndef EMOJITAG_GIF_FORMAT_H
#define EMOJITAG_GIF_FORMAT_H

#include <cstddef>

#include "emoji_comment.h"

constexpr unsigned char GIF_EXTENSION_INTRODUCER = 0x21;  // opens an extension block
constexpr unsigned char GIF_IMAGE_SEPARATOR = 0x2C;       // opens an image block
constexpr unsigned char GIF_TRAILER = 0x3B;               // ends the stream
constexpr unsigned char GIF_BLOCK_TERMINATOR = 0x00;      // zero-length sub-block ends a chain

constexpr unsigned char GIF_LABEL_PLAIN_TEXT = 0x01;       // plain text extension
constexpr unsigned char GIF_LABEL_GRAPHIC_CONTROL = 0xF9;  // graphic control extension
constexpr unsigned char GIF_LABEL_COMMENT = 0xFE;          // comment extension
constexpr unsigned char GIF_LABEL_APPLICATION = 0xFF;      // application extension

// A data sub-block holds at most this many bytes after its length byte.
constexpr size_t GIF_SUB_BLOCK_MAX = 255;

// A comment is examined when its first sub-block holds this many bytes.
constexpr size_t GIF_EXAMINED_COMMENT_MIN = EMOJI_TAG_SIZE;
// A comment can be of any length; the finder reads back as much as a JPEG
// comment holds, so that a text read back can go into either.
constexpr size_t GIF_TEXT_READ_MAX = 65533;

#endif
