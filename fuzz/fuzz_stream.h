// fuzz_stream.h - in-memory stdio streams for the harnesses: a source over the
// fuzzer's bytes and a sink that refuses every byte past a write limit, so the
// rewriters meet short writes at every position. The sink is unbuffered, so a
// refused write shows at the call that made it.
#ifndef EMOJITAG_FUZZ_STREAM_H
#define EMOJITAG_FUZZ_STREAM_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace fuzzstream {

struct Source {
    const uint8_t *data;
    size_t size;
    size_t pos;
};

struct Sink {
    std::string bytes;
    size_t pos = 0;
    size_t limit = static_cast<size_t>(-1);
    size_t accepted = 0;
    bool refused = false;  // some byte was refused
};

inline ssize_t sourceRead(void *cookie, char *buf, size_t n) {
    auto *s = static_cast<Source *>(cookie);
    size_t k = s->size - s->pos < n ? s->size - s->pos : n;
    std::memcpy(buf, s->data + s->pos, k);
    s->pos += k;
    return static_cast<ssize_t>(k);
}

inline ssize_t sinkWrite(void *cookie, const char *buf, size_t n) {
    auto *s = static_cast<Sink *>(cookie);
    size_t room = s->limit - s->accepted;
    size_t k = n < room ? n : room;
    if (k < n) s->refused = true;
    if (s->pos + k > s->bytes.size()) s->bytes.resize(s->pos + k);
    std::memcpy(&s->bytes[s->pos], buf, k);
    s->pos += k;
    s->accepted += k;
    return k == 0 && n > 0 ? -1 : static_cast<ssize_t>(k);
}

inline int sinkSeek(void *cookie, off64_t *offset, int whence) {
    auto *s = static_cast<Sink *>(cookie);
    off64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? static_cast<off64_t>(s->pos)
                                        : static_cast<off64_t>(s->bytes.size());
    off64_t target = base + *offset;
    if (target < 0) return -1;
    s->pos = static_cast<size_t>(target);
    *offset = target;
    return 0;
}

inline FILE *openSource(Source &src) {
    cookie_io_functions_t io{};
    io.read = sourceRead;
    return fopencookie(&src, "r", io);
}

inline FILE *openSink(Sink &sink) {
    cookie_io_functions_t io{};
    io.write = sinkWrite;
    io.seek = sinkSeek;
    FILE *f = fopencookie(&sink, "w", io);
    if (f != nullptr) std::setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

}  // namespace fuzzstream

#endif
