// fuzz_csv_line.cpp - one emoji-list line through the reader's checks, the
// CP932 conversion and the UTF-8 step, without opening any image.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CP932.h"
#include "fuzz_quiet.h"
#include "image_formats.h"
#include "list_reader.h"
#include "qz_cc_api.h"
#include "utf8.h"

// The reader's buffers; its line buffer as a read fills it: at most 32767
// bytes and a NUL.
static ListSpace space;
// The same text converted straight to UTF-8, which must match the two-step
// result: three bytes per CP932 byte at most, plus the terminator.
static uint8_t direct[3 * LINE_BUF_SIZE + 1];
// Texts up to this length fit the reader's UTF-16 area whole, so both roads
// convert all of them.
constexpr size_t WHOLE_TEXT_MAX = 16000;

static void require(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    size_t n = size < LINE_BUF_SIZE - 1 ? size : LINE_BUF_SIZE - 1;
    std::memcpy(space.line, data, n);
    space.line[n] = '\0';
    ListReader reader;
    startListRead(&reader, nullptr, listBuffersOf(&space));
    takeListLine(&reader, space.line, n);
    const ListLine &line = reader.line;
    int type = line.type;
    {
        fuzzquiet::Quiet quiet;  // refused lines are reported on standard error
        reportListRefusal(line, 1);
    }
    require(type == 0 || imageFormatOfType(type) != nullptr,
            "image type is 0 or a type of the format table");
    if (type == 0) return 0;

    size_t nameLen = std::strlen(line.name);
    require(nameLen < LINE_BUF_SIZE && std::strchr(line.name, ',') == nullptr,
            "the name stops at the first comma");
    size_t textLen = std::strlen(line.text);
    require(textLen < LINE_BUF_SIZE, "the text fits its buffer");

    convertListText(&reader);
    size_t utf8Len = std::strlen(line.utf8);
    require(utf8Len < UTF8_BUF_SIZE, "the UTF-8 text is terminated inside its buffer");

    if (textLen <= WHOLE_TEXT_MAX) {
        std::memset(direct, 0xAA, sizeof direct);
        int32_t r = qz_code_convert(direct, reinterpret_cast<const uint8_t *>(line.text),
                                    static_cast<uint32_t>(3 * textLen + 1), convert_tbl, QZ_CC_UTF8,
                                    QZ_CC_TO_UNICODE);
        require(r != QZ_CC_OUTPUT_FULL && r != QZ_CC_BAD_ARGS, "the direct road has room");
        require(std::strcmp(reinterpret_cast<const char *>(direct), line.utf8) == 0,
                "CP932 to UTF-16BE to UTF-8 equals CP932 to UTF-8");
    }
    return 0;
}
