// Broken JPEG files and failing writes through the tool: the file is reported,
// the batch goes on, and with "-o" the input is never replaced.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

using namespace testsupport;

namespace {

const char TEXT[] = "<emoji><t>x</t></emoji>";

// A real baseline JPEG made by cjpeg from a small generated picture.
std::string makeJpeg(const TempDir &dir, int w, int h) {
    std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    unsigned noise = 7;
    for (int i = 0; i < w * h * 3; i++) {
        noise = noise * 1103515245u + 12345u;
        ppm += static_cast<char>((noise >> 16) & 0xFF);
    }
    writeFile(dir / "src.ppm", ppm);
    if (runShell("cjpeg -quality 95 src.ppm > src.jpg", dir.path()).status != 0) return "";
    return readFile(dir / "src.jpg");
}

struct BrokenCase {
    const char *why;
    size_t keep;  // bytes of the real file kept (0: see `bytes`)
    std::string bytes;
};

TEST(JpgFailures, BrokenFilesAreReportedAndKeptWithOverwrite) {
    TempDir dir;
    std::string jpeg = makeJpeg(dir, 64, 48);
    ASSERT_FALSE(jpeg.empty()) << "cjpeg is needed";
    size_t sos = jpeg.find("\xFF\xDA");
    ASSERT_NE(sos, std::string::npos);
    const BrokenCase cases[] = {
        {"cut inside the quantisation table", 30, ""},
        {"cut inside the SOS header", sos + 5, ""},
        {"cut inside the scan data", sos + 200, ""},
        {"cut before EOI", jpeg.size() - 2, ""},
        {"a PNG signature", 0, "\x89PNG\r\n\x1A\n"},
        {"empty file", 0, ""},
        {"segment length 1", 0, std::string("\xFF\xD8\xFF\xE0\x00\x01\xFF\xD9", 8)},
        {"text after SOI", 0, "\xFF\xD8hello"},
    };
    std::string list, expectErr;
    int line = 1;
    for (const BrokenCase &c : cases) {
        std::string name = "b" + std::to_string(line) + ".jpg";
        writeFile(dir / name, c.keep ? jpeg.substr(0, c.keep) : c.bytes);
        list += name + "," + TEXT + "\n";
        expectErr += "Error: " + std::to_string(line) + ":" + name + ": bad JPG file\n";
        line++;
    }
    writeFile(dir / "good.jpg", jpeg);
    list += std::string("good.jpg,") + TEXT + "\n";
    writeFile(dir / "list.csv", list);

    RunResult r = runTool({"-o", "list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, expectErr);
    line = 1;
    for (const BrokenCase &c : cases) {
        std::string name = "b" + std::to_string(line++);
        EXPECT_EQ(readFile(dir / (name + ".jpg")), c.keep ? jpeg.substr(0, c.keep) : c.bytes)
            << c.why << ": the input must stay";
        EXPECT_FALSE(fileExists(dir / (name + "-out.jpg"))) << c.why << ": -o writes no -out file";
    }
    // The batch went on: the good file was replaced by its rewritten copy.
    EXPECT_FALSE(fileExists(dir / "good-out.jpg"));
    EXPECT_NE(readFile(dir / "good.jpg").find(TEXT), std::string::npos);
}

// Output writes that fail part way (a file size limit in 512-byte blocks makes
// them fail; the output is flushed in 128 KiB steps, so the limits reach
// different writes): the file is reported and the input stays.
TEST(JpgFailures, FailingWritesNeverReplaceTheInput) {
    TempDir dir;
    std::string jpeg = makeJpeg(dir, 640, 480);  // larger than the output buffer
    ASSERT_GT(jpeg.size(), 300000u);
    writeFile(dir / "list.csv", std::string("big.jpg,") + TEXT + "\n");
    for (int blocks : {1, 300, 400, 500, 600}) {
        writeFile(dir / "big.jpg", jpeg);
        std::string cmd = "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + " && exec '" +
                          std::string(EMOJITAG_BIN) + "' -o list.csv";
        RunResult r = runShell(cmd, dir.path());
        EXPECT_EQ(r.status, 0) << blocks;
        EXPECT_EQ(r.err, "Error: 1:big-out.jpg: write error\n") << blocks;
        EXPECT_TRUE(readFile(dir / "big.jpg") == jpeg) << blocks << ": input replaced";
    }
}

}  // namespace

// A plain run writes over whatever older output stands at NAME-out.EXT and
// cuts it to the new length; the long runs the system moves (on a thread of
// their own) land in place, and a move it refuses is written by the program.
TEST(JpgFailures, APlainRunLeavesExactlyTheNewOutput) {
    TempDir ref;
    std::string jpeg = makeJpeg(ref, 1600, 1200);  // several moved runs
    ASSERT_GT(jpeg.size(), 2000000u);
    writeFile(ref / "list.csv", std::string("big.jpg,") + TEXT + "\n");
    writeFile(ref / "big.jpg", jpeg);
    ASSERT_EQ(runTool({"list.csv"}, ref.path()).err, "");
    const std::string expected = readFile(ref / "big-out.jpg");
    const std::string inject = kStrace + "-f -o /dev/null -e trace=copy_file_range -e inject=";
    struct Case {
        const char *why;
        std::string older;  // what big-out.jpg held before ("-": nothing)
        std::string prefix;
    } cases[] = {
        {"no older output", "-", ""},
        {"an older, longer output: its tail goes", std::string(jpeg.size() * 2, 'x'), ""},
        {"an older, shorter output", std::string(100, 'x'), ""},
        {"the system moves nothing", "-", inject + "copy_file_range:error=EXDEV "},
        {"a move fails after the first", jpeg, inject + "copy_file_range:error=ENOSPC:when=2+ "},
    };
    for (const Case &c : cases) {
        if (!c.prefix.empty() && !haveProgram("strace")) continue;
        TempDir dir;
        writeFile(dir / "big.jpg", jpeg);
        writeFile(dir / "list.csv", std::string("big.jpg,") + TEXT + "\n");
        if (c.older != "-") writeFile(dir / "big-out.jpg", c.older);
        RunResult r = runShell(c.prefix + "'" + EMOJITAG_BIN + "' list.csv", dir.path());
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, "") << c.why;
        EXPECT_TRUE(readFile(dir / "big-out.jpg") == expected) << c.why;
    }
}
