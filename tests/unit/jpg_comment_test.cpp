// The COM segment writer: layout, the once-per-image rule, the length bound
// and short writes.
#include <gtest/gtest.h>

#include <string>

#include "embed.h"
#include "embed_run.h"
#include "test_support.h"

using namespace testsupport;

namespace {

struct Written {
    int result;
    std::string out;
    int writtenAfter;
};

Written writeComment(const std::string &text, int writeCode, int alreadyWritten,
                     size_t limit = static_cast<size_t>(-1)) {
    MemSink sink;
    sink.limit = limit;
    FILE *out = openMemSink(sink);
    EmbedCall call = startEmbedCall(text.c_str(), testWork());
    call.written = alreadyWritten != 0;
    int result = writeEmojiInfoJpg(out, call, writeCode);
    std::fclose(out);
    return {result, sink.bytes, call.written ? 1 : 0};
}

struct CommentCase {
    const char *why;
    std::string text;
    int writeCode;
    int alreadyWritten;
    int result;
    std::string out;
};

TEST(WriteEmojiInfoJpg, Table) {
    const std::string big(65533, 'b');
    const CommentCase cases[] = {
        {"code byte asked for", "<emoji>", 1, 0, 0, std::string("\xFE\x00\x09<emoji>", 10)},
        {"code byte already out", "<emoji>", 0, 0, 0, std::string("\x00\x09<emoji>", 9)},
        {"empty text: length 2", "", 1, 0, 0, std::string("\xFE\x00\x02", 3)},
        {"length crosses a byte", std::string(254, 'a'), 0, 0, 0,
         std::string("\x01\x00", 2) + std::string(254, 'a')},
        {"UTF-8 bytes copied as they are", "\xE3\x81\x82", 0, 0, 0,
         std::string("\x00\x05\xE3\x81\x82", 5)},
        {"largest text that fits: length 0xFFFF", big, 1, 0, 0, "\xFE\xFF\xFF" + big},
        {"one byte too long: refused, nothing written", big + "b", 1, 0, -1, ""},
        {"far too long: refused, no wrapped length", std::string(65538, 'c'), 0, 0, -1, ""},
        {"already written: nothing done", "<emoji>", 1, 1, 1, ""},
        {"already written wins over the length bound", big + "b", 1, 1, 1, ""},
    };
    for (const CommentCase &c : cases) {
        Written w = writeComment(c.text, c.writeCode, c.alreadyWritten);
        EXPECT_EQ(w.result, c.result) << c.why;
        EXPECT_EQ(w.out, c.out) << c.why;
        EXPECT_EQ(w.writtenAfter, c.result == 0 ? 1 : c.alreadyWritten) << c.why;
    }
}

TEST(WriteEmojiInfoJpg, EveryShortWriteFailsAndLeavesTheFlagClear) {
    const std::string text = "<emoji><a>x</a></emoji>";
    for (int writeCode = 0; writeCode <= 1; writeCode++) {
        size_t total = text.size() + 2 + writeCode;
        for (size_t limit = 0; limit < total; limit++) {
            Written w = writeComment(text, writeCode, 0, limit);
            EXPECT_EQ(w.result, -1) << "limit " << limit << " code " << writeCode;
            EXPECT_EQ(w.writtenAfter, 0) << "limit " << limit;
        }
        EXPECT_EQ(writeComment(text, writeCode, 0, total).result, 0);
    }
}

}  // namespace
