// The GIF stream rewriter on hand-built streams: placement of the emoji
// comment, which comments survive, failures, and which writes are tested.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "embed.h"
#include "embed_run.h"
#include "test_support.h"

using namespace testsupport;

namespace {

// A colour table of size code `code` (3 * 2^(code+1) bytes) with a pattern.
std::string colorTable(int code) {
    std::string t;
    for (size_t i = 0; i < (3u << (code + 1)); i++)
        t += static_cast<char>(i * 7 + code);
    return t;
}

// Signature, a 2x2 screen and an optional global table (code < 0: none).
std::string header(int code = -1, const char *signature = "GIF89a") {
    int packed = code < 0 ? 0x70 : 0xF0 | code;
    return signature + bytes({2, 0, 2, 0, packed, 0, 0}) + (code < 0 ? "" : colorTable(code));
}

// A chain of sub-blocks with the given data, closed by its terminator.
std::string chain(std::initializer_list<std::string> blocks) {
    std::string s;
    for (const std::string &b : blocks)
        s += static_cast<char>(b.size()) + b;
    return s + '\0';
}

std::string extension(int label, std::initializer_list<std::string> blocks) {
    return bytes({0x21, label}) + chain(blocks);
}
std::string comment(std::initializer_list<std::string> blocks) {
    return extension(0xFE, blocks);
}

// Separator, descriptor (packed field `packed`), optional local table, LZW
// code size and one data sub-block that differs per `tag`.
std::string image(int tag = 1, int localCode = -1) {
    int packed = localCode < 0 ? 0x00 : 0x80 | localCode;
    return bytes({0x2C, 0, 0, 0, 0, 2, 0, 2, 0, packed}) +
           (localCode < 0 ? "" : colorTable(localCode)) + bytes({2}) +
           chain({bytes({0x84, tag, 0x05})});
}

const std::string GCE = extension(0xF9, {bytes({0x04, 0x0A, 0x00, 0x00})});
const std::string LOOP = extension(0xFF, {"NETSCAPE2.0", bytes({1, 0, 0})});
const std::string PLAIN =
    extension(0x01, {bytes({0, 0, 0, 0, 2, 0, 2, 0, 1, 1, 1, 0}), "hi", "there"});
const std::string TRAILER = bytes({0x3B});

const char EMOJI[] = "<emoji><a>x</a></emoji>";
const std::string NEW = comment({EMOJI});
const std::string OLD = comment({"<emoji><b>old</b></emoji>"});
const std::string OLD_UPPER = comment({"<EMOJI>", "<b>old</b></EMOJI>"});
const std::string NOTE = comment({"hello world", "second block"});  // examined, 11 bytes
const std::string SHORT = comment({"<emo", "ji>x</emoji>"});        // 4 bytes: not examined
const std::string SIX = comment({"<emoji", "><a/>"});               // 6 bytes: not examined
const std::string MIXED = comment({"<Emoji><a/></Emoji>"});
const std::string EMPTY = bytes({0x21, 0xFE, 0x00});

struct RewriteRun {
    int result;
    std::string out;
    bool written;
};

RewriteRun rewrite(const std::string &input, const char *emoji = EMOJI,
                   size_t limit = static_cast<size_t>(-1)) {
    FILE *in = openMemSource(input);
    MemSink sink;
    sink.limit = limit;
    FILE *out = openMemSink(sink);
    RewriteRun r;
    EmbedRun run = runRewriter(setGifData, in, out, emoji);
    r.result = run.result;
    r.written = run.written;
    std::fclose(in);
    std::fclose(out);
    r.out = sink.bytes;
    return r;
}

struct RewriteCase {
    const char *why;
    std::string input;
    std::string output;
};

TEST(SetGifData, PlacementAndCopy) {
    const std::string h = header(1);
    const RewriteCase cases[] = {
        {"no table, trailer at once: comment before the trailer", header() + TRAILER,
         header() + NEW + TRAILER},
        {"global table of size code 7: 768 bytes copied", header(7) + image() + TRAILER,
         header(7) + NEW + image() + TRAILER},
        {"global table of size code 0: 6 bytes", header(0) + image() + TRAILER,
         header(0) + NEW + image() + TRAILER},
        {"GIF87a header copied as it is", header(1, "GIF87a") + image() + TRAILER,
         header(1, "GIF87a") + NEW + image() + TRAILER},
        {"any 13 bytes pass as a header", "NOTGIF" + bytes({0, 0, 0, 0, 0, 0, 0}) + TRAILER,
         "NOTGIF" + bytes({0, 0, 0, 0, 0, 0, 0}) + NEW + TRAILER},
        {"after the graphic control extension, before the image", h + GCE + image() + TRAILER,
         h + GCE + NEW + image() + TRAILER},
        {"local colour table copied", h + image(1, 7) + TRAILER, h + NEW + image(1, 7) + TRAILER},
        {"emoji comment before the image replaced in place", h + OLD + GCE + image() + TRAILER,
         h + NEW + GCE + image() + TRAILER},
        {"two emoji comments: first replaced, second left out",
         h + OLD + GCE + OLD_UPPER + image() + TRAILER, h + NEW + GCE + image() + TRAILER},
        {"emoji comment after the first image left out", h + image() + OLD + image(2) + TRAILER,
         h + NEW + image() + image(2) + TRAILER},
        {"emoji comment in a file without image replaced", h + OLD + TRAILER, h + NEW + TRAILER},
        {"examined comment before any emoji comment copied", h + NOTE + OLD + image() + TRAILER,
         h + NOTE + NEW + image() + TRAILER},
        {"examined comment after an emoji comment left out", h + OLD + NOTE + image() + TRAILER,
         h + NEW + image() + TRAILER},
        {"examined comment after the image, no emoji comment anywhere: copied",
         h + image() + NOTE + TRAILER, h + NEW + image() + NOTE + TRAILER},
        {"examined comment after an emoji comment after the image: left out",
         h + image() + OLD + NOTE + TRAILER, h + NEW + image() + TRAILER},
        {"4-byte first sub-block never looked at", h + SHORT + image() + TRAILER,
         h + SHORT + NEW + image() + TRAILER},
        {"6-byte first sub-block copied even after an emoji comment",
         h + OLD + SIX + image() + TRAILER, h + NEW + SIX + image() + TRAILER},
        {"mixed-case tag is no emoji comment", h + MIXED + image() + TRAILER,
         h + MIXED + NEW + image() + TRAILER},
        {"empty comment copied, also after an emoji comment",
         h + EMPTY + OLD + EMPTY + image() + TRAILER, h + EMPTY + NEW + EMPTY + image() + TRAILER},
        {"animation: comment once, before the first image",
         h + LOOP + GCE + image(1) + GCE + image(2) + GCE + image(3) + TRAILER,
         h + LOOP + GCE + NEW + image(1) + GCE + image(2) + GCE + image(3) + TRAILER},
        {"plain text extension copied; comment still goes before the image",
         h + PLAIN + image() + TRAILER, h + PLAIN + NEW + image() + TRAILER},
        {"bytes after the trailer copied as they are", h + image() + TRAILER + "junk\x3B",
         h + NEW + image() + TRAILER + "junk\x3B"},
        {"emoji comment of exactly 7 bytes", h + comment({"<emoji>", "rest"}) + image() + TRAILER,
         h + NEW + image() + TRAILER},
    };
    for (const RewriteCase &c : cases) {
        RewriteRun r = rewrite(c.input);
        EXPECT_EQ(r.result, 0) << c.why;
        EXPECT_EQ(r.out, c.output) << c.why;
        EXPECT_TRUE(r.written) << c.why;
    }
}

// A text that yields no piece writes no comment, yet old emoji comments (and
// examined comments after them) still go.
TEST(SetGifData, TextWithoutPieceStillRemovesOldComments) {
    const std::string h = header(1);
    const RewriteCase cases[] = {
        {"plain image: output equals input", h + GCE + image() + TRAILER,
         h + GCE + image() + TRAILER},
        {"old emoji comment removed", h + OLD + image() + TRAILER, h + image() + TRAILER},
        {"old emoji comment after the image removed", h + image() + OLD + NOTE + TRAILER,
         h + image() + TRAILER},
        {"no image", h + TRAILER, h + TRAILER},
    };
    for (const char *text : {"", "no tag end here"}) {
        for (const RewriteCase &c : cases) {
            testing::internal::CaptureStderr();
            RewriteRun r = rewrite(c.input, text);
            testing::internal::GetCapturedStderr();
            EXPECT_EQ(r.result, 0) << c.why;
            EXPECT_EQ(r.out, c.output) << c.why << " / text \"" << text << "\"";
        }
    }
}

struct FailCase {
    const char *why;
    std::string input;
    std::string output;  // what stays in the output
};

TEST(SetGifData, MalformedInputFails) {
    const std::string h = header(1);
    const FailCase cases[] = {
        {"empty file", "", ""},
        {"header of 12 bytes", h.substr(0, 12), ""},
        {"global table cut", h.substr(0, 20), h.substr(0, 13)},
        {"no introducer after the header", h, h},
        {"file ends after the last image", h + image(), h + NEW + image()},
        {"zero byte between blocks", h + image() + bytes({0}) + TRAILER, h + NEW + image()},
        {"unknown introducer", h + bytes({0x2A}) + TRAILER, h},
        {"extension label 0x02", h + extension(0x02, {"x"}) + image() + TRAILER, h},
        {"label missing", h + bytes({0x21}), h},
        {"extension chain cut", h + GCE.substr(0, 5), h + GCE.substr(0, 3)},
        {"extension length byte missing", h + GCE.substr(0, 7), h + GCE.substr(0, 7)},
        {"comment length missing", h + bytes({0x21, 0xFE}), h},
        {"examined first sub-block cut", h + NOTE.substr(0, 10), h},
        {"short comment data cut", h + SHORT.substr(0, 5), h + SHORT.substr(0, 3)},
        {"short comment chain cut", h + SHORT.substr(0, 10), h + SHORT.substr(0, 8)},
        {"copied examined comment chain cut", h + NOTE.substr(0, 20), h + NOTE.substr(0, 15)},
        {"removed comment chain cut", h + OLD + OLD_UPPER.substr(0, 15), h + NEW},
        {"descriptor cut", h + image().substr(0, 6), h + NEW + image().substr(0, 1)},
        {"local table cut", h + image(1, 2).substr(0, 15), h + NEW + image(1, 2).substr(0, 10)},
        {"LZW code size missing", h + image().substr(0, 10), h + NEW + image().substr(0, 10)},
        {"image data cut", h + image().substr(0, 13), h + NEW + image().substr(0, 12)},
    };
    for (const FailCase &c : cases) {
        RewriteRun r = rewrite(c.input);
        EXPECT_EQ(r.result, -1) << c.why;
        EXPECT_EQ(r.out, c.output) << c.why;
    }
}

// The trailer ends the image; what follows it, longer than the block buffer
// here, is read to the end and copied as it is.
TEST(SetGifData, CopiesEverythingAfterTheTrailer) {
    std::string tail(200000, '\0');
    for (size_t i = 0; i < tail.size(); i++)
        tail[i] = static_cast<char>(i * 7);
    std::string input = header(1) + image() + TRAILER + tail;
    FILE *in = fmemopen(&input[0], input.size(), "rb");
    MemSink sink;
    FILE *out = openMemSink(sink);
    EXPECT_EQ(runRewriter(setGifData, in, out, EMOJI).result, 0);
    EXPECT_EQ(std::ftell(in), static_cast<long>(input.size()));
    std::fclose(in);
    std::fclose(out);
    EXPECT_TRUE(sink.bytes == header(1) + NEW + image() + TRAILER + tail);
}

// A stream rich in every block kind, and the same stream split into the
// pieces the rewriter writes, each marked whether its write is tested.
struct Segment {
    std::string bytes;
    bool tested;
};

std::vector<Segment> richOutput() {
    std::string note = NOTE.substr(3);  // after 0x21 0xFE and the length byte
    std::string shortRest = SHORT.substr(3);
    std::string img = image(1, 1);
    return {
        {header(2), false},
        {bytes({0x21, 0xFF}), true},
        {LOOP.substr(2), false},
        {NOTE.substr(0, 3), true},
        {note.substr(0, 11), true},
        {note.substr(11), false},
        {SHORT.substr(0, 3), true},
        {shortRest.substr(0, 4), false},
        {shortRest.substr(4), false},
        {EMPTY, true},
        {bytes({0x21, 0x01}), true},
        {PLAIN.substr(2), false},
        {NEW, true},
        {bytes({0x21, 0xF9}), true},
        {GCE.substr(2), false},
        {bytes({0x2C}), true},
        {img.substr(1), false},
        {bytes({0x21, 0xF9}), true},
        {GCE.substr(2), false},
        {bytes({0x2C}), true},
        {image(2).substr(1), false},
        {TRAILER, true},
    };
}

std::string richInput() {
    return header(2) + LOOP + NOTE + SHORT + EMPTY + PLAIN + OLD + GCE + image(1, 1) + OLD + NOTE +
           GCE + image(2) + TRAILER;
}

std::string joined(const std::vector<Segment> &segments) {
    std::string s;
    for (const Segment &seg : segments)
        s += seg.bytes;
    return s;
}

TEST(SetGifData, RichStreamOutput) {
    RewriteRun r = rewrite(richInput());
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.out, joined(richOutput()));
}

