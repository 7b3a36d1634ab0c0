// Crash safety of a run with "-o" over originals: a write refused at any
// position, a file system that fills up, a run killed at random moments,
// inputs that change under the tool and files it may not read. In every case
// each input is afterwards either its original bytes or the complete new
// output, and the batch goes on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "test_support.h"

using namespace testsupport;

namespace {

constexpr const char *kText = "<emoji><yomi>abc</yomi><hyoki>def</hyoki></emoji>";
// Larger than the image job's stream buffers (128 KiB), so the output is
// written while the rewrite is still running, not only when it is closed.
constexpr int kLargeSide = 420;
// A picture of noise: compresses badly, so the files are large.
std::string noisePpm(int side, unsigned seed) {
    std::mt19937 rng(seed);
    std::string ppm = "P6 " + std::to_string(side) + " " + std::to_string(side) + " 255\n";
    for (int i = 0; i < side * side * 3; i++)
        ppm += static_cast<char>(rng() & 0xFF);
    return ppm;
}

// A large JPEG and GIF made with the image tools (cjpeg, djpeg -gif).
struct LargeImages {
    std::string jpg, gif;
};

const LargeImages &largeImages() {
    static LargeImages imgs = [] {
        LargeImages li;
        TempDir dir;
        writeFile(dir / "noise.ppm", noisePpm(kLargeSide, 7));
        RunResult r = runShell(
            "cjpeg -quality 95 noise.ppm > big.jpg && djpeg -gif -colors 256 big.jpg > big.gif",
            dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        li.jpg = readFile(dir / "big.jpg");
        li.gif = readFile(dir / "big.gif");
        return li;
    }();
    return imgs;
}

// What a run without "-o" writes for `image` saved as `name`.
std::string expectedOutput(const std::string &name, const std::string &image) {
    TempDir dir;
    writeFile(dir / name, image);
    writeFile(dir / "list.csv", name + "," + kText + "\n");
    RunResult r = runTool({"list.csv"}, dir.path());
    EXPECT_EQ(r.err, "") << name;
    std::string out = name;
    out.insert(out.rfind('.'), "-out");
    return readFile(dir / out);
}

struct ImageCase {
    const char *why;
    std::string name;
    std::string image;
    bool large;
};

std::vector<ImageCase> imageCases() {
    return {
        {"small GIF, written out only when closed", "pic.gif", testData("tiny.gif"), false},
        {"small JPEG, written out only when closed", "pic.jpg", testData("tiny.jpg"), false},
        {"large GIF, written while rewriting", "pic.gif", largeImages().gif, true},
        {"large JPEG, written while rewriting", "pic.jpg", largeImages().jpg, true},
    };
}

// Every limit for a small output; for a large one the first bytes, both sides
// of every stream-buffer boundary and a stride in between.
std::vector<size_t> writePositions(size_t outSize, bool large) {
    std::vector<size_t> pos;
    if (!large) {
        for (size_t n = 0; n <= outSize; n++)
            pos.push_back(n);
        return pos;
    }
    for (size_t n = 0; n < 16; n++)
        pos.push_back(n);
    for (size_t b = 128 * 1024; b < outSize; b += 128 * 1024)
        for (size_t d : {b - 1, b, b + 1})
            pos.push_back(d);
    for (size_t n = 16; n < outSize; n += 9973)
        pos.push_back(n);
    pos.push_back(outSize - 1);
    pos.push_back(outSize);
    return pos;
}

// A write that fails is reported as such, never as a bad image.
bool isImageJobFailure(const std::string &line, const std::string &name) {
    std::string out = name;
    out.insert(out.rfind('.'), "-out");
    return line == "Error: 1:" + out + ": write error\n";
}

TEST(CrashSafety, AWriteRefusedAtAnyPositionKeepsTheInput) {
    for (const ImageCase &c : imageCases()) {
        std::string expected = expectedOutput(c.name, c.image);
        ASSERT_FALSE(expected.empty()) << c.why;
        TempDir dir;
        // The second line shows that the batch goes on after the failure.
        writeFile(dir / "list.csv", c.name + "," + kText + "\nmissing.gif,x\n");
        for (size_t limit : writePositions(expected.size(), c.large)) {
            writeFile(dir / c.name, c.image);
            Limits lim;
            lim.fileSize = static_cast<long long>(limit);
            RunResult r = runLimited({"-o", "list.csv"}, dir.path(), lim);
            ASSERT_EQ(r.status, 0) << c.why << " limit " << limit;
            std::vector<std::string> lines = splitLines(r.err);
            ASSERT_FALSE(lines.empty()) << c.why << " limit " << limit;
            EXPECT_EQ(lines.back(), "Error: 2:missing.gif: not found\n") << c.why;
            if (limit >= expected.size()) {
                EXPECT_EQ(lines.size(), 1u) << c.why << " limit " << limit << ": " << r.err;
                EXPECT_EQ(readFile(dir / c.name), expected) << c.why << " limit " << limit;
                continue;
            }
            ASSERT_EQ(lines.size(), 2u) << c.why << " limit " << limit << ": " << r.err;
            EXPECT_TRUE(isImageJobFailure(lines[0], c.name))
                << c.why << " limit " << limit << ": " << lines[0];
            ASSERT_EQ(readFile(dir / c.name), c.image) << c.why << " limit " << limit;
        }
    }
}

// A small tmpfs; needs the right to mount.
class SmallFileSystem {
   public:
    explicit SmallFileSystem(const std::string &dir, size_t bytes) : dir_(dir) {
        std::string opts = "size=" + std::to_string(bytes);
        mounted_ = mount("tmpfs", dir.c_str(), "tmpfs", 0, opts.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) umount(dir_.c_str());
    }
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;
    bool mounted() const { return mounted_; }

   private:
    std::string dir_;
    bool mounted_;
};

// Fills the file system that holds `path` to the last byte, then gives back
// `spare` bytes (rounded down to whole pages by tmpfs).
void fillUp(const std::string &path, size_t spare) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    static const char block[4096] = {};
    size_t total = 0;
    ssize_t n;
    while ((n = write(fd, block, sizeof block)) > 0)
        total += static_cast<size_t>(n);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(total > spare ? total - spare : 0)), 0);
    close(fd);
}

