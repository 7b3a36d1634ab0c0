// GIF embedding on files made by independent tools: giflib and gifsicle must
// decode the same pixels from input and output, and exiftool must read the
// comments back exactly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

using namespace testsupport;

namespace {

const std::string TEXT = "<emoji><yomi>abc</yomi><hyoki>def</hyoki></emoji>";

struct RealFile {
    const char *name;                   // made by tests/data/gif/make_real_gifs.sh
    std::vector<std::string> comments;  // expected in the output, in order
};

const RealFile REAL_FILES[] = {
    {"gif87a", {TEXT}},
    {"colors256", {TEXT}},
    {"interlaced", {TEXT}},
    {"commented", {"a note from another tool", TEXT}},
    {"exifcomment", {"written by exiftool", TEXT}},
    {"oldemoji", {TEXT}},
    {"animated", {TEXT}},
    {"latecomment", {TEXT}},
    {"plaintext", {TEXT, "a trailing comment of the source file"}},
};

void makeRealFiles(const std::string &dir) {
    RunResult r =
        runShell("sh '" + std::string(TEST_DATA_DIR) + "/gif/make_real_gifs.sh' '" + dir + "'");
    ASSERT_EQ(r.status, 0) << r.err;
}

// giflib's text dump of every block and pixel, with comments left out.
std::string dumpWithoutComments(const std::string &dir, const std::string &file) {
    RunResult r =
        runShell("gifbuild -d < '" + file + "' | grep -v '^# GIF information' | " +
                     "awk '/^comment$/ {skip = 1} !skip && NF {print} " + "/^end$/ {skip = 0}'",
                 dir);
    return r.status == 0 ? r.out : "failed: " + r.err;
}

// giflib's RGB rendering of the screen.
std::string renderRgb(const std::string &dir, const std::string &file) {
    RunResult r = runShell("gif2rgb -1 -o rgb.out '" + file + "' && cat rgb.out", dir);
    return r.status == 0 ? r.out : "failed: " + r.err;
}

// gifsicle's decoding of every frame, unoptimized, as a GIF without comments.
std::string gifsicleFrames(const std::string &dir, const std::string &file) {
    RunResult r = runShell("gifsicle -w -U --no-comments '" + file + "'", dir);
    return r.status == 0 ? r.out : "failed: " + r.err;
}

void expectSamePixels(const std::string &dir, const std::string &in, const std::string &out,
                      const std::string &why) {
    using Decoder = std::string (*)(const std::string &, const std::string &);
    for (Decoder decode : {dumpWithoutComments, renderRgb, gifsicleFrames}) {
        std::string original = decode(dir, in);
        EXPECT_TRUE(original.size() > 20 && original.rfind("failed", 0) != 0) << why << original;
        EXPECT_EQ(decode(dir, out), original) << why;
    }
    EXPECT_EQ(runShell("giftext '" + out + "' >/dev/null", dir).status, 0) << why;
}

void expectComments(const std::string &dir, const std::string &file,
                    const std::vector<std::string> &comments, const std::string &why) {
    std::string joined;
    for (const std::string &c : comments)
        joined += c;
    EXPECT_EQ(runShell("exiftool -a -b -Comment '" + file + "'", dir).out, joined) << why;
    RunResult each = runShell("exiftool -a -s3 -Comment '" + file + "'", dir);
    EXPECT_EQ(splitLines(each.out).size(), comments.size()) << why << "\n" << each.out;
}

TEST(GifRealFiles, SamePixelsAndTheCommentReadsBack) {
    TempDir dir;
    makeRealFiles(dir.path());
    std::string list;
    for (const RealFile &f : REAL_FILES)
        list += std::string(f.name) + ".gif," + TEXT + "\n";
    writeFile(dir / "list.csv", list);
    RunResult r = runTool({"list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    for (const RealFile &f : REAL_FILES) {
        std::string in = std::string(f.name) + ".gif";
        std::string out = std::string(f.name) + "-out.gif";
        ASSERT_TRUE(fileExists(dir / out)) << f.name;
        expectSamePixels(dir.path(), in, out, f.name);
        expectComments(dir.path(), out, f.comments, f.name);
    }
}

// Running the tool on its own output changes nothing, except that an examined
// comment after the emoji comment now follows an emoji comment and goes; "-o"
// leaves the same bytes as the first run under the input's name, and the
// first run's NAME-out.gif as it was.
TEST(GifRealFiles, RerunAndInPlace) {
    TempDir dir;
    makeRealFiles(dir.path());
    std::string list;
    std::string again;
    for (const RealFile &f : REAL_FILES) {
        list += std::string(f.name) + ".gif," + TEXT + "\n";
        again += std::string(f.name) + "-out.gif," + TEXT + "\n";
    }
    writeFile(dir / "list.csv", list);
    writeFile(dir / "again.csv", again);
    EXPECT_EQ(runTool({"list.csv"}, dir.path()).err, "");
    EXPECT_EQ(runTool({"again.csv"}, dir.path()).err, "");
    std::vector<std::string> first;
    for (const RealFile &f : REAL_FILES)
        first.push_back(readFile(dir / (std::string(f.name) + "-out.gif")));
    EXPECT_EQ(runTool({"-o", "list.csv"}, dir.path()).err, "");
    for (size_t i = 0; i < std::size(REAL_FILES); i++) {
        const RealFile &f = REAL_FILES[i];
        std::string name(f.name);
        EXPECT_EQ(readFile(dir / (name + ".gif")), first[i]) << f.name;
        EXPECT_EQ(readFile(dir / (name + "-out.gif")), first[i]) << f.name;
        std::string rerun = name + "-out-out.gif";
        if (f.comments.back() == TEXT) {
            EXPECT_EQ(readFile(dir / rerun), first[i]) << f.name;
        } else {
            expectSamePixels(dir.path(), name + ".gif", rerun, f.name);
            std::vector<std::string> upToText;
            for (const std::string &c : f.comments) {
                upToText.push_back(c);
                if (c == TEXT) break;
            }
            expectComments(dir.path(), rerun, upToText, f.name);
        }
    }
}

// A text that yields no piece writes no comment, so every decoder still
// reads the file; an old emoji comment is still removed.
TEST(GifRealFiles, TextWithoutTagEndKeepsTheFileReadable) {
    TempDir dir;
    makeRealFiles(dir.path());
    std::string list;
    for (const RealFile &f : REAL_FILES)
        list += std::string(f.name) + ".gif,no tag end here\n";
    writeFile(dir / "list.csv", list);
    RunResult r = runTool({"list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(splitLines(r.err).size(), 2 * std::size(REAL_FILES));
    for (const RealFile &f : REAL_FILES) {
        std::string in = std::string(f.name) + ".gif";
        std::string out = std::string(f.name) + "-out.gif";
        expectSamePixels(dir.path(), in, out, f.name);
        std::vector<std::string> kept;
        for (const std::string &c : f.comments)
            if (c != TEXT) kept.push_back(c);
        expectComments(dir.path(), out, kept, f.name);
    }
}

}  // namespace
