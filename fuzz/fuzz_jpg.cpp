// fuzz_jpg.cpp - the JPEG rewriter on arbitrary images and emoji texts, with
// short writes at arbitrary positions (layout: fuzz_rewriter.h).
#include <cstdint>
#include <cstring>

#include "embed.h"
#include "fuzz_rewriter.h"

using namespace fuzzrewrite;

// Start and end of image: every complete output begins with SOI, and EOI ends
// its image (only the bytes that followed EOI in the input come after it).
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

// SOI first, then EOI followed by the bytes that came after EOI in the image.
static bool endsComplete(const std::string &b, const Case &c) {
    const char eoi[] = {static_cast<char>(MARKER), static_cast<char>(M_EOI)};
    return b.size() >= 4 && static_cast<unsigned char>(b[0]) == MARKER &&
           static_cast<unsigned char>(b[1]) == M_SOI &&
           endsWithCopiedTail(b, std::string(eoi, sizeof eoi), c.image, c.imageSize);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Case c;
    if (!parseCase(data, size, c)) return 0;
    Outcome o = rewrite(setJpgData, c.image, c.imageSize, c.emoji, c.limit);
    checkCommon(o);
    if (o.result != 0 || o.refused) return 0;
    require(endsComplete(o.bytes, c), "a finished JPEG runs from SOI to EOI and its tail");
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
