// What the user had is never lost or exposed: whatever stands at the output's
// name, the attributes of new files, data after the end of the image, and
// list names in CP932 for files named in UTF-8.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>

#include "test_support.h"

using namespace testsupport;

namespace {

const std::string kText = "<emoji><a>1</a></emoji>";

std::vector<std::string> withOpt(const char *opt, const std::string &list) {
    if (*opt) return {opt, list};
    return {list};
}

// What a plain run writes for `image` saved as `name` (NAME-out.EXT).
std::string plainOutput(const std::string &name, const std::string &image) {
    TempDir dir;
    writeFile(dir / name, image);
    writeFile(dir / "list.csv", name + "," + kText + "\n");
    EXPECT_EQ(runTool({"list.csv"}, dir.path()).err, "") << name;
    std::string out = name;
    out.insert(out.rfind('.'), "-out");
    return readFile(dir / out);
}

// Kind, target or content and mode of every entry but `skip`: what a run must
// leave as it was.
std::map<std::string, std::string> snapshot(const std::string &dir,
                                            const std::vector<std::string> &skip) {
    std::map<std::string, std::string> state;
    for (const std::string &name : listDir(dir)) {
        if (std::find(skip.begin(), skip.end(), name) != skip.end()) continue;
        std::string path = dir + "/" + name;
        struct stat st;
        EXPECT_EQ(lstat(path.c_str(), &st), 0) << name;
        std::string d = std::to_string(st.st_mode);
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            ssize_t n = readlink(path.c_str(), target, sizeof target);
            d += " -> " + std::string(target, n > 0 ? static_cast<size_t>(n) : 0);
        } else if (S_ISREG(st.st_mode)) {
            d += " " + readFile(path);
        }
        state[name] = d;
    }
    return state;
}

TEST(OutputSafety, TheUsersOwnOutPictureSurvivesReplacement) {
    TempDir dir;
    writeFile(dir / "pic.gif", testData("tiny.gif"));
    writeFile(dir / "pic-out.gif", "the user's own picture");
    writeFile(dir / "list.csv", "pic.gif," + kText + "\n");
    RunResult r = runTool({"-o", "list.csv"}, dir.path());
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(dir / "pic.gif"), plainOutput("pic.gif", testData("tiny.gif")));
    EXPECT_EQ(readFile(dir / "pic-out.gif"), "the user's own picture");
    EXPECT_EQ(listDir(dir.path()),
              (std::vector<std::string>{"list.csv", "pic-out.gif", "pic.gif"}));
}

// Something other than a regular file at NAME-out.EXT: refused at once without
// "-o" (nothing written anywhere, no waiting on a FIFO), not even looked at
// with "-o"; either way it stays as it was and the batch goes on.
TEST(OutputSafety, ALinkOrFifoAtTheOutputNameIsNeverWrittenThrough) {
    const struct {
        const char *why;
        const char *setup;
    } cases[] = {
        {"link to a private file",
         "echo secret > victim.txt && chmod 600 victim.txt && "
         "ln -s victim.txt pic-out.gif"},
        {"link to the list being read", "ln -s list.csv pic-out.gif"},
        {"hard link to the list being read", "ln list.csv pic-out.gif"},
        {"dangling link", "ln -s nowhere.gif pic-out.gif"},
        {"FIFO", "mkfifo pic-out.gif"},
    };
    const std::string gif = testData("tiny.gif");
    const std::string jpg = testData("tiny.jpg");
    for (const auto &c : cases) {
        for (const char *opt : {"", "-o"}) {
            bool replace = *opt != '\0';
            TempDir dir;
            writeFile(dir / "pic.gif", gif);
            writeFile(dir / "next.jpg", jpg);
            writeFile(dir / "list.csv", "pic.gif," + kText + "\nnext.jpg," + kText + "\n");
            ASSERT_EQ(runShell(c.setup, dir.path()).status, 0) << c.why;
            auto before = snapshot(dir.path(), {"pic.gif", "next.jpg"});
            RunResult r = runShell(
                "timeout 20 '" + std::string(EMOJITAG_BIN) + "' " + opt + " list.csv", dir.path());
            std::string why = std::string(c.why) + " " + opt;
            EXPECT_EQ(r.status, 0) << why;
            EXPECT_EQ(r.err, replace ? "" : "Error: 1:pic-out.gif: file open error\n") << why;
            EXPECT_EQ(readFile(dir / "pic.gif"), replace ? plainOutput("pic.gif", gif) : gif)
                << why;
            EXPECT_EQ(readFile(dir / (replace ? "next.jpg" : "next-out.jpg")),
                      plainOutput("next.jpg", jpg))
                << why;
            EXPECT_EQ(snapshot(dir.path(), {"pic.gif", "next.jpg", "next-out.jpg"}), before) << why;
        }
    }
}

