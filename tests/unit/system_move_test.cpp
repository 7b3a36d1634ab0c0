// The runs that the tool moves inside the system from a mapped input give
// the same bytes as the rewrite through plain streams (in-memory streams,
// which are never mapped), on whole large pictures, on pictures cut at the
// buffers' boundaries and on the steps back over a removed comment; and an
// input cut short under its mapping fails the rewrite instead of ending the
// process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "embed.h"
#include "embed_run.h"
#include "platform_copy.h"
#include "platform_file.h"
#include "test_support.h"

using namespace testsupport;

namespace {

const std::string kText = "<emoji><yomi>abc</yomi></emoji>";

struct Pictures {
    std::string baseline, progressive, gif;
};

// 600x600 noise: a few hundred kB each, scans far longer than one run.
const Pictures &pictures() {
    static Pictures p = [] {
        Pictures made;
        if (!haveProgram("cjpeg") || !haveProgram("djpeg")) return made;
        std::mt19937 rng(11);
        std::string ppm = "P6 600 600 255\n";
        for (int i = 0; i < 600 * 600 * 3; i++)
            ppm += static_cast<char>(rng() & 0xFF);
        TempDir dir;
        writeFile(dir / "n.ppm", ppm);
        RunResult r = runShell(
            "cjpeg -quality 95 -restart 8 n.ppm > a.jpg && cjpeg -progressive n.ppm > b.jpg && "
            "djpeg -gif -colors 256 a.jpg > c.gif",
            dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        made = {readFile(dir / "a.jpg"), readFile(dir / "b.jpg"), readFile(dir / "c.gif")};
        return made;
    }();
    return p;
}

// The rewrite through streams on no file.
struct Rewrite {
    int result;
    std::string out;
};

Rewrite rewriteInMemory(const std::string &name, const std::string &image) {
    MemSink sink;
    FILE *in = openMemSource(image);
    FILE *out = openMemSink(sink);
    bool gif = name.substr(name.size() - 4) == ".gif";
    int result = runRewriter(gif ? setGifData : setJpgData, in, out, kText.c_str()).result;
    std::fclose(in);
    std::fclose(out);
    return {result, sink.bytes};
}

// `comment` inserted before the n-th SOS (0xFF 0xDA stands nowhere else).
std::string beforeScan(const std::string &jpg, int n, const std::string &comment) {
    size_t at = 0;
    for (int i = 0; i < n; i++)
        at = jpg.find("\xFF\xDA", i == 0 ? 0 : at + 2);
    return at == std::string::npos ? jpg : jpg.substr(0, at) + comment + jpg.substr(at);
}

std::string com(const std::string &data) {
    size_t n = data.size() + 2;
    return std::string("\xFF\xFE", 2) + static_cast<char>(n >> 8) + static_cast<char>(n & 0xFF) +
           data;
}

struct Case {
    const char *why;
    std::string name;
    std::string image;
};

std::vector<Case> cases(const Pictures &p) {
    std::string trailer(100000, '\0');
    std::mt19937 rng(5);
    for (char &c : trailer)
        c = static_cast<char>(rng() & 0xFF);
    std::vector<Case> all = {
        {"baseline with restart markers: one run of the whole scan", "a.jpg", p.baseline},
        {"progressive: a run for every scan", "b.jpg", p.progressive},
        {"GIF: the image's sub-blocks in one run", "c.gif", p.gif},
        {"bytes after EOI, moved as a run of their own", "d.jpg", p.baseline + trailer},
        {"emoji comments before and between scans: the output steps back, then a run follows",
         "e.jpg",
         beforeScan(beforeScan(p.progressive, 3, com("<emoji>old two</emoji>")), 1,
                    com("<emoji>old one</emoji>"))},
    };
    // Cut just past the size from which an input is mapped (the stream
    // buffer's, 128 KiB) and on both sides of the boundaries after it.
    for (size_t cut : {131073u, 196607u, 196608u, 262144u, 262145u}) {
        all.push_back({"baseline cut short", "cut-a.jpg", p.baseline.substr(0, cut)});
        all.push_back({"GIF cut short", "cut-c.gif", p.gif.substr(0, cut)});
    }
    return all;
}

TEST(SystemMoves, GiveTheBytesOfThePlainStreams) {
    const Pictures &p = pictures();
    if (p.baseline.empty()) GTEST_SKIP() << "cjpeg and djpeg are needed";
    for (const Case &c : cases(p)) {
        ASSERT_GT(c.image.size(), 131072u) << c.why;  // mapped
        Rewrite expected = rewriteInMemory(c.name, c.image);
        TempDir dir;
        writeFile(dir / c.name, c.image);
        writeFile(dir / "list.csv", c.name + "," + kText + "\n");
        RunResult r = runTool({"list.csv"}, dir.path());
        std::string out = c.name;
        out.insert(out.rfind('.'), "-out");
        EXPECT_EQ(r.err.empty(), expected.result == 0) << c.why << " (" << c.image.size() << ")";
        EXPECT_TRUE(readFile(dir / out) == expected.out) << c.why << " (" << c.image.size() << ")";
        // With "-o" the new file is a fresh one, moved to by the same runs.
        if (expected.result != 0) continue;
        r = runTool({"-o", "list.csv"}, dir.path());
        EXPECT_EQ(r.err, "") << c.why;
        EXPECT_TRUE(readFile(dir / c.name) == expected.out) << c.why;
    }
}

TEST(SystemMoves, AnInputCutShortUnderItsMappingFailsTheRewrite) {
    const Pictures &p = pictures();
    if (p.baseline.empty()) GTEST_SKIP() << "cjpeg and djpeg are needed";
    for (size_t cut : {size_t{0}, size_t{1000}, p.baseline.size() / 2}) {
        TempDir dir;
        writeFile(dir / "a.jpg", p.baseline);
        FileInfo info;
        FILE *in = openInputFile((dir / "a.jpg").c_str(), &info);
        ASSERT_NE(in, nullptr);
        ASSERT_TRUE(mapInput(in, info.size));
        ASSERT_EQ(truncate((dir / "a.jpg").c_str(), static_cast<off_t>(cut)), 0);
        MemSink sink;
        FILE *out = openMemSink(sink);
        runRewriter(setJpgData, in, out, kText.c_str());
        EXPECT_FALSE(unmapInput(in)) << "cut at " << cut;
        std::fclose(out);
        std::fclose(in);
    }
}

}  // namespace
