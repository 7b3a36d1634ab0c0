// gif_comment.cpp - cuts the emoji text into pieces that end at tag ends and
// writes it as one GIF comment extension, one piece per data sub-block.
#include <cstring>

#include "embed.h"
#include "gif_format.h"
#include "stream_io.h"

// The two spellings of the closing emoji tag; no other case mix counts.
static const char CLOSE_EMOJI_LOWER[] = "</emoji>";
static const char CLOSE_EMOJI_UPPER[] = "</EMOJI>";
constexpr size_t CLOSE_EMOJI_SIZE = sizeof CLOSE_EMOJI_LOWER - 1;
// Bytes from here up belong to multi-byte UTF-8 characters.
constexpr unsigned char NON_ASCII_MIN = 0x80;

// Introducer and label that open the comment extension.
static const unsigned char COMMENT_HEADER[] = {GIF_EXTENSION_INTRODUCER, GIF_LABEL_COMMENT};

static bool isCloseEmojiTag(const char *p) {
    return std::strncmp(p, CLOSE_EMOJI_LOWER, CLOSE_EMOJI_SIZE) == 0 ||
           std::strncmp(p, CLOSE_EMOJI_UPPER, CLOSE_EMOJI_SIZE) == 0;
}

const char *searchTagEnd(const char *p) {
    const char *start = std::strchr(p, '<');
    // The slash flag lives for the whole call: a '/' seen in one scan still
    // counts after a jump to the next '<'.
    bool slash = false;
    while (start != nullptr) {
        const char *q = start + 1;
        // A byte of 0x80 or above is opaque: the scan stops there and jumps
        // to the next '<'.
        for (; *q != '\0' && static_cast<unsigned char>(*q) < NON_ASCII_MIN; q++) {
            if (*q == '/') {
                slash = true;
            } else if (*q == '>' && slash) {
                // A closing emoji tag takes the whole rest of the text.
                if (isCloseEmojiTag(start)) return q + std::strlen(q);
                return q + 1;
            }
        }
        if (*q == '\0') return nullptr;
        start = std::strchr(q, '<');
    }
    return nullptr;
}

// The end of the longest run of whole tags from `piece` that fits one
// sub-block, or null when not even one tag fits.
static const char *findGifPieceEnd(const char *piece, const char *textEnd) {
    const char *candidate = nullptr;
    const char *probe = piece;
    do {
        probe = searchTagEnd(probe);
        if (probe != nullptr && static_cast<size_t>(probe - piece) <= GIF_SUB_BLOCK_MAX)
            candidate = probe;
    } while (probe != nullptr && probe < textEnd &&
             static_cast<size_t>(probe - piece) <= GIF_SUB_BLOCK_MAX);
    return candidate;
}

// As findGifPieceEnd, with the call's notes when no piece fits: the first
// only when no tag end follows at all.
static const char *findPieceEnd(EmbedCall &call, const char *piece, const char *textEnd) {
    const char *candidate = findGifPieceEnd(piece, textEnd);
    if (candidate == nullptr) {
        if (searchTagEnd(piece) == nullptr) call.notes |= NOTE_NO_TAG_END;
        call.notes |= NOTE_TAG_TOO_LONG;
    }
    return candidate;
}

size_t gifCommentTextLength(const char *emoji) {
    const char *textEnd = emoji + std::strlen(emoji);
    const char *piece = emoji;
    while (piece < textEnd) {
        const char *pieceEnd = findGifPieceEnd(piece, textEnd);
        if (pieceEnd == nullptr) break;
        piece = pieceEnd;
    }
    return static_cast<size_t>(piece - emoji);
}

// One data sub-block: the length byte, then the piece's bytes.
static bool writePiece(FILE *out, const char *piece, const char *pieceEnd) {
    size_t n = static_cast<size_t>(pieceEnd - piece);
    return writeByteChecked(out, static_cast<unsigned char>(n)) && writeChecked(out, piece, n);
}

int writeEmojiInfoGif(FILE *out, EmbedCall &call) {
    if (call.written) return 1;
    const char *emoji = call.emoji;
    const char *textEnd = emoji + std::strlen(emoji);
    const char *pieceEnd = emoji < textEnd ? findPieceEnd(call, emoji, textEnd) : nullptr;
    // A comment extension without a data sub-block makes the file unreadable
    // to common decoders, so a text that yields no piece writes nothing; the
    // text still counts as written, so an old emoji comment is still removed.
    if (pieceEnd == nullptr) {
        call.written = true;
        return 0;
    }
    if (!writeChecked(out, COMMENT_HEADER, sizeof COMMENT_HEADER)) return -1;
    const char *piece = emoji;
    while (pieceEnd != nullptr) {
        if (!writePiece(out, piece, pieceEnd)) return -1;
        piece = pieceEnd;
        // Whatever follows the last piece that fits is lost (with a note).
        pieceEnd = piece < textEnd ? findPieceEnd(call, piece, textEnd) : nullptr;
    }
    if (!writeByteChecked(out, GIF_BLOCK_TERMINATOR)) return -1;
    call.written = true;
    return 0;
}
