// setGifData on files made by independent tools, with a UTF-8 text long
// enough for several sub-blocks: exiftool reads back the exact bytes and
// giflib renders the same pixels.
#include <gtest/gtest.h>

#include <string>

#include "embed.h"
#include "embed_run.h"
#include "test_support.h"

using namespace testsupport;

namespace {

// A text of about 600 bytes of hiragana and ASCII in many small tags.
std::string longUtf8Text() {
    std::string t = "<emoji>";
    for (int i = 0; i < 30; i++)
        t += "<yomi>\xE3\x81\x82\xE3\x81\x84</yomi><n>" + std::to_string(i) + "</n>";
    return t + "</emoji>";
}

struct Utf8Case {
    const char *name;
    std::string before;  // comments of the source that stay ahead of the text
    std::string after;   // comments of the source that stay after it
};

TEST(GifRealFilesUtf8, ExactTextAndSamePixels) {
    const std::string text = longUtf8Text();
    ASSERT_GT(text.size(), 2 * 255u);
    TempDir dir;
    RunResult made = runShell("sh '" + std::string(TEST_DATA_DIR) + "/gif/make_real_gifs.sh' '" +
                              dir.path() + "'");
    ASSERT_EQ(made.status, 0) << made.err;
    const Utf8Case cases[] = {
        {"gif87a", "", ""},
        {"commented", "a note from another tool", ""},
        {"oldemoji", "", ""},
        {"animated", "", ""},
        {"plaintext", "", "a trailing comment of the source file"},
    };
    for (const Utf8Case &c : cases) {
        std::string in = dir / (std::string(c.name) + ".gif");
        std::string out = dir / (std::string(c.name) + "-utf8.gif");
        FILE *fin = std::fopen(in.c_str(), "rb");
        FILE *fout = std::fopen(out.c_str(), "wb");
        ASSERT_TRUE(fin != nullptr && fout != nullptr) << c.name;
        EXPECT_EQ(runRewriter(setGifData, fin, fout, text.c_str()).result, 0) << c.name;
        std::fclose(fin);
        std::fclose(fout);
        RunResult comments = runShell("exiftool -a -b -Comment '" + out + "'");
        EXPECT_EQ(comments.out, c.before + text + c.after) << c.name;
        RunResult a = runShell("gif2rgb -1 -o '" + in + ".rgb' '" + in + "'");
        RunResult b = runShell("gif2rgb -1 -o '" + out + ".rgb' '" + out + "'");
        ASSERT_EQ(a.status, 0) << c.name << a.err;
        ASSERT_EQ(b.status, 0) << c.name << b.err;
        EXPECT_EQ(readFile(out + ".rgb"), readFile(in + ".rgb")) << c.name;
        EXPECT_EQ(runShell("giftext '" + out + "' >/dev/null").status, 0) << c.name;
    }
}

}  // namespace