// A sink that fills up at any byte fails the rewrite: the trailer is always a
// tested write, and the output holds exactly the bytes accepted.
TEST(SetGifData, FullSinkAtEveryByte) {
    const std::string full = joined(richOutput());
    for (size_t limit = 0; limit < full.size(); limit++) {
        RewriteRun r = rewrite(richInput(), EMOJI, limit);
        EXPECT_EQ(r.result, -1) << "limit " << limit;
        EXPECT_EQ(r.out, full.substr(0, limit)) << "limit " << limit;
    }
}

// An output stream that fails every write call from number `failAt` (from 1)
// on, like a full disk. It notes how many bytes it took before that, and how
// far the rewriter had read its input when the first write failed.
struct FailFromSink {
    int calls = 0;
    int failAt = 0;
    size_t accepted = 0;
};

ssize_t failFromWrite(void *cookie, const char *, size_t size) {
    auto *s = static_cast<FailFromSink *>(cookie);
    if (++s->calls >= s->failAt) return 0;  // a cookie write fails by taking no bytes
    s->accepted += size;
    return static_cast<ssize_t>(size);
}

// Exactly the writes that the rewriter composes itself, and the comment
// writer's, are tested: when one of them fails the rewrite stops at once,
// while after a failed copy of bytes straight from the input it reads on
// (until the next tested write fails), trying further writes.
TEST(SetGifData, WhichWritesAreTested) {
    const std::vector<Segment> segments = richOutput();
    std::string input = richInput();
    int stoppedAtOnce = 0;
    int readOn = 0;
    for (int k = 1;; k++) {
        FailFromSink sink;
        sink.failAt = k;
        cookie_io_functions_t io{};
        io.write = failFromWrite;
        FILE *out = fopencookie(&sink, "w", io);
        ASSERT_NE(out, nullptr);
        setvbuf(out, nullptr, _IONBF, 0);
        FILE *in = fmemopen(&input[0], input.size(), "rb");
        ASSERT_NE(in, nullptr);
        int result = runRewriter(setGifData, in, out, EMOJI).result;
        std::fclose(in);
        std::fclose(out);
        if (sink.calls < k) break;  // every write call has had its turn
        EXPECT_EQ(result, -1) << "call " << k;
        size_t begin = 0;
        const Segment *hit = nullptr;
        for (const Segment &seg : segments) {
            if (sink.accepted < begin + seg.bytes.size()) {
                hit = &seg;
                break;
            }
            begin += seg.bytes.size();
        }
        ASSERT_NE(hit, nullptr) << "call " << k;
        bool wentOn = sink.calls > k;
        EXPECT_EQ(wentOn, !hit->tested) << "call " << k << " at output byte " << sink.accepted;
        (wentOn ? readOn : stoppedAtOnce)++;
    }
    EXPECT_GT(stoppedAtOnce, 10);
    EXPECT_GT(readOn, 10);
}

}  // namespace