TEST(CrashSafety, AFileSystemThatFillsUpKeepsTheInput) {
    for (const ImageCase &c : imageCases()) {
        std::string expected = expectedOutput(c.name, c.image);
        for (size_t spare : {size_t{0}, expected.size() / 2}) {
            TempDir dir;
            std::string fs = dir / "fs";
            ASSERT_EQ(mkdir(fs.c_str(), 0755), 0);
            SmallFileSystem small(fs, 4 * c.image.size() + 65536);
            if (!small.mounted()) GTEST_SKIP() << "no right to mount a tmpfs here";
            writeFile(fs + "/" + c.name, c.image);
            writeFile(fs + "/list.csv", c.name + "," + kText + "\n");
            fillUp(fs + "/filler", spare);
            RunResult r = runTool({"-o", "list.csv"}, fs);
            EXPECT_EQ(r.status, 0) << c.why;
            std::vector<std::string> lines = splitLines(r.err);
            ASSERT_EQ(lines.size(), 1u) << c.why << " spare " << spare << ": " << r.err;
            EXPECT_TRUE(isImageJobFailure(lines[0], c.name)) << c.why << ": " << lines[0];
            EXPECT_EQ(readFile(fs + "/" + c.name), c.image) << c.why << " spare " << spare;
        }
    }
}

TEST(CrashSafety, ARunKilledAtRandomMomentsLeavesEachInputWholeOldOrWholeNew) {
    // Many images of different sizes in one list.
    constexpr int kImages = 24;
    struct Img {
        std::string name, original, replaced;
    };
    std::vector<Img> imgs;
    std::string list;
    for (int i = 0; i < kImages; i++) {
        bool gif = i % 2 == 0;
        std::string name = "img" + std::to_string(i) + (gif ? ".gif" : ".jpg");
        std::string data = i % 4 < 2 ? (gif ? largeImages().gif : largeImages().jpg)
                                     : testData(gif ? "tiny.gif" : "tiny.jpg");
        imgs.push_back({name, data, expectedOutput(name, data)});
        list += name + "," + kText + "\n";
    }
    TempDir dir;
    writeFile(dir / "list.csv", list);
    auto restore = [&] {
        for (const Img &img : imgs)
            writeFile(dir / img.name, img.original);
    };

    // One uninterrupted run sets the range of the random delays.
    restore();
    auto t0 = std::chrono::steady_clock::now();
    RunResult whole = runLimited({"-o", "list.csv"}, dir.path(), Limits{});
    auto full = std::chrono::steady_clock::now() - t0;
    ASSERT_EQ(whole.err, "");
    for (const Img &img : imgs)
        ASSERT_EQ(readFile(dir / img.name), img.replaced) << img.name;

    std::mt19937 rng(20240607);
    long long fullUs = std::chrono::duration_cast<std::chrono::microseconds>(full).count();
    std::uniform_int_distribution<long long> delay(0, fullUs + 1000);
    // At least 8 trials, then more while time is left, 60 at most.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    int trials = 0;
    for (; trials < 60 && (trials < 8 || std::chrono::steady_clock::now() < deadline); trials++) {
        restore();
        Child c = startTool({"-o", "list.csv"}, dir.path(), Limits{});
        std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
        kill(c.pid, SIGKILL);
        finishTool(c);
        for (const Img &img : imgs) {
            ASSERT_TRUE(fileExists(dir / img.name)) << "trial " << trials << ": " << img.name;
            std::string now = readFile(dir / img.name);
            ASSERT_TRUE(now == img.original || now == img.replaced)
                << "trial " << trials << ": " << img.name << " is partial (" << now.size()
                << " bytes)";
        }
    }
}

