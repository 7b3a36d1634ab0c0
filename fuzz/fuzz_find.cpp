// fuzz_find.cpp - the comment finders of emojitag-extract on arbitrary
// images, each checked against the rewriter of its format: both walk the same
// structure, so the finder calls an image malformed exactly when the rewriter
// refuses it; and on the rewriter's output the finder reads back exactly the
// text the comment writer stored. Every input goes through every format of
// the format table.
// Layout: fuzz_rewriter.h (the write limit is not used here: every rewrite
// runs to its end).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "emoji_comment.h"
#include "fuzz_rewriter.h"
#include "fuzz_stream.h"
#include "image_formats.h"

using namespace fuzzrewrite;

namespace {

// Where the finder leaves a text, as emojitag-extract's buffer.
unsigned char foundBuf[EMOJI_TEXT_MAX + 1];

struct Found {
    int result;
    std::string text;  // with TEXT_FOUND
};

// One finder run over bytes in memory, as readEmojiText runs it over a file.
Found find(const ImageFormat &f, const uint8_t *data, size_t size) {
    fuzzstream::Source src{data, size, 0};
    FILE *in = fuzzstream::openSource(src);
    if (in == nullptr) std::abort();
    static ImageWork work;
    FoundText found{foundBuf, 0, f.textReadMax};
    Found r{f.find(in, &found, work), std::string()};
    std::fclose(in);
    require(r.result == TEXT_FOUND || r.result == TEXT_NONE || r.result == TEXT_MALFORMED ||
                r.result == TEXT_TOO_LONG,
            "the finder's result is one of its four");
    if (r.result == TEXT_FOUND) {
        require(found.length >= f.examinedCommentMin && found.length <= f.textReadMax,
                "a found text is an examined comment that fits the buffer");
        require(isEmojiTag(foundBuf), "a found text begins with an emoji tag");
        r.text.assign(reinterpret_cast<const char *>(foundBuf), found.length);
    }
    return r;
}

// What the finder must report on the rewriter's output: the rewriter drops
// every older emoji comment, so only the stored text can be found.
Found expectedOnOutput(const ImageFormat &f, const std::string &stored) {
    if (stored.size() < f.examinedCommentMin || !isEmojiTag(stored.data())) return {TEXT_NONE, ""};
    if (stored.size() > f.textReadMax) return {TEXT_TOO_LONG, ""};
    return {TEXT_FOUND, stored};
}

void checkFormat(const ImageFormat &f, const Case &c) {
    Found before = find(f, c.image, c.imageSize);
    Outcome o = rewrite(f.rewrite, c.image, c.imageSize, c.emoji, static_cast<size_t>(-1));
    require(o.result == 0 || o.result == -1, "the rewriter's result is 0 or -1");
    if (c.emoji.size() <= f.textMax) {
        require((before.result == TEXT_MALFORMED) == (o.result != 0),
                "the finder calls malformed exactly what the rewriter refuses");
    }
    if (o.result != 0) return;
    // The writer marks the job once the text is out; a JPEG without a scan
    // or an emoji comment gets no text.
    std::string stored = o.written ? c.emoji.substr(0, f.storedLength(c.emoji.c_str())) : "";
    Found after = find(f, reinterpret_cast<const uint8_t *>(o.bytes.data()), o.bytes.size());
    Found expected = expectedOnOutput(f, stored);
    require(after.result == expected.result, "the finder's result on the rewriter's output");
    require(after.text == expected.text, "the finder reads back the text the writer stored");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Case c;
    if (!parseCase(data, size, c)) return 0;
    for (int i = 0; i < IMAGE_FORMAT_COUNT; i++)
        checkFormat(IMAGE_FORMATS[i], c);
    return 0;
}
