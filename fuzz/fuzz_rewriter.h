// fuzz_rewriter.h - the part the GIF and JPEG harnesses share: how the
// fuzzer's bytes are split into an emoji text, a write limit and an image, and
// the promises every rewrite must keep whatever its input.
//
// Input layout:
//   bytes 0-1  length L of the emoji text, big-endian (cut to what is there)
//   bytes 2-3  write limit of the output, big-endian; 0xFFFF means none
//   L bytes    the emoji text (a NUL inside ends it early)
//   the rest   the image
#ifndef EMOJITAG_FUZZ_REWRITER_H
#define EMOJITAG_FUZZ_REWRITER_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_stream.h"
#include "image_call.h"

namespace fuzzrewrite {

constexpr size_t HEADER_SIZE = 4;
constexpr unsigned NO_LIMIT = 0xFFFF;

struct Case {
    std::string emoji;
    size_t limit;
    const uint8_t *image;
    size_t imageSize;
};

struct Outcome {
    int result;
    bool streamError;  // the output stream's error flag after the rewrite
    bool refused;      // the sink refused a byte
    bool written;      // the comment writer placed the text
    std::string bytes;
};

inline bool parseCase(const uint8_t *data, size_t size, Case &c) {
    if (size < HEADER_SIZE) return false;
    size_t len = static_cast<size_t>(data[0]) << 8 | data[1];
    unsigned limit = static_cast<unsigned>(data[2]) << 8 | data[3];
    size_t rest = size - HEADER_SIZE;
    if (len > rest) len = rest;
    const char *text = reinterpret_cast<const char *>(data + HEADER_SIZE);
    c.emoji.assign(text, len);
    c.emoji.resize(std::char_traits<char>::length(c.emoji.c_str()));  // up to a NUL
    c.limit = limit == NO_LIMIT ? static_cast<size_t>(-1) : limit;
    c.image = data + HEADER_SIZE + len;
    c.imageSize = rest - len;
    return true;
}

// Runs one rewrite the way the image job does: a fresh call, the input at its
// start, a new output.
inline Outcome rewrite(int (*rewriter)(FILE *, FILE *, EmbedCall &), const uint8_t *image,
                       size_t imageSize, const std::string &emoji, size_t limit) {
    fuzzstream::Source src{image, imageSize, 0};
    fuzzstream::Sink sink;
    sink.limit = limit;
    FILE *in = fuzzstream::openSource(src);
    FILE *out = fuzzstream::openSink(sink);
    if (in == nullptr || out == nullptr) std::abort();
    static ImageWork work;
    EmbedCall call = startEmbedCall(emoji.c_str(), work);
    Outcome o;
    o.result = rewriter(in, out, call);
    o.written = call.written;
    o.streamError = std::ferror(out) != 0;
    std::fclose(in);
    std::fclose(out);
    o.refused = sink.refused;
    o.bytes = sink.bytes;
    return o;
}

// Stops the run on a broken promise; libFuzzer keeps the input.
inline void require(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// Promises of both rewriters: the result is 0 or -1, and an output that lost
// a byte is never passed off as complete (the result or the stream's error
// flag tells, which is what the image job tests).
inline void checkCommon(const Outcome &o) {
    require(o.result == 0 || o.result == -1, "result is 0 or -1");
    require(!o.refused || o.result != 0 || o.streamError,
            "a refused write shows in the result or the stream's error flag");
}

// True when `out` ends with `end` followed by bytes that also end the image:
// the rewriters copy whatever follows the end of the stream as it is.
inline bool endsWithCopiedTail(const std::string &out, const std::string &end, const uint8_t *image,
                               size_t imageSize) {
    for (size_t p = out.size() >= end.size() ? out.size() - end.size() + 1 : 0; p-- > 0;) {
        size_t tail = out.size() - p - end.size();
        if (tail > imageSize) return false;
        if (out.compare(p, end.size(), end) == 0 &&
            out.compare(p + end.size(), tail,
                        reinterpret_cast<const char *>(image + imageSize - tail), tail) == 0)
            return true;
    }
    return false;
}

}  // namespace fuzzrewrite

#endif
