// jpg_stream.h - builds small JPEG marker streams for the rewriter's tests and
// runs the rewriter on in-memory streams.
#ifndef EMOJITAG_TESTS_JPG_STREAM_H
#define EMOJITAG_TESTS_JPG_STREAM_H

#include <cstddef>
#include <cstdio>
#include <string>

#include "embed.h"
#include "embed_run.h"
#include "test_support.h"

namespace jpgtest {

const std::string SOI("\xFF\xD8", 2);
const std::string EOI("\xFF\xD9", 2);

// 0xFF, code, big-endian length (data + 2), data.
inline std::string segment(unsigned char code, const std::string &data) {
    size_t length = data.size() + 2;
    std::string s;
    s += '\xFF';
    s += static_cast<char>(code);
    s += static_cast<char>(length >> 8);
    s += static_cast<char>(length & 0xFF);
    return s + data;
}
inline std::string com(const std::string &data) {
    return segment(0xFE, data);
}
inline std::string app0() {
    return segment(0xE0, std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
}
inline std::string dqt() {
    return segment(0xDB, std::string(65, '\x01'));
}
inline std::string sof0() {
    return segment(0xC0, std::string("\x08\0\x10\0\x10\x01\x01\x11\0", 9));
}
inline std::string dht() {
    return segment(0xC4, std::string(29, '\x02'));
}
// SOS header for one component, then the entropy-coded data as given.
inline std::string sos(const std::string &scanData) {
    return segment(0xDA, std::string("\x01\x01\0\0\x3F\0", 6)) + scanData;
}
// The head of a baseline file up to, not including, its SOS.
inline std::string head() {
    return SOI + app0() + dqt() + sof0() + dht();
}

struct Rewrite {
    int result;
    std::string out;
};

// Runs setJpgData on `input` in a fresh call, into an in-memory sink that
// accepts at most `limit` bytes.
inline Rewrite rewrite(const std::string &input, const std::string &emoji,
                       size_t limit = static_cast<size_t>(-1)) {
    testsupport::MemSink sink;
    sink.limit = limit;
    FILE *in = testsupport::openMemSource(input);
    FILE *out = testsupport::openMemSink(sink);
    int result = runRewriter(setJpgData, in, out, emoji.c_str()).result;
    std::fclose(in);
    std::fclose(out);
    return {result, sink.bytes};
}

}  // namespace jpgtest

#endif