// A FIFO named as the input is read without waiting for a writer: it reads
// as a broken image, and the batch goes on.
TEST(OutputSafety, AFifoNamedAsAnInputIsReportedWithoutWaiting) {
    for (const char *opt : {"", "-o"}) {
        TempDir dir;
        ASSERT_EQ(runShell("mkfifo pic.gif", dir.path()).status, 0);
        writeFile(dir / "next.jpg", testData("tiny.jpg"));
        writeFile(dir / "list.csv", "pic.gif," + kText + "\nnext.jpg," + kText + "\n");
        RunResult r = runShell(
            "timeout 20 '" + std::string(EMOJITAG_BIN) + "' " + opt + " list.csv", dir.path());
        EXPECT_EQ(r.status, 0) << opt;
        EXPECT_EQ(r.err, "Error: 1:pic.gif: bad GIF file\n") << opt;
        EXPECT_EQ(readFile(dir / (*opt ? "next.jpg" : "next-out.jpg")),
                  plainOutput("next.jpg", testData("tiny.jpg")))
            << opt;
    }
    TempDir dir;
    ASSERT_EQ(runShell("mkfifo pic.gif", dir.path()).status, 0);
    RunResult r = runShell("timeout 20 '" + std::string(EXTRACT_BIN) + "' pic.gif", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "emojitag-extract: pic.gif: malformed GIF\n");
}

