// emoji_comment.h - what makes a comment an emoji comment: its data begins
// with "<emoji>" or "<EMOJI>" (these two spellings only, case-sensitive).
#ifndef EMOJITAG_EMOJI_COMMENT_H
#define EMOJITAG_EMOJI_COMMENT_H

#include <cstddef>
#include <cstring>

constexpr size_t EMOJI_TAG_SIZE = 7;

// A GIF comment is examined when its first sub-block holds this many bytes.
constexpr size_t GIF_EXAMINED_COMMENT_MIN = EMOJI_TAG_SIZE;
// A JPEG comment is examined from this many data bytes on (one more than the
// tag: a comment that is just "<emoji>" is short and never examined).
constexpr size_t JPG_EXAMINED_COMMENT_MIN = 8;

// True when the first EMOJI_TAG_SIZE bytes of `data` are an emoji tag.
inline bool isEmojiTag(const void *data) {
    return std::memcmp(data, "<emoji>", EMOJI_TAG_SIZE) == 0 ||
           std::memcmp(data, "<EMOJI>", EMOJI_TAG_SIZE) == 0;
}

#endif
