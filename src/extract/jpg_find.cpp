// jpg_find.cpp - walks a JPEG marker by marker, as the rewriter does, and
// keeps the first emoji comment, before or after the scans. The file is read
// in large blocks; entropy-coded data is passed over with memchr.
#include <cstring>

#include "emoji_comment.h"
#include "extract.h"
#include "jpg_markers.h"
#include "jpg_segments.h"

namespace {

// What a step leaves for the marker loop.
constexpr int STEP_FAIL = -1;
constexpr int STEP_AFTER_SEGMENT = 0;  // the next byte must be a marker's 0xFF
constexpr int STEP_AT_MARKER = 1;      // a marker's 0xFF has been read

constexpr size_t BLOCK_SIZE = 128 * 1024;
unsigned char block[BLOCK_SIZE];
size_t blockPos;
size_t blockEnd;
FILE *source;

bool fillBlock() {
    blockPos = 0;
    blockEnd = std::fread(block, 1, BLOCK_SIZE, source);
    return blockEnd > 0;
}

bool pullByte(unsigned char &b) {
    if (blockPos == blockEnd && !fillBlock()) return false;
    b = block[blockPos++];
    return true;
}

// Reads `n` bytes into `dest`, or passes over them when `dest` is null.
bool pullExact(unsigned char *dest, size_t n) {
    while (n > 0) {
        if (blockPos == blockEnd && !fillBlock()) return false;
        size_t take = blockEnd - blockPos < n ? blockEnd - blockPos : n;
        if (dest != nullptr) {
            std::memcpy(dest, block + blockPos, take);
            dest += take;
        }
        blockPos += take;
        n -= take;
    }
    return true;
}

bool pullLength(size_t &dataSize) {
    unsigned char field[JPG_LENGTH_SIZE];
    return pullExact(field, sizeof field) && jpgSegmentDataSize(field, dataSize);
}

// Passes over entropy-coded data up to the 0xFF that begins the next marker.
int skipJpgEntropy() {
    for (;;) {
        if (blockPos == blockEnd && !fillBlock()) return STEP_FAIL;
        const unsigned char *ff = findJpgRunEnd(block + blockPos, block + blockEnd);
        if (ff != nullptr) {
            blockPos = static_cast<size_t>(ff - block) + 1;
            return STEP_AT_MARKER;
        }
        blockPos = blockEnd;
    }
}

int skipJpgSegment() {
    size_t n;
    return pullLength(n) && pullExact(nullptr, n) ? STEP_AFTER_SEGMENT : STEP_FAIL;
}

int skipJpgScan() {
    return skipJpgSegment() == STEP_FAIL ? STEP_FAIL : skipJpgEntropy();
}

// COM: the first comment of 8 or more data bytes that begins with "<emoji>"
// or "<EMOJI>" is kept whole; every other comment is passed over.
int readJpgComment(bool &found) {
    size_t n;
    if (!pullLength(n)) return STEP_FAIL;
    if (found || n < JPG_EXAMINED_COMMENT_MIN)
        return pullExact(nullptr, n) ? STEP_AFTER_SEGMENT : STEP_FAIL;
    auto *text = reinterpret_cast<unsigned char *>(emojiText);
    if (!pullExact(text, EMOJI_TAG_SIZE)) return STEP_FAIL;
    if (!isEmojiTag(text))
        return pullExact(nullptr, n - EMOJI_TAG_SIZE) ? STEP_AFTER_SEGMENT : STEP_FAIL;
    // A segment holds at most EMOJI_TEXT_MAX data bytes: it always fits.
    if (!pullExact(text + EMOJI_TAG_SIZE, n - EMOJI_TAG_SIZE)) return STEP_FAIL;
    emojiTextLen = n;
    found = true;
    return STEP_AFTER_SEGMENT;
}

// Reads the code of the next marker. After a segment the next byte must be
// that marker's 0xFF.
bool nextJpgMarker(int step, unsigned char &code) {
    if (step == STEP_AFTER_SEGMENT && (!pullByte(code) || code != M_PREFIX)) return false;
    return pullByte(code);
}

}  // namespace

int findJpgEmojiText(FILE *in) {
    source = in;
    blockPos = blockEnd = 0;
    bool found = false;
    unsigned char head[2];
    // SOI, then the 0xFF of the first marker.
    if (!pullExact(head, sizeof head) || head[0] != M_PREFIX || head[1] != M_SOI)
        return TEXT_MALFORMED;
    unsigned char code;
    if (!nextJpgMarker(STEP_AFTER_SEGMENT, code)) return TEXT_MALFORMED;
    for (;;) {
        int step;
        // A stuffed zero or a restart marker: the scan data goes on after it.
        if (jpgContinuesData(code)) code = M_STUFF;
        switch (code) {
            case M_EOI:  // end of image: nothing after it is read
                return found ? TEXT_FOUND : TEXT_NONE;
            case M_SOS:  // scan header, then entropy-coded data
                step = skipJpgScan();
                break;
            case M_COM:
                step = readJpgComment(found);
                break;
            case M_STUFF:
                step = skipJpgEntropy();
                break;
            case M_PREFIX:  // fill byte: extra 0xFFs may pad before a marker's code
                step = STEP_AT_MARKER;
                break;
            case M_TEM:  // temporary marker: no length field
                step = STEP_AFTER_SEGMENT;
                break;
            default:  // any other marker segment
                step = skipJpgSegment();
                break;
        }
        if (step == STEP_FAIL || !nextJpgMarker(step, code)) return TEXT_MALFORMED;
    }
}
