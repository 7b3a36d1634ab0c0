// fuzz_gif.cpp - the GIF rewriter on arbitrary images and emoji texts, with
// short writes at arbitrary positions (layout: fuzz_rewriter.h).
#include <cstdint>
#include <string>

#include "embed.h"
#include "fuzz_rewriter.h"

using namespace fuzzrewrite;

// GIF trailer, the last byte of every complete output.
constexpr unsigned char GIF_TRAILER = 0x3B;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Case c;
    if (!parseCase(data, size, c)) return 0;
    Outcome o = rewrite(setGifData, c.image, c.imageSize, c.emoji, c.limit);
    checkCommon(o);
    if (o.result == 0) {
        // Every finished GIF carries the emoji comment and ends at its trailer.
        require(o.written, "a finished GIF has its emoji comment");
        if (!o.refused) {
            require(endsWithCopiedTail(o.bytes, std::string(1, static_cast<char>(GIF_TRAILER)),
                                       c.image, c.imageSize),
                    "a finished GIF ends with the trailer and the bytes after it");
        }
    }
    return 0;
}
