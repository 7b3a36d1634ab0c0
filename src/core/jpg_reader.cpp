// jpg_reader.cpp - the JPEG marker walk: a block buffer over the input, the
// length fields, the entropy-coded data and the markers passed on the way.
#include "jpg_reader.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#include "emoji_comment.h"
#include "stream_io.h"

namespace {

// The input is read in blocks of the call's scratch; entropy-coded data is
// passed straight from the block, and what a block holds past a run's end
// serves the marker walk. The scratch's field takes the data of one segment
// or comment, its head the first bytes of an examined comment.
constexpr size_t BLOCK_SIZE = 128 * 1024;
static_assert(BLOCK_SIZE <= IMAGE_INPUT_SIZE, "the blocks fit the scratch");
static_assert(JPG_MAX_SEGMENT_DATA <= IMAGE_FIELD_SIZE, "a segment fits the scratch");
static_assert(EMOJI_TAG_SIZE <= IMAGE_HEAD_SIZE, "a comment's head fits the scratch");

bool pullByte(JpgReader &r, unsigned char &b) {
    return takeByte(r.input, b);
}

// Reads `n` bytes into `dest`, or passes over them when `dest` is null.
bool pullExact(JpgReader &r, unsigned char *dest, size_t n) {
    return takeBytes(r.input, dest, n);
}

// Reads a length field; a length below 2 cannot count its own field and
// fails, so nothing is read past it.
bool pullLength(JpgReader &r, unsigned char *field, size_t &dataSize) {
    if (!pullExact(r, field, JPG_LENGTH_SIZE)) return false;
    size_t length = static_cast<size_t>(field[0]) << 8 | field[1];
    if (length < JPG_LENGTH_SIZE) return false;
    dataSize = length - JPG_LENGTH_SIZE;
    return true;
}

// `n` data bytes, passed on untested (read into the segment buffer only when
// they go somewhere).
bool passData(JpgReader &r, size_t n, FILE *to) {
    if (to == nullptr) return pullExact(r, nullptr, n);
    if (!pullExact(r, r.segment, n)) return false;
    writeUnchecked(to, r.segment, n);
    return true;
}

// Length field and data of a segment, passed on untested.
bool passSegmentBody(JpgReader &r, FILE *to) {
    unsigned char field[JPG_LENGTH_SIZE];
    size_t n;
    if (!pullLength(r, field, n)) return false;
    forwardUnchecked(to, field, sizeof field);
    return passData(r, n, to);
}

// A 0xFF followed by this code stays inside entropy-coded data (a stuffed
// zero or a restart marker).
bool continuesData(unsigned char code) {
    return code == M_STUFF || (code >= M_RST0 && code <= M_RST7);
}

// The 0xFF in [p, end) that ends a run of entropy-coded data: the first one
// not followed by a stuffed zero or a restart marker, or one in the last byte
// (its code lies beyond `end`, and the marker walk takes it from there). Null
// when the whole range is data. memchr finds each 0xFF, so a whole block is
// passed over in few calls.
const unsigned char *findRunEndBytes(const unsigned char *p, const unsigned char *end) {
    while (p < end) {
        const auto *ff = static_cast<const unsigned char *>(
            std::memchr(p, M_PREFIX, static_cast<size_t>(end - p)));
        if (ff == nullptr) return nullptr;
        if (ff + 1 == end || !continuesData(ff[1])) return ff;
        p = ff + 2;
    }
    return nullptr;
}

#if defined(__SSE2__)
// A bit for each of the 16 bytes from `p` that ends a run: a 0xFF whose next
// byte (up to p[16]) is neither a stuffed zero nor a restart marker.
int runEndsIn16(const unsigned char *p) {
    const __m128i prefix = _mm_set1_epi8(static_cast<char>(M_PREFIX));
    const __m128i rstBits = _mm_set1_epi8(static_cast<char>(0xF8));  // RST0..RST7 share them
    const __m128i rst = _mm_set1_epi8(static_cast<char>(M_RST0));
    __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 1));
    __m128i isPrefix = _mm_cmpeq_epi8(here, prefix);
    __m128i goesOn = _mm_or_si128(_mm_cmpeq_epi8(next, _mm_setzero_si128()),
                                  _mm_cmpeq_epi8(_mm_and_si128(next, rstBits), rst));
    return _mm_movemask_epi8(_mm_andnot_si128(goesOn, isPrefix));
}

