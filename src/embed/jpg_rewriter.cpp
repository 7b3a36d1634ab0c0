// jpg_rewriter.cpp - copies a JPEG marker by marker in one pass and places the
// emoji text as one COM segment: in place of the first emoji comment before
// the first scan, otherwise right before the first SOS. Other emoji comments,
// and examined comments met once the text is placed, are removed whole.
#include <cstring>

#include "embed.h"
#include "emoji_comment.h"
#include "job_context.h"
#include "jpg_markers.h"
#include "jpg_segments.h"
#include "stream_io.h"

namespace {

// What a handler leaves for the marker loop.
constexpr int STEP_FAIL = -1;
constexpr int STEP_AFTER_SEGMENT = 0;  // the next byte must be a marker's 0xFF
constexpr int STEP_AT_MARKER = 1;      // a marker's 0xFF has been read, not yet written

// SOS after the inserted comment needs a marker of its own.
const unsigned char SOS_MARKER[] = {M_PREFIX, M_SOS};
// A removed comment's 0xFF and code byte are already out: the output steps
// back over them so that the next marker overwrites them.
constexpr long REMOVED_MARKER_SIZE = 2;

// Entropy-coded data is read in blocks; what a block holds past the 0xFF that
// ends a run is served to the marker loop before the stream is read again.
constexpr size_t BLOCK_SIZE = 128 * 1024;
unsigned char block[BLOCK_SIZE];
size_t blockPos;
size_t blockEnd;

unsigned char segment[JPG_MAX_SEGMENT_DATA];  // data of one segment or comment
unsigned char commentHead[EMOJI_TAG_SIZE];    // first bytes of an examined comment
bool emojiPlaced;  // the text has been handed to the writer (first SOS or an emoji comment)

bool pullByte(FILE *in, unsigned char &b) {
    if (blockPos < blockEnd) {
        b = block[blockPos++];
        return true;
    }
    return readByte(in, b);
}

bool pullExact(FILE *in, unsigned char *buf, size_t n) {
    size_t held = blockEnd - blockPos;
    size_t take = n < held ? n : held;
    std::memcpy(buf, block + blockPos, take);
    blockPos += take;
    return take == n || readExact(in, buf + take, n - take);
}

// Reads a length field; a length below 2 cannot count its own field and
// fails, so nothing is read past it.
bool pullLength(FILE *in, unsigned char *field, size_t &dataSize) {
    return pullExact(in, field, JPG_LENGTH_SIZE) && jpgSegmentDataSize(field, dataSize);
}

bool fillBlock(FILE *in) {
    blockPos = 0;
    blockEnd = std::fread(block, 1, BLOCK_SIZE, in);
    return blockEnd > 0;
}

// Copies entropy-coded bytes up to the next 0xFF that begins a marker; that
// 0xFF is read but not written. A stuffed zero or a restart marker after a
// 0xFF is data and stays in the run, so a block is written in one call. A
// 0xFF at a block's end goes to the marker loop, which copies a stuffed zero
// or restart marker the same way.
int copyJpgEntropy(FILE *in, FILE *out) {
    for (;;) {
        if (blockPos == blockEnd && !fillBlock(in)) return STEP_FAIL;
        const unsigned char *start = block + blockPos;
        const unsigned char *end = block + blockEnd;
        const unsigned char *ff = findJpgRunEnd(start, end);
        size_t run = static_cast<size_t>((ff ? ff : end) - start);
        if (run > 0 && !writeChecked(out, start, run)) return STEP_FAIL;
        blockPos += run;
        if (ff) {
            blockPos++;
            return STEP_AT_MARKER;
        }
    }
}

// SOI, then the first marker's 0xFF (after SOI nothing else may follow).
bool copyJpgStart(FILE *in, FILE *out) {
    unsigned char head[2];
    if (!pullExact(in, head, sizeof head)) return false;
    writeUnchecked(out, head, sizeof head);
    if (head[0] != M_PREFIX || head[1] != M_SOI) return false;
    if (!pullByte(in, head[0])) return false;
    writeUnchecked(out, head, 1);
    return head[0] == M_PREFIX;
}

// Length field and data of a segment, written untested.
bool copyJpgSegmentBody(FILE *in, FILE *out) {
    unsigned char field[JPG_LENGTH_SIZE];
    size_t n;
    if (!pullLength(in, field, n)) return false;
    writeUnchecked(out, field, sizeof field);
    if (!pullExact(in, segment, n)) return false;
    writeUnchecked(out, segment, n);
    return true;
}

// A marker segment copied whole: code byte, length field, data.
int copyJpgSegment(FILE *in, FILE *out, unsigned char code) {
    if (!writeByteChecked(out, code) || !copyJpgSegmentBody(in, out)) return STEP_FAIL;
    return STEP_AFTER_SEGMENT;
}

// SOS: the first one gets the emoji text in front of it (the 0xFF already out
// becomes the comment's marker); then the header and the entropy-coded data.
int copyJpgScan(FILE *in, FILE *out, const char *emoji) {
    if (!emojiPlaced) {
        emojiPlaced = true;
        if (writeEmojiInfoJpg(out, emoji, 1) < 0) return STEP_FAIL;
        if (!writeChecked(out, SOS_MARKER, sizeof SOS_MARKER)) return STEP_FAIL;
    } else if (!writeByteChecked(out, M_SOS)) {
        return STEP_FAIL;
    }
    if (!copyJpgSegmentBody(in, out)) return STEP_FAIL;
    return copyJpgEntropy(in, out);
}

// A stuffed zero or a restart marker lies inside entropy-coded data, which
// goes on after it.
int copyJpgData(FILE *in, FILE *out, unsigned char code) {
    if (!writeByteChecked(out, code)) return STEP_FAIL;
    return copyJpgEntropy(in, out);
}

// A comment of up to 7 data bytes is copied without looking at its content.
int copyJpgShortComment(FILE *in, FILE *out, const unsigned char *field, size_t n) {
    if (!writeChecked(out, field, JPG_LENGTH_SIZE) || !pullExact(in, segment, n)) return STEP_FAIL;
    writeUnchecked(out, segment, n);
    return STEP_AFTER_SEGMENT;
}

// An examined comment copied: length and first bytes tested, the rest not.
int copyJpgComment(FILE *in, FILE *out, const unsigned char *field, size_t rest) {
    if (!writeChecked(out, field, JPG_LENGTH_SIZE) ||
        !writeChecked(out, commentHead, EMOJI_TAG_SIZE) || !pullExact(in, segment, rest))
        return STEP_FAIL;
    writeUnchecked(out, segment, rest);
    return STEP_AFTER_SEGMENT;
}

// Removes a comment whose 0xFF 0xFE are out: the output steps back 2 bytes,
// and the next marker's 0xFF and code overwrite them.
int removeJpgComment(FILE *in, FILE *out, size_t rest) {
    if (std::fseek(out, -REMOVED_MARKER_SIZE, SEEK_CUR) != 0) return STEP_FAIL;
    return pullExact(in, segment, rest) ? STEP_AFTER_SEGMENT : STEP_FAIL;
}

// COM: short comments are copied; an emoji comment receives the text in place
// (or goes, when the text is out already); other examined comments are copied
// until the text is placed and removed after.
int handleJpgComment(FILE *in, FILE *out, const char *emoji) {
    unsigned char field[JPG_LENGTH_SIZE];
    size_t n;
    if (!writeByteChecked(out, M_COM) || !pullLength(in, field, n)) return STEP_FAIL;
    if (n < JPG_EXAMINED_COMMENT_MIN) return copyJpgShortComment(in, out, field, n);
    if (!pullExact(in, commentHead, EMOJI_TAG_SIZE)) return STEP_FAIL;
    size_t rest = n - EMOJI_TAG_SIZE;
    if (isEmojiTag(commentHead) && doOverWrite) {
        emojiPlaced = true;
        int written = writeEmojiInfoJpg(out, emoji, 0);
        if (written < 0) return STEP_FAIL;
        if (written == 0) return pullExact(in, segment, rest) ? STEP_AFTER_SEGMENT : STEP_FAIL;
        return removeJpgComment(in, out, rest);
    }
    if (!emojiPlaced) return copyJpgComment(in, out, field, rest);
    return removeJpgComment(in, out, rest);
}

// EOI ends the image; whatever follows it (a motion photo's video, a second
// picture) is copied as it is: first what the block holds, then the rest.
int copyJpgEnd(FILE *in, FILE *out) {
    if (!writeByteChecked(out, M_EOI)) return -1;
    size_t held = blockEnd - blockPos;
    if (held > 0 && !writeChecked(out, block + blockPos, held)) return -1;
    blockPos = blockEnd;
    return copyRest(in, out, block, BLOCK_SIZE) ? 0 : -1;
}

// Writes the 0xFF of the next marker and reads its code. After a segment the
// next byte must be that 0xFF.
bool nextJpgMarker(FILE *in, FILE *out, int step, unsigned char &code) {
    if (step == STEP_AFTER_SEGMENT && (!pullByte(in, code) || code != M_PREFIX)) return false;
    return writeByteChecked(out, M_PREFIX) && pullByte(in, code);
}

}  // namespace