mode_t modeOf(const std::string &path) {
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// A new NAME-out.EXT gets the input's permission bits, never more, within
// the umask; an existing one more open than the input is narrowed.
TEST(OutputSafety, NewOutputsAreNoMoreOpenThanTheirInput) {
    const struct {
        mode_t input;
        const char *umask;
        mode_t existing;  // mode of an output already there, or 0
        mode_t output;
    } cases[] = {
        {0600, "022", 0, 0600},    {0640, "022", 0, 0640},    {0640, "077", 0, 0600},
        {0666, "022", 0, 0644},    {0644, "002", 0, 0644},    {0600, "022", 0666, 0600},
        {0640, "022", 0604, 0600}, {0644, "022", 0600, 0600},
    };
    for (const auto &c : cases) {
        TempDir dir;
        writeFile(dir / "pic.jpg", testData("tiny.jpg"));
        ASSERT_EQ(chmod((dir / "pic.jpg").c_str(), c.input), 0);
        if (c.existing != 0) {
            writeFile(dir / "pic-out.jpg", "old copy");
            ASSERT_EQ(chmod((dir / "pic-out.jpg").c_str(), c.existing), 0);
        }
        writeFile(dir / "list.csv", "pic.jpg," + kText + "\n");
        RunResult r =
            runShell(std::string("umask ") + c.umask + " && exec '" + EMOJITAG_BIN + "' list.csv",
                     dir.path());
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(modeOf(dir / "pic-out.jpg"), c.output)
            << std::oct << c.input << " umask " << c.umask;
    }
}

// With "-o" the new file keeps the input's owner and group too (and set-ID
// bits, which a change of owner clears). Only root may give a file away.
TEST(OutputSafety, ReplacementKeepsOwnerGroupAndMode) {
    if (geteuid() != 0) GTEST_SKIP() << "changing a file's owner needs root";
    constexpr uid_t kNobody = 65534;
    constexpr gid_t kNogroup = 65534;
    for (mode_t mode : {0640, 02755, 06755, 0600}) {
        TempDir dir;
        writeFile(dir / "pic.gif", testData("tiny.gif"));
        ASSERT_EQ(chown((dir / "pic.gif").c_str(), kNobody, kNogroup), 0);
        ASSERT_EQ(chmod((dir / "pic.gif").c_str(), mode), 0);
        writeFile(dir / "list.csv", "pic.gif," + kText + "\n");
        EXPECT_EQ(runTool({"-o", "list.csv"}, dir.path()).err, "");
        struct stat st;
        ASSERT_EQ(stat((dir / "pic.gif").c_str(), &st), 0);
        EXPECT_EQ(readFile(dir / "pic.gif"), plainOutput("pic.gif", testData("tiny.gif")));
        EXPECT_EQ(st.st_uid, kNobody) << std::oct << mode;
        EXPECT_EQ(st.st_gid, kNogroup) << std::oct << mode;
        EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
    }
}

// Data after the GIF trailer or after JPEG EOI (a motion photo's video) is
// copied as it is, larger than every buffer of the tool, and a second run
// over the output gives the same bytes.
TEST(OutputSafety, TrailingDataIsKeptAndARerunChangesNothing) {
    std::mt19937 rng(13);
    std::string tail = "\xFF\xD9\x3B";
    while (tail.size() < 300000)
        tail += static_cast<char>(rng() & 0xFF);
    for (const char *name : {"pic.gif", "pic.jpg"}) {
        std::string image = testData(std::string("tiny") + (name + 3));
        std::string expected = plainOutput(name, image) + tail;
        for (const char *opt : {"", "-o"}) {
            TempDir dir;
            writeFile(dir / name, image + tail);
            writeFile(dir / "list.csv", std::string(name) + "," + kText + "\n");
            std::string out = *opt ? name : std::string(name).insert(3, "-out");
            EXPECT_EQ(runTool(withOpt(opt, "list.csv"), dir.path()).err, "") << name << opt;
            EXPECT_TRUE(readFile(dir / out) == expected) << name << opt;
            writeFile(dir / "again.csv", out + "," + kText + "\n");
            EXPECT_EQ(runTool({"-o", "again.csv"}, dir.path()).err, "") << name << opt;
            EXPECT_TRUE(readFile(dir / out) == expected) << name << opt << ": not idempotent";
        }
    }
}

// CP932 list names for files named in UTF-8: "画像/猫.gif" in both spellings.
const std::string kCp932Name = "\x89\xE6\x91\x9C/\x94\x4C.gif";
const std::string kUtf8Name = "\xE7\x94\xBB\xE5\x83\x8F/\xE7\x8C\xAB.gif";

TEST(OutputSafety, ACp932ListNameFindsTheFileNamedInUtf8) {
    const std::string gif = testData("tiny.gif");
    const std::string out = plainOutput("x.gif", gif);
    const std::string utf8Out = "\xE7\x94\xBB\xE5\x83\x8F/\xE7\x8C\xAB-out.gif";
    const std::string cp932Out = "\x89\xE6\x91\x9C/\x94\x4C-out.gif";
    const struct {
        const char *why;
        std::string listName;
        bool cp932Exists;  // the name as written names a file too
        std::string err;
        std::string written;  // the file that receives the new image
    } cases[] = {
        {"only the UTF-8 file", kCp932Name, false, "", utf8Out},
        {"both spellings: the name as written wins", kCp932Name, true, "", cp932Out},
        {"a name that converts only with a substitution", "\x85\x40.gif", false,
         "Error: 1:\x85\x40.gif: not found\n", ""},
    };
    for (const auto &c : cases) {
        for (const char *opt : {"", "-o"}) {
            std::string why = std::string(c.why) + " " + opt;
            TempDir dir;
            ASSERT_EQ(mkdir((dir / "\xE7\x94\xBB\xE5\x83\x8F").c_str(), 0755), 0);
            writeFile(dir / kUtf8Name, gif);
            writeFile(dir / "?.gif", gif);  // what a substitution would name
            if (c.cp932Exists) {
                ASSERT_EQ(mkdir((dir / "\x89\xE6\x91\x9C").c_str(), 0755), 0);
                writeFile(dir / kCp932Name, gif);
            }
            writeFile(dir / "list.csv", c.listName + "," + kText + "\n");
            RunResult r = runTool(withOpt(opt, "list.csv"), dir.path());
            EXPECT_EQ(r.err, c.err) << why;
            if (c.written.empty()) {
                EXPECT_EQ(readFile(dir / "?.gif"), gif) << why;
                continue;
            }
            bool toUtf8 = c.written == utf8Out;
            std::string input = toUtf8 ? kUtf8Name : kCp932Name;
            std::string other = toUtf8 ? kCp932Name : kUtf8Name;
            EXPECT_EQ(readFile(dir / (*opt ? input : c.written)), out) << why;
            if (c.cp932Exists) {
                EXPECT_EQ(readFile(dir / other), gif) << why;
            }
        }
    }
}

// Messages name the image and its output as written in the list, also when
// the file found is the UTF-8 one.
TEST(OutputSafety, MessagesKeepTheListsSpelling) {
    for (const char *opt : {"", "-o"}) {
        TempDir dir;
        ASSERT_EQ(mkdir((dir / "\xE7\x94\xBB\xE5\x83\x8F").c_str(), 0755), 0);
        writeFile(dir / kUtf8Name, testData("tiny.gif"));
        writeFile(dir / "list.csv", kCp932Name + "," + kText + "\n");
        RunResult r = runToolWithFileLimit(withOpt(opt, "list.csv"), dir.path(), 0);
        EXPECT_EQ(r.err, "Error: 1:\x89\xE6\x91\x9C/\x94\x4C-out.gif: write error\n") << opt;
        EXPECT_EQ(readFile(dir / kUtf8Name), testData("tiny.gif")) << opt;
    }
}

}  // namespace