TEST(CrashSafety, TwoRunsAtOnceWithOneKilledLeaveEveryInputWhole) {
    // Large images, so that both runs are busy with the same files at once.
    constexpr int kImages = 8;
    std::vector<std::string> names, originals, replaced;
    std::string list;
    for (int i = 0; i < kImages; i++) {
        bool gif = i % 2 == 0;
        names.push_back("img" + std::to_string(i) + (gif ? ".gif" : ".jpg"));
        originals.push_back(gif ? largeImages().gif : largeImages().jpg);
        replaced.push_back(expectedOutput(names.back(), originals.back()));
        list += names.back() + "," + kText + "\n";
    }
    TempDir dir;
    writeFile(dir / "list.csv", list);
    auto restore = [&] {
        for (int i = 0; i < kImages; i++)
            writeFile(dir / names[i], originals[i]);
    };
    restore();
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(runLimited({"-o", "list.csv"}, dir.path(), Limits{}).err, "");
    long long fullUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<long long> delay(0, fullUs);
    for (int trial = 0; trial < 10; trial++) {
        restore();
        Child killed = startTool({"-o", "list.csv"}, dir.path(), Limits{});
        Child other = startTool({"-o", "list.csv"}, dir.path(), Limits{});
        std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
        kill(killed.pid, SIGKILL);
        finishTool(killed);
        RunResult r = finishTool(other);
        EXPECT_EQ(r.err, "") << "trial " << trial;
        // The run that finished rewrote every input, whole old or whole new,
        // into the same new bytes.
        for (int i = 0; i < kImages; i++)
            ASSERT_TRUE(readFile(dir / names[i]) == replaced[i])
                << "trial " << trial << ": " << names[i] << " damaged";
        // The killed run may leave temporary files: each beside its input and
        // named after it, ".NAME.XXXXXX".
        for (const std::string &entry : listDir(dir.path())) {
            if (entry == "list.csv" || std::find(names.begin(), names.end(), entry) != names.end())
                continue;
            size_t dot = entry.rfind('.');
            EXPECT_TRUE(dot != std::string::npos && entry.size() == dot + 7 && entry[0] == '.' &&
                        std::find(names.begin(), names.end(), entry.substr(1, dot - 1)) !=
                            names.end())
                << "trial " << trial << ": " << entry;
            ASSERT_EQ(unlink((dir / entry).c_str()), 0);
        }
    }
}

