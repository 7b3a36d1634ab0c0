// test_support.h - helpers shared by the tests: temporary directories, whole
// file access, running the built tool, and in-memory stdio streams.
#ifndef EMOJITAG_TEST_SUPPORT_H
#define EMOJITAG_TEST_SUPPORT_H

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace testsupport {

// A fresh directory under the system's temporary area, removed with its
// contents when the object goes.
class TempDir {
   public:
    TempDir();
    // Under `base` instead of the temporary area.
    explicit TempDir(const std::string &base);
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

   private:
    std::string path_;
};

// A byte string from a list of byte values.
std::string bytes(std::initializer_list<int> list);

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);
bool fileExists(const std::string &path);
// Names in a directory (no "." or ".."), sorted.
std::vector<std::string> listDir(const std::string &path);
// Splits after every '\n' (the pieces keep their '\n'); a tail without one is
// the last piece.
std::vector<std::string> splitLines(const std::string &text);

struct RunResult {
    int status;       // exit status 0-255, or -1 when killed by a signal
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs the built tool with `args` (argv[1] on) in directory `cwd`.
RunResult runTool(const std::vector<std::string> &args, const std::string &cwd);
// Runs the built emojitag-extract the same way.
RunResult runExtract(const std::vector<std::string> &args, const std::string &cwd);
// Runs the built emojitag-list the same way.
RunResult runList(const std::vector<std::string> &args, const std::string &cwd);
// How startTool runs a program: limits and the user it runs as.
struct Limits {
    long long fileSize = -1;             // RLIMIT_FSIZE in bytes, -1 for none
    bool asNobody = false;               // drop root's rights before exec
    std::string program = EMOJITAG_BIN;  // what runs
    // Standard error starts full: the program's first message waits until
    // finishTool reads, which holds it at a known point without any timing.
    bool stallMessages = false;
};

struct Child {
    int pid;
    int errFd;      // the child's standard error
    size_t filler;  // bytes put in front of its messages (stallMessages)
};

// Starts a program (the built tool unless `lim` names another) in `cwd` with
// standard error on a pipe, so that a file size limit cannot cut the messages
// short; standard input and output are /dev/null. finishTool reads its
// messages and waits for it.
Child startTool(const std::vector<std::string> &args, const std::string &cwd, const Limits &lim);
RunResult finishTool(const Child &c);
RunResult runLimited(const std::vector<std::string> &args, const std::string &cwd,
                     const Limits &lim);
// Runs the built tool with a file size limit of `bytes`: writes past it fail
// (EFBIG), as on a full disk.
RunResult runToolWithFileLimit(const std::vector<std::string> &args, const std::string &cwd,
                               long long bytes);
// A copy of a built program that every user may run: the build tree may lie
// under a directory only its owner may enter (a home directory of mode 0700,
// anything under `mktemp -d`). It sits in a fresh directory of mode 0755.
class ReachableCopy {
   public:
    explicit ReachableCopy(const std::string &program);
    ~ReachableCopy();
    ReachableCopy(const ReachableCopy &) = delete;
    ReachableCopy &operator=(const ReachableCopy &) = delete;
    // Empty when no copy could be made.
    const std::string &path() const { return path_; }

   private:
    std::string dir_, path_;
};

// Runs any command through /bin/sh in `cwd`; returns the exit status and output.
RunResult runShell(const std::string &command, const std::string &cwd = ".");
// True when `program` is on the PATH.
bool haveProgram(const std::string &program);

// strace before a program: the sanitizers' leak check cannot run under a
// tracer, and would fail the traced run of a sanitizer build.
inline const std::string kStrace =
    "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace ";
// Which openat call of `command` (run in `dir`), counted by strace, is the
// first that strace shows with every one of `marks`, and that call as shown
// in *shown; 0 when none is.
int openatCallWith(const std::string &dir, const std::string &command,
                   std::initializer_list<const char *> marks, std::string *shown = nullptr);
// Runs `program` with `args` in `dir` under strace, stopped (SIGSTOP) as its
// openat call number `call` returns; runs `whileStopped` then and lets it go
// on. The tracer's own log says when the stop has taken hold ("stopped by
// SIGSTOP") and when the program got the SIGCONT, so neither a slow machine
// nor a syscall stop of the tracer is mistaken for the hold.
RunResult runStoppedAfterCall(const std::string &dir, const std::string &program,
                              const std::vector<std::string> &args, int call,
                              const std::function<void()> &whileStopped);

// An in-memory output stream with an optional write limit: once `limit`
// bytes have been accepted every further write fails. Unbuffered, so a short
// write shows at the call that made it. Supports seeking (the JPEG rewriter
// steps back). The stream writes into `bytes`.
struct MemSink {
    std::string bytes;
    size_t pos = 0;
    size_t limit = static_cast<size_t>(-1);
    size_t accepted = 0;
};
FILE *openMemSink(MemSink &sink);
// An input stream reading the given bytes (a copy is kept by the stream).
FILE *openMemSource(const std::string &bytes);

// Reads a file of this repository's test data (tests/data/NAME).
std::string testData(const std::string &name);

}  // namespace testsupport

#endif