int setJpgData(FILE *in, FILE *out, const char *emoji) {
    emojiPlaced = false;
    blockPos = blockEnd = 0;
    unsigned char code;
    if (!copyJpgStart(in, out) || !pullByte(in, code)) return -1;
    for (;;) {
        int step;
        switch (code) {
            case M_EOI:  // end of image: the bytes after it are copied as they are
                return copyJpgEnd(in, out);
            case M_SOS:  // scan: the first gets the emoji text in front of it
                step = copyJpgScan(in, out, emoji);
                break;
            case M_COM:  // comment: copied, replaced or removed
                step = handleJpgComment(in, out, emoji);
                break;
            case M_STUFF:  // stuffed zero: a data byte 0xFF, the scan data goes on
            case M_RST0:   // restart markers are part of the scan data around them
            case M_RST1:
            case M_RST2:
            case M_RST3:
            case M_RST4:
            case M_RST5:
            case M_RST6:
            case M_RST7:
                step = copyJpgData(in, out, code);
                break;
            case M_PREFIX:  // fill byte: extra 0xFFs may pad before a marker's code
                step = STEP_AT_MARKER;
                break;
            case M_TEM:  // temporary marker: no length field
                step = writeByteChecked(out, code) ? STEP_AFTER_SEGMENT : STEP_FAIL;
                break;
            default:  // any other marker segment is copied whole
                step = copyJpgSegment(in, out, code);
                break;
        }
        if (step == STEP_FAIL || !nextJpgMarker(in, out, step, code)) return -1;
    }
}
