// fuzz_jpg.cpp - the JPEG rewriter on arbitrary images and emoji texts, with
// short writes at arbitrary positions (layout: fuzz_rewriter.h).
#include <cstdint>
#include <cstring>

#include "embed.h"
#include "fuzz_quiet.h"
#include "fuzz_rewriter.h"
#include "job_context.h"

using namespace fuzzrewrite;

// Start and end of image, the first and last markers of every complete output.
constexpr unsigned char MARKER = 0xFF;
constexpr unsigned char M_SOI = 0xD8;
constexpr unsigned char M_EOI = 0xD9;
// Longest text one COM segment holds.
constexpr size_t MAX_COM_TEXT = 65533;
// Data bytes from which a comment is examined for the emoji tag.
constexpr size_t EXAMINED_MIN = 8;

static bool isEmojiText(const std::string &t) {
    return t.size() >= EXAMINED_MIN && t.size() <= MAX_COM_TEXT &&
           (t.compare(0, 7, "<emoji>") == 0 || t.compare(0, 7, "<EMOJI>") == 0);
}

static bool endsComplete(const std::string &b) {
    size_t n = b.size();
    return n >= 4 && static_cast<unsigned char>(b[0]) == MARKER &&
           static_cast<unsigned char>(b[1]) == M_SOI &&
           static_cast<unsigned char>(b[n - 2]) == MARKER &&
           static_cast<unsigned char>(b[n - 1]) == M_EOI;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Case c;
    if (!parseCase(data, size, c)) return 0;
    Outcome o = rewrite(setJpgData, c.image, c.imageSize, c.emoji, c.limit);
    checkCommon(o);
    if (o.result != 0 || o.refused) return 0;
    require(endsComplete(o.bytes), "a finished JPEG runs from SOI to EOI");
    // With an emoji text the rewriter recognises, its own output already has
    // the comment where it belongs: a second run changes nothing.
    if (isEmojiText(c.emoji)) {
        const auto *again = reinterpret_cast<const uint8_t *>(o.bytes.data());
        Outcome o2 = rewrite(setJpgData, again, o.bytes.size(), c.emoji, static_cast<size_t>(-1));
        require(o2.result == 0, "the rewriter accepts its own output");
        require(o2.bytes == o.bytes, "a second run over the output changes nothing");
    }
    return 0;
}
