// The tool's memory is its static buffers: whatever the input, its peak
// resident size stays under 8 MB. (Sanitizer builds carry shadow memory and
// are left out.)
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_support.h"

using namespace testsupport;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

constexpr long kLimitKb = 8 * 1024;

// Peak resident size in KiB of one run of the tool in `cwd`.
long peakKb(const std::vector<std::string> &args, const std::string &cwd) {
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0 || !freopen("/dev/null", "w", stderr)) _exit(127);
        std::vector<char *> argv{const_cast<char *>(EMOJITAG_BIN)};
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int ws = 0;
    rusage ru{};
    wait4(pid, &ws, 0, &ru);
    EXPECT_TRUE(WIFEXITED(ws) && WEXITSTATUS(ws) == 0);
    return ru.ru_maxrss;
}

struct MemCase {
    const char *why;
    std::string setup;  // shell commands that make the files
    std::string list;   // bytes of list.csv
};

TEST(MemoryBound, PeakResidentSizeStaysUnder8MB) {
    if (kSanitized) GTEST_SKIP() << "sanitizer shadow memory is not the tool's";
    // 32767 bytes of double-byte CP932 text in tags: the longest text a line
    // can carry, three UTF-8 bytes for every two bytes read.
    std::string wide = "<emoji><a>";
    while (wide.size() < 32700)
        wide += "\x82\xA0";
    wide += "</a></emoji>";
    // Noise pictures larger than the limit (a JPEG of about 14 MB, a GIF of
    // about 9 MB): the input is read a step at a time, never held whole.
    const std::string noise =
        "head -c 21600000 /dev/urandom > n.raw && "
        "(printf 'P6 3000 2400 255\\n'; cat n.raw) > n.ppm && "
        "cjpeg -quality 98 n.ppm > big.jpg && djpeg -gif big.jpg > big.gif";
    const MemCase cases[] = {
        {"large JPEG", noise, "big.jpg,<emoji><a>1</a></emoji>\n"},
        {"large GIF", noise, "big.gif,<emoji><a>1</a></emoji>\n"},
        {"longest text into a JPEG", noise, "big.jpg," + wide + "\n"},
        {"longest text into a GIF", noise, "big.gif," + wide + "\n"},
        {"a line of 100000 bytes in pieces", "true", "x.gif," + std::string(100000, 'a') + "\n"},
        {"20000 lines naming missing images", "true",
         [] {
             std::string l;
             for (int i = 0; i < 20000; i++)
                 l += "missing" + std::to_string(i) + ".jpg,<a/>\n";
             return l;
         }()},
    };
    for (const MemCase &c : cases) {
        TempDir dir;
        ASSERT_EQ(runShell(c.setup, dir.path()).status, 0) << c.why;
        writeFile(dir / "list.csv", c.list);
        long kb = peakKb({"-o", "list.csv"}, dir.path());
        EXPECT_GT(kb, 0) << c.why;
        EXPECT_LT(kb, kLimitKb) << c.why;
    }
}

}  // namespace
