// The tag-end scan and the GIF comment writer: piece boundaries, notes,
// the once-per-call flag and short writes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "embed.h"
#include "test_support.h"

using namespace testsupport;

namespace {

constexpr long NO_TAG_END = -1;

struct TagEndCase {
    const char *why;
    std::string text;
    long start;   // offset handed to searchTagEnd
    long result;  // offset of the result from the start, or NO_TAG_END
};

TEST(SearchTagEnd, Table) {
    const std::string a3 = "\xE3\x81\x82";  // a three-byte UTF-8 character
    const TagEndCase cases[] = {
        {"first '>' comes before any '/'", "<a><b/>", 0, 7},
        {"first closed tag only", "<yomi>abc</yomi><hyoki>def</hyoki>", 0, 16},
        {"scan jumps from a non-ASCII byte to the next '<'", "<yomi>" + a3 + "</yomi>", 0, 16},
        {"slash outside a tag sets the flag", "<x>1/2<y>z", 0, 9},
        {"closing emoji tag takes the rest of the text", "</emoji>abc", 0, 11},
        {"upper-case closing emoji tag too", "</EMOJI>abc", 0, 11},
        {"mixed case is an ordinary tag", "</Emoji>abc", 0, 8},
        {"closing emoji tag that is not the scan start ends normally", "<a>x</emoji>yz", 0, 12},
        {"no '<' at all", "hello", 0, NO_TAG_END},
        {"no '/' before the end", "<a>b", 0, NO_TAG_END},
        {"empty text", "", 0, NO_TAG_END},
        {"'/' but no later '>'", "<a>b</c", 0, NO_TAG_END},
        {"'>' after a non-ASCII byte is passed over", "</\x80>x", 0, NO_TAG_END},
        {"flag set before the jump still counts", "</\x80>x<b>", 0, 8},
        {"a '<' inside the scan is no new start", "<a<</emoji>tail", 0, 11},
        {"jump lands on a closing emoji tag", "<\x80</emoji>tail", 0, 14},
        {"'>' before the '/' ends nothing", "<>/>", 0, 4},
        {"text before the first '<' is skipped", "ab/c<d>", 0, NO_TAG_END},
        {"search from inside the text", "<a/><b/>", 4, 4},
        {"search from inside, closing emoji tag", "<a/></emoji>zz", 4, 10},
        {"non-ASCII before the first '<' is skipped", "\xE3\x81\x82<a/>", 0, 7},
        {"jump over a run of non-ASCII with no '<' after", "<a/" + a3, 0, NO_TAG_END},
    };
    for (const TagEndCase &c : cases) {
        const char *p = c.text.c_str() + c.start;
        const char *r = searchTagEnd(p);
        long got = r == nullptr ? NO_TAG_END : static_cast<long>(r - p);
        EXPECT_EQ(got, c.result) << c.why;
    }
}

ImageWork work;

// Runs writeEmojiInfoGif in a fresh call; returns the bytes written.
struct WriteRun {
    int result;
    std::string bytes;
    std::string err;  // the writer itself prints nothing
    unsigned notes;
    bool flag;
};

WriteRun runWriter(const std::string &text, size_t limit = static_cast<size_t>(-1)) {
    EmbedCall call = startEmbedCall(text.c_str(), work);
    MemSink sink;
    sink.limit = limit;
    FILE *out = openMemSink(sink);
    testing::internal::CaptureStderr();
    WriteRun r;
    r.result = writeEmojiInfoGif(out, call);
    r.err = testing::internal::GetCapturedStderr();
    std::fclose(out);
    r.bytes = sink.bytes;
    r.notes = call.notes;
    r.flag = call.written;
    return r;
}

// A comment extension with the given pieces as its sub-blocks.
std::string comment(std::initializer_list<std::string> pieces) {
    std::string s = "\x21\xFE";
    for (const std::string &p : pieces)
        s += static_cast<char>(p.size()) + p;
    return s + '\0';
}

constexpr unsigned NOT_FOUND = NOTE_NO_TAG_END;
constexpr unsigned TOO_LONG = NOTE_TAG_TOO_LONG;

struct WriterCase {
    const char *why;
    std::string text;
    std::string bytes;
    unsigned notes;
};

TEST(WriteEmojiInfoGif, PiecesAndNotes) {
    const std::string x240(240, 'x');
    const std::string long509 = "<emoji><a>" + x240 + "</a><b>" + x240 + "</b></emoji>";
    const std::string tag255 = "<a>" + std::string(248, 'x') + "</a>";
    // 52 runs of "<a/>" and a letter: tag ends fall just before each letter, so
    // the first piece ends at 254 and the last letter has no tag end after it.
    std::string tags;
    for (int i = 0; i < 52; i++)
        tags += "<a/>" + std::string(1, static_cast<char>('a' + i % 26));
    std::string closed;
    for (int i = 0; i < 30; i++)
        closed += "<p>12</p>";  // 9 bytes each, 270 in all
    const std::string utf8 = "<emoji><yomi>\xE3\x81\x82</yomi></emoji>";
    const WriterCase cases[] = {
        {"49-byte text is one piece", "<emoji><yomi>abc</yomi><hyoki>def</hyoki></emoji>",
         comment({"<emoji><yomi>abc</yomi><hyoki>def</hyoki></emoji>"}), 0},
        {"509 bytes: 254 then 255 ending with the closing emoji tag", long509,
         comment({long509.substr(0, 254), long509.substr(254)}), 0},
        {"closing emoji tag keeps what follows", "</emoji>abc", comment({"</emoji>abc"}), 0},
        {"a first tag of exactly 255 bytes fits", tag255, comment({tag255}), 0},
        {"tags of 9 bytes: 28 fit into 252, the rest follows", closed,
         comment({closed.substr(0, 252), closed.substr(252)}), 0},
        {"text after the last tag end is lost with both notes", "<a/>xyz", comment({"<a/>"}),
         NOT_FOUND + TOO_LONG},
        {"tag ends without a following tag: trailing letters lost", tags,
         comment({tags.substr(0, 254), tags.substr(254, 5)}), NOT_FOUND + TOO_LONG},
        {"later tag too long: only the second note", "<a/><b>" + std::string(300, 'y') + "</b>",
         comment({"<a/>"}), TOO_LONG},
        {"UTF-8 bytes copied unchanged", utf8, comment({utf8}), 0},
        {"upper-case emoji tags", "<EMOJI><a/></EMOJI>", comment({"<EMOJI><a/></EMOJI>"}), 0},
    };
    for (const WriterCase &c : cases) {
        WriteRun r = runWriter(c.text);
        EXPECT_EQ(r.result, 0) << c.why;
        EXPECT_EQ(r.bytes, c.bytes) << c.why;
        EXPECT_EQ(r.notes, c.notes) << c.why;
        EXPECT_EQ(r.err, "") << c.why;
        EXPECT_TRUE(r.flag) << c.why;
    }
}

// A text that yields no piece writes no extension at all: a comment extension
// without a data sub-block is rejected by common decoders. The notes, the
// result and the flag are as for any written text.
TEST(WriteEmojiInfoGif, NoPieceWritesNoExtension) {
    const WriterCase cases[] = {
        {"empty text, no note", "", "", 0},
        {"no tag end at all: both notes", "hello", "", NOT_FOUND + TOO_LONG},
        {"an open tag only", "<a>b", "", NOT_FOUND + TOO_LONG},
        {"first tag end 256 bytes after the start", "<a>" + std::string(249, 'x') + "</a>", "",
         TOO_LONG},
    };
    for (const WriterCase &c : cases) {
        WriteRun r = runWriter(c.text);
        EXPECT_EQ(r.result, 0) << c.why;
        EXPECT_EQ(r.bytes, c.bytes) << c.why;
        EXPECT_EQ(r.notes, c.notes) << c.why;
        EXPECT_EQ(r.err, "") << c.why;
        EXPECT_TRUE(r.flag) << c.why;
    }
}

TEST(WriteEmojiInfoGif, SecondCallWritesNothing) {
    EmbedCall call = startEmbedCall("<a/>", work);
    MemSink sink;
    FILE *out = openMemSink(sink);
    EXPECT_EQ(writeEmojiInfoGif(out, call), 0);
    call.emoji = "<b/>";
    EXPECT_EQ(writeEmojiInfoGif(out, call), 1);
    std::fclose(out);
    EXPECT_EQ(sink.bytes, comment({"<a/>"}));
    EXPECT_TRUE(call.written);
}

// Every byte of the extension is a tested write: a sink that fills up at any
// point gives -1, leaves the flag clear and keeps what was written before.
TEST(WriteEmojiInfoGif, ShortWriteAtEveryByte) {
    const std::string x240(240, 'x');
    const std::string text = "<emoji><a>" + x240 + "</a><b>" + x240 + "</b></emoji>";
    const std::string full = runWriter(text).bytes;
    ASSERT_EQ(full.size(), 2u + 1 + 254 + 1 + 255 + 1);
    for (size_t limit = 0; limit < full.size(); limit++) {
        WriteRun r = runWriter(text, limit);
        EXPECT_EQ(r.result, -1) << "limit " << limit;
        EXPECT_FALSE(r.flag) << "limit " << limit;
        EXPECT_EQ(r.bytes, full.substr(0, limit)) << "limit " << limit;
    }
}

}  // namespace