// Waits until `path` holds `bytes`; false after a generous bound.
bool waitForContent(const std::string &path, const std::string &bytes) {
    for (int i = 0; i < 2000; i++) {
        if (fileExists(path) && readFile(path) == bytes) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

struct ChangeCase {
    const char *why;
    const char *opt;  // "" or "-o"
    std::string name;
    std::string image;
    size_t keep;        // bytes the image is cut to before its line is read
    std::string error;  // message of its line
};

TEST(CrashSafety, AnInputCutBetweenListLinesIsReportedAndTheBatchGoesOn) {
    const std::string gif = testData("tiny.gif");
    const std::string jpg = testData("tiny.jpg");
    const ChangeCase cases[] = {
        {"GIF cut in half", "", "b.gif", gif, gif.size() / 2, "Error: 3:b.gif: bad GIF file\n"},
        {"GIF emptied, with -o", "-o", "b.gif", gif, 0, "Error: 3:b.gif: bad GIF file\n"},
        {"JPEG cut inside its scan, with -o", "-o", "b.jpg", jpg, jpg.size() - 20,
         "Error: 3:b.jpg: bad JPG file\n"},
        {"JPEG cut to its first byte", "", "b.jpg", jpg, 1, "Error: 3:b.jpg: bad JPG file\n"},
    };
    const std::string aOut = expectedOutput("a.gif", gif);
    const std::string cOut = expectedOutput("c.jpg", jpg);
    for (const ChangeCase &c : cases) {
        bool replace = std::string(c.opt) == "-o";
        TempDir dir;
        writeFile(dir / "a.gif", gif);
        writeFile(dir / c.name, c.image);
        writeFile(dir / "c.jpg", jpg);
        // The blank second line gets a message, and the message waits on the
        // full standard error: the run holds between the first image and the
        // cut one until the messages are read.
        writeFile(dir / "list.csv", std::string("a.gif,") + kText + "\n\n" + c.name + "," + kText +
                                        "\nc.jpg," + kText + "\n");
        std::vector<std::string> args;
        if (replace) args.push_back("-o");
        args.push_back("list.csv");
        Limits lim;
        lim.stallMessages = true;
        Child child = startTool(args, dir.path(), lim);
        EXPECT_TRUE(waitForContent(dir / (replace ? "a.gif" : "a-out.gif"), aOut)) << c.why;
        ASSERT_EQ(truncate((dir / c.name).c_str(), static_cast<off_t>(c.keep)), 0);
        RunResult r = finishTool(child);
        EXPECT_EQ(r.status, 0) << c.why;
        EXPECT_EQ(r.err, "Error: 2: input error\n" + c.error) << c.why;
        EXPECT_EQ(readFile(dir / c.name), c.image.substr(0, c.keep)) << c.why;
        EXPECT_EQ(readFile(dir / (replace ? "c.jpg" : "c-out.jpg")), cOut) << c.why;
    }
}

TEST(CrashSafety, FilesTheToolMayNotReadOrWriteAreReportedAndTheBatchGoesOn) {
    // Root may read and write anything; as root the tool runs as "nobody",
    // from a copy that user can reach.
    bool root = geteuid() == 0;
    ReachableCopy tool(EMOJITAG_BIN);
    Limits lim;
    lim.asNobody = root;
    if (root) lim.program = tool.path();
    const std::string gif = testData("tiny.gif");
    const std::string jpg = testData("tiny.jpg");
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    writeFile(dir / "locked.gif", gif);
    ASSERT_EQ(chmod((dir / "locked.gif").c_str(), 0), 0);
    ASSERT_EQ(mkdir((dir / "closed").c_str(), 0), 0);
    ASSERT_EQ(mkdir((dir / "readonly").c_str(), 0755), 0);
    writeFile(dir / "readonly/pic.jpg", jpg);
    ASSERT_EQ(chmod((dir / "readonly").c_str(), 0555), 0);
    writeFile(dir / "ok.jpg", jpg);
    ASSERT_EQ(chmod((dir / "ok.jpg").c_str(), 0666), 0);
    writeFile(dir / "list.csv", std::string("locked.gif,") + kText + "\nclosed/x.gif," + kText +
                                    "\nreadonly/pic.jpg," + kText + "\nok.jpg," + kText + "\n");
    ASSERT_EQ(chmod((dir / "list.csv").c_str(), 0644), 0);
    if (root) {
        Limits probe = lim;
        probe.program = "/bin/sh";
        RunResult p = runLimited({"-c", "test -r list.csv && test -x \"$0\"", lim.program},
                                 dir.path(), probe);
        if (lim.program.empty() || p.status != 0)
            GTEST_SKIP() << "user nobody cannot run a copy of the tool in " << dir.path()
                         << " (status " << p.status << ")";
    }
    RunResult r = runLimited({"-o", "list.csv"}, dir.path(), lim);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "Error: 1:locked.gif: not found\n"
              "Error: 2:closed/x.gif: not found\n"
              "Error: 3:readonly/pic-out.jpg: file open error\n");
    ASSERT_EQ(chmod((dir / "locked.gif").c_str(), 0644), 0);
    EXPECT_EQ(readFile(dir / "locked.gif"), gif);
    EXPECT_EQ(readFile(dir / "readonly/pic.jpg"), jpg);
    EXPECT_FALSE(fileExists(dir / "locked-out.gif"));
    EXPECT_EQ(readFile(dir / "ok.jpg"), expectedOutput("ok.jpg", jpg));
    ASSERT_EQ(chmod((dir / "closed").c_str(), 0755), 0);  // so that it can be removed
}

}  // namespace
