// stream_io.h - byte I/O of the rewriters. Every read is tested; which writes
// are tested is decided per call site by choosing writeChecked or
// writeUnchecked, so the rule can be reviewed line by line.
#ifndef EMOJITAG_STREAM_IO_H
#define EMOJITAG_STREAM_IO_H

#include <cstddef>
#include <cstdio>
#include <cstring>

// The Windows C library has the same unlocked byte calls under other names.
#if defined(_WIN32)
#define getc_unlocked _getc_nolock
#define putc_unlocked _putc_nolock
#define ferror_unlocked ferror
#endif

// Reads exactly `n` bytes; false on a short read.
inline bool readExact(FILE *in, void *buf, size_t n) {
    return std::fread(buf, 1, n, in) == n;
}

// Reads one byte into `b`; false at end of file or on a read error.
inline bool readByte(FILE *in, unsigned char &b) {
    int c = getc_unlocked(in);
    if (c == EOF) return false;
    b = static_cast<unsigned char>(c);
    return true;
}

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

// An input read a bufferful at a time into a reader's own buffer and taken
// from there: a format's many small fields cost no library call each, and a
// run that lies in the buffer can be passed on straight from it.
struct BlockInput {
    FILE *in;
    unsigned char *buf;  // the reader's static buffer
    size_t size;         // its size
    size_t pos;          // the next byte to take
    size_t end;          // the end of what it holds
};

inline BlockInput startBlockInput(FILE *in, unsigned char *buf, size_t size) {
    return BlockInput{in, buf, size, 0, 0};
}

// Reads the next bufferful once all of the last is taken; false at the end
// of the input or on a read error.
inline bool fillBlockInput(BlockInput &b) {
    b.pos = 0;
    b.end = std::fread(b.buf, 1, b.size, b.in);
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

// Copies what is left to `out` as it is, every write tested: first what the
// buffer holds, then the rest of the stream through the same buffer.
inline bool copyBlockInputRest(BlockInput &b, FILE *out) {
    size_t held = b.end - b.pos;
    if (held > 0 && !writeChecked(out, b.buf + b.pos, held)) return false;
    b.pos = b.end;
    return copyRest(b.in, out, b.buf, b.size);
}

#endif