// The scan 64 bytes a step: in noise-like data most steps hold no 0xFF, and
// a stuffed zero or a restart marker does not stop it as a memchr per 0xFF
// would. The lines some way ahead are asked for early: a mapped input's pages
// are not followed by the processor's own prefetch. The last bytes, too few
// for a whole step and the byte after it, go to the byte loop.
const unsigned char *findRunEnd(const unsigned char *p, const unsigned char *end) {
    constexpr ptrdiff_t STEP = 64;
    constexpr ptrdiff_t AHEAD = 4096;
    const __m128i prefix = _mm_set1_epi8(static_cast<char>(M_PREFIX));
    while (end - p > STEP) {
        _mm_prefetch(reinterpret_cast<const char *>(p) + AHEAD, _MM_HINT_T0);
        const auto *v = reinterpret_cast<const __m128i *>(p);
        __m128i any = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(v), prefix),
                                                _mm_cmpeq_epi8(_mm_loadu_si128(v + 1), prefix)),
                                   _mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(v + 2), prefix),
                                                _mm_cmpeq_epi8(_mm_loadu_si128(v + 3), prefix)));
        if (_mm_movemask_epi8(any) != 0) {
            for (ptrdiff_t at = 0; at < STEP; at += 16) {
                int ends = runEndsIn16(p + at);
                if (ends != 0) return p + at + __builtin_ctz(static_cast<unsigned>(ends));
            }
        }
        p += STEP;
    }
    return findRunEndBytes(p, end);
}
#else
const unsigned char *findRunEnd(const unsigned char *p, const unsigned char *end) {
    return findRunEndBytes(p, end);
}
#endif

// Entropy-coded bytes up to the next 0xFF that begins a marker, each run
// passed on in one tested write; that 0xFF is read but not passed on. A
// stuffed zero or a restart marker after a 0xFF is data and stays in the run.
bool passEntropy(JpgReader &r, FILE *to) {
    for (;;) {
        BlockInput &b = r.input;
        if (b.pos == b.end && !fillBlockInput(b)) return false;
        const unsigned char *start = b.buf + b.pos;
        // A mapped input is scanned a step at a time; a 0xFF in the step's
        // last byte is taken as at a buffer's end.
        size_t stop = b.mapped && b.end - b.pos > MAPPED_STEP ? b.pos + MAPPED_STEP : b.end;
        const unsigned char *ff = findRunEnd(start, b.buf + stop);
        size_t run = static_cast<size_t>((ff ? ff : b.buf + stop) - start);
        if (run > 0 && !forwardRunChecked(b, to, b.pos, run)) return false;
        b.pos += run;
        if (ff) {
            b.pos++;
            r.step = JPG_AT_PREFIX;
            return true;
        }
    }
}

// The 0xFF of the next marker, passed on (tested), and its code. After a
// segment the next byte must be that 0xFF.
bool pullMarkerCode(JpgReader &r, FILE *to, unsigned char &code) {
    if (r.step == JPG_AFTER_SEGMENT && (!pullByte(r, code) || code != M_PREFIX)) return false;
    if (r.step != JPG_AT_CODE && !forwardByteChecked(to, M_PREFIX)) return false;
    r.step = JPG_AFTER_SEGMENT;
    return pullByte(r, code);
}

