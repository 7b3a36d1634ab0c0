// stream_io.h - byte I/O of the rewriters. Every read is tested; which writes
// are tested is decided per call site by choosing writeChecked or
// writeUnchecked, so the rule can be reviewed line by line.
#ifndef EMOJITAG_STREAM_IO_H
#define EMOJITAG_STREAM_IO_H

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform_copy.h"

// The Windows C library has the same unlocked calls under other names.
#if defined(_WIN32)
#define putc_unlocked _putc_nolock
#define ferror_unlocked ferror
#endif

// A write whose shortfall fails the rewrite. The stream's error flag is part
// of the test: glibc's fwrite reports the full count when the flush it makes
// on the way fails, and an earlier untested write may have failed as well.
inline bool writeChecked(FILE *out, const void *buf, size_t n) {
    return std::fwrite(buf, 1, n, out) == n && !ferror_unlocked(out);
}

inline bool writeByteChecked(FILE *out, unsigned char b) {
    return putc_unlocked(b, out) != EOF && !ferror_unlocked(out);
}

// A write whose result the format leaves unexamined. A failure still sets the
// stream's error flag, which the image job tests before it trusts the output.
inline void writeUnchecked(FILE *out, const void *buf, size_t n) {
    if (std::fwrite(buf, 1, n, out) != n) {
        // Deliberately not a fault of the rewrite; see above.
    }
}

// The readers pass what they read on to a second stream, the rewriter's
// copy, or to none (a null `to`: the finder, or a comment being removed).
// Each call site says whether its copy is tested; with no stream, nothing
// is written and nothing fails.
inline bool forwardChecked(FILE *to, const void *buf, size_t n) {
    return to == nullptr || writeChecked(to, buf, n);
}

inline bool forwardByteChecked(FILE *to, unsigned char b) {
    return to == nullptr || writeByteChecked(to, b);
}

inline void forwardUnchecked(FILE *to, const void *buf, size_t n) {
    if (to != nullptr) writeUnchecked(to, buf, n);
}

// Copies everything left in `in` to `out` through `buf`, every write tested;
// false on a failed write or a read error.
inline bool copyRest(FILE *in, FILE *out, void *buf, size_t size) {
    if (std::feof(in)) return !std::ferror(in);  // the end is known: no further read
    size_t n;
    while ((n = std::fread(buf, 1, size, in)) > 0)
        if (!writeChecked(out, buf, n)) return false;
    return !std::ferror(in);
}

// An input read a bufferful at a time into the call's scratch and taken
// from there: a format's many small fields cost no library call each, and a
// run that lies in the buffer can be passed on straight from it. An input
// the image job has mapped (platform_copy.h) is one buffer that holds the
// whole file, and is never read.
struct BlockInput {
    FILE *in;
    const unsigned char *buf;  // the scratch buffer, or the mapping
    unsigned char *own;        // the scratch buffer
    size_t size;               // its size
    size_t pos;                // the next byte to take
    size_t end;                // the end of what it holds
    bool mapped;               // buf is the mapping of the whole input
};

inline BlockInput startBlockInput(FILE *in, unsigned char *buf, size_t size) {
    const unsigned char *data;
    size_t mappedSize;
    if (mappedInput(in, &data, &mappedSize))
        return BlockInput{in, data, buf, size, 0, mappedSize, true};
    return BlockInput{in, buf, buf, size, 0, 0, false};
}

// Reads the next bufferful once all of the last is taken; false at the end
// of the input or on a read error.
inline bool fillBlockInput(BlockInput &b) {
    if (b.mapped) return false;
    b.pos = 0;
    b.end = std::fread(b.own, 1, b.size, b.in);
    b.buf = b.own;
    return b.end > 0;
}

inline bool takeByte(BlockInput &b, unsigned char &c) {
    if (b.pos == b.end && !fillBlockInput(b)) return false;
    c = b.buf[b.pos++];
    return true;
}

// Takes exactly `n` bytes into `dest`, or passes over them when `dest` is
// null; false on a short read.
inline bool takeBytes(BlockInput &b, unsigned char *dest, size_t n) {
    while (n > 0) {
        if (b.pos == b.end && !fillBlockInput(b)) return false;
        size_t held = b.end - b.pos;
        size_t take = held < n ? held : n;
        if (dest != nullptr) {
            std::memcpy(dest, b.buf + b.pos, take);
            dest += take;
        }
        b.pos += take;
        n -= take;
    }
    return true;
}

// Runs this long of a mapped input are moved by the system; a shorter one
// costs less written from the mapping.
constexpr size_t SYSTEM_MOVE_MIN = 64 * 1024;
// A walk over a mapped input passes its runs on at least this often, and
// the pages behind them are given back: the memory held stays this small
// however long a run of image data is.
constexpr size_t MAPPED_STEP = 1024 * 1024;

// Whether a walk at `pos` that began a run at `from` has gone a step.
inline bool mappedStepDone(const BlockInput &b, size_t from, size_t pos) {
    return b.mapped && pos - from >= MAPPED_STEP;
}

// Of a mapped input, how much of a long run at `from` the system has moved
// to `to`; 0 for any other run.
inline size_t moveRun(const BlockInput &b, FILE *to, size_t from, size_t n) {
    return b.mapped && n >= SYSTEM_MOVE_MIN ? moveInputBytes(b.in, from, to, n) : 0;
}

// Pass on the `n` bytes the buffer holds from `from` to a second stream, or
// to none (a null `to`): what the system does not move is written from the
// buffer. The output is the same byte for byte either way, and so is a
// failure: a write the system could not make is made by the stream and
// fails there, setting its error flag.
inline bool forwardRunChecked(const BlockInput &b, FILE *to, size_t from, size_t n) {
    if (to == nullptr) return true;
    size_t moved = moveRun(b, to, from, n);
    bool ok = moved == n || writeChecked(to, b.buf + from + moved, n - moved);
    if (b.mapped) releaseInputBytes(b.in, from + n);
    return ok;
}

inline void forwardRunUnchecked(const BlockInput &b, FILE *to, size_t from, size_t n) {
    if (to == nullptr) return;
    size_t moved = moveRun(b, to, from, n);
    if (moved < n) writeUnchecked(to, b.buf + from + moved, n - moved);
    if (b.mapped) releaseInputBytes(b.in, from + n);
}

// Copies what is left to `out` as it is, every write tested: first what the
// buffer holds, then the rest of the stream through the same buffer (a
// mapped input holds all there is).
inline bool copyBlockInputRest(BlockInput &b, FILE *out) {
    size_t held = b.end - b.pos;
    if (held > 0 && !forwardRunChecked(b, out, b.pos, held)) return false;
    b.pos = b.end;
    return b.mapped || copyRest(b.in, out, b.own, b.size);
}

#endif
