// emoji_comment.h - what makes a comment an emoji comment: its data begins
// with "<emoji>" or "<EMOJI>" (these two spellings only, case-sensitive).
#ifndef EMOJITAG_EMOJI_COMMENT_H
#define EMOJITAG_EMOJI_COMMENT_H

#include <cstddef>
#include <cstring>

constexpr size_t EMOJI_TAG_SIZE = 7;

// True when the first EMOJI_TAG_SIZE bytes of `data` are an emoji tag.
inline bool isEmojiTag(const void *data) {
    return std::memcmp(data, "<emoji>", EMOJI_TAG_SIZE) == 0 ||
           std::memcmp(data, "<EMOJI>", EMOJI_TAG_SIZE) == 0;
}

#endif