// A marker the walk passes on its own; false on a fault.
bool passMarker(JpgReader &r, unsigned char code, FILE *to) {
    if (code == M_PREFIX) {  // fill byte: extra 0xFFs may pad before a marker's code
        r.step = JPG_AT_PREFIX;
        return true;
    }
    if (!forwardByteChecked(to, code)) return false;
    // A stuffed zero or a restart marker lies inside entropy-coded data,
    // which goes on after it.
    if (continuesData(code)) return passEntropy(r, to);
    if (code == M_TEM) return true;  // temporary marker: no length field
    return passSegmentBody(r, to);   // any other marker segment is passed whole
}

}  // namespace

JpgReader startJpgReader(FILE *in, ImageWork &work) {
    JpgReader r{};
    r.input = startBlockInput(in, work.input, BLOCK_SIZE);
    r.step = JPG_AFTER_SEGMENT;
    r.segment = work.field;
    r.head = work.head;
    return r;
}

bool passJpgStart(JpgReader &r, FILE *to) {
    unsigned char start[2];
    if (!pullExact(r, start, sizeof start)) return false;
    forwardUnchecked(to, start, sizeof start);
    if (start[0] != M_PREFIX || start[1] != M_SOI) return false;
    if (!pullByte(r, start[0])) return false;
    forwardUnchecked(to, start, 1);
    r.step = JPG_AT_CODE;
    return start[0] == M_PREFIX;
}

int nextJpgMarker(JpgReader &r, FILE *to) {
    for (;;) {
        unsigned char code;
        if (!pullMarkerCode(r, to, code)) return JPG_MARKER_FAULT;
        switch (code) {
            case M_EOI:  // end of image
                return JPG_MARKER_END;
            case M_SOS:  // scan: header, then entropy-coded data
                return JPG_MARKER_SCAN;
            case M_COM:  // comment
                return JPG_MARKER_COMMENT;
            default:
                if (r.stopAtFrame && isJpgFrameCode(code)) return JPG_MARKER_FRAME;
                if (!passMarker(r, code, to)) return JPG_MARKER_FAULT;
        }
    }
}

bool passJpgScan(JpgReader &r, FILE *to) {
    return passSegmentBody(r, to) && passEntropy(r, to);
}

// Examination starts one byte past the tag: a comment that is just "<emoji>"
// is short.
int readJpgCommentStart(JpgReader &r) {
    size_t n;
    if (!pullLength(r, r.lengthField, n)) return JPG_COMMENT_FAULT;
    r.commentRest = n;
    if (n < JPG_EXAMINED_COMMENT_MIN) return JPG_COMMENT_SHORT;
    if (!pullExact(r, r.head, EMOJI_TAG_SIZE)) return JPG_COMMENT_FAULT;
    r.commentRest = n - EMOJI_TAG_SIZE;
    return isEmojiTag(r.head) ? JPG_COMMENT_EMOJI : JPG_COMMENT_EXAMINED;
}

bool passJpgCommentRest(JpgReader &r, FILE *to) {
    return passData(r, r.commentRest, to);
}

bool pullJpgCommentRest(JpgReader &r, unsigned char *dest) {
    return pullExact(r, dest, r.commentRest);
}

// Frame header data: sample precision (1 byte), then height and width
// (big-endian).
bool readJpgFrameSize(JpgReader &r, unsigned &width, unsigned &height) {
    constexpr size_t SIZE_END = 5;
    unsigned char field[JPG_LENGTH_SIZE];
    unsigned char data[SIZE_END];
    size_t n;
    if (!pullLength(r, field, n) || n < SIZE_END || !pullExact(r, data, SIZE_END)) return false;
    height = static_cast<unsigned>(data[1] << 8 | data[2]);
    width = static_cast<unsigned>(data[3] << 8 | data[4]);
    return true;
}

// Whatever follows EOI (a motion photo's video, a second picture) is copied
// as it is: first what the block holds, then the rest of the stream.
bool copyJpgRest(JpgReader &r, FILE *out) {
    return copyBlockInputRest(r.input, out);
}
