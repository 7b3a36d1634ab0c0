#include "test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace testsupport {

static std::string temporaryArea() {
    const char *base = std::getenv("TMPDIR");
    return base && *base ? base : "/tmp";
}

TempDir::TempDir() : TempDir(temporaryArea()) {}

TempDir::TempDir(const std::string &base) {
    std::string templ = base + "/emojitag-test-XXXXXX";
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = name.data();
}

TempDir::~TempDir() {
    // Restore permissions first so that directories a test made unreadable go too.
    std::string cmd = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
    if (std::system(cmd.c_str()) != 0) {
        // Nothing more can be done in a destructor.
    }
}

ReachableCopy::ReachableCopy(const std::string &program) {
    char dir[] = "/tmp/emojitag-tool-XXXXXX";
    if (mkdtemp(dir) == nullptr || chmod(dir, 0755) != 0) return;
    dir_ = dir;
    path_ = dir_ + "/" + program.substr(program.rfind('/') + 1);
    writeFile(path_, readFile(program));
    if (chmod(path_.c_str(), 0755) != 0) path_.clear();
}

ReachableCopy::~ReachableCopy() {
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (!dir_.empty() && std::system(cmd.c_str()) != 0) {
        // Nothing more can be done in a destructor.
    }
}

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list)
        s += static_cast<char>(b);
    return s;
}

std::string readFile(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> listDir(const std::string &path) {
    std::vector<std::string> names;
    DIR *d = opendir(path.c_str());
    if (d == nullptr) return names;
    while (struct dirent *e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        size_t end = nl == std::string::npos ? text.size() : nl + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

static RunResult runArgv(const std::vector<std::string> &argv, const std::string &cwd) {
    TempDir capture;
    std::string outPath = capture / "out";
    std::string errPath = capture / "err";
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int n = open("/dev/null", O_RDONLY);
        if (o < 0 || e < 0 || n < 0 || chdir(cwd.c_str()) != 0) _exit(127);
        dup2(n, 0);
        dup2(o, 1);
        dup2(e, 2);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    RunResult r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}

RunResult runTool(const std::vector<std::string> &args, const std::string &cwd) {
    std::vector<std::string> argv{EMOJITAG_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return runArgv(argv, cwd);
}

RunResult runExtract(const std::vector<std::string> &args, const std::string &cwd) {
    std::vector<std::string> argv{EXTRACT_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return runArgv(argv, cwd);
}

RunResult runList(const std::vector<std::string> &args, const std::string &cwd) {
    std::vector<std::string> argv{LIST_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return runArgv(argv, cwd);
}

// User and group "nobody".
constexpr uid_t kNobody = 65534;

Child startTool(const std::vector<std::string> &args, const std::string &cwd, const Limits &lim) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    size_t filler = 0;
    if (lim.stallMessages) {
        static const char block[4096] = {};
        fcntl(fds[1], F_SETFL, O_NONBLOCK);
        ssize_t n;
        while ((n = write(fds[1], block, sizeof block)) > 0)
            filler += static_cast<size_t>(n);
        fcntl(fds[1], F_SETFL, 0);
    }
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        close(fds[0]);
        int devNull = open("/dev/null", O_RDWR);
        if (devNull < 0 || chdir(cwd.c_str()) != 0) _exit(127);
        dup2(devNull, 0);
        dup2(devNull, 1);
        dup2(fds[1], 2);
        if (lim.fileSize >= 0) {
            // Past the limit write() fails with EFBIG instead of killing.
            signal(SIGXFSZ, SIG_IGN);
            rlimit rl{static_cast<rlim_t>(lim.fileSize), static_cast<rlim_t>(lim.fileSize)};
            if (setrlimit(RLIMIT_FSIZE, &rl) != 0) _exit(127);
        }
        if (lim.asNobody && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(127);
        std::vector<char *> argv{const_cast<char *>(lim.program.c_str())};
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    return {pid, fds[0], filler};
}

RunResult finishTool(const Child &c) {
    RunResult r{};
    char buf[4096];
    ssize_t n;
    while ((n = read(c.errFd, buf, sizeof buf)) > 0)
        r.err.append(buf, static_cast<size_t>(n));
    close(c.errFd);
    r.err.erase(0, std::min(c.filler, r.err.size()));
    int ws = 0;
    waitpid(c.pid, &ws, 0);
    r.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
    return r;
}

RunResult runLimited(const std::vector<std::string> &args, const std::string &cwd,
                     const Limits &lim) {
    return finishTool(startTool(args, cwd, lim));
}

RunResult runToolWithFileLimit(const std::vector<std::string> &args, const std::string &cwd,
                               long long bytes) {
    Limits lim;
    lim.fileSize = bytes;
    return runLimited(args, cwd, lim);
}

RunResult runShell(const std::string &command, const std::string &cwd) {
    return runArgv({"/bin/sh", "-c", command}, cwd);
}

bool haveProgram(const std::string &program) {
    return runShell("command -v '" + program + "' >/dev/null 2>&1").status == 0;
}

// fopencookie callbacks for MemSink.
static ssize_t sinkWrite(void *cookie, const char *data, size_t size) {
    auto *sink = static_cast<MemSink *>(cookie);
    size_t room = sink->limit - sink->accepted;
    size_t n = std::min(size, room);
    if (sink->pos + n > sink->bytes.size()) sink->bytes.resize(sink->pos + n);
    std::memcpy(&sink->bytes[sink->pos], data, n);
    sink->pos += n;
    sink->accepted += n;
    // A cookie write reports an error by returning fewer bytes, never -1:
    // glibc mistakes -1 for a huge count and then has fwrite report success.
    return static_cast<ssize_t>(n);
}

static int sinkSeek(void *cookie, off64_t *offset, int whence) {
    auto *sink = static_cast<MemSink *>(cookie);
    off64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? static_cast<off64_t>(sink->pos)
                                        : static_cast<off64_t>(sink->bytes.size());
    off64_t target = base + *offset;
    if (target < 0) return -1;
    sink->pos = static_cast<size_t>(target);
    *offset = target;
    return 0;
}

FILE *openMemSink(MemSink &sink) {
    cookie_io_functions_t io{};
    io.write = sinkWrite;
    io.seek = sinkSeek;
    FILE *f = fopencookie(&sink, "w", io);
    if (f != nullptr) setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

struct MemSource {
    std::string bytes;
    size_t pos = 0;
};

static ssize_t sourceRead(void *cookie, char *data, size_t size) {
    auto *src = static_cast<MemSource *>(cookie);
    size_t n = std::min(size, src->bytes.size() - src->pos);
    std::memcpy(data, src->bytes.data() + src->pos, n);
    src->pos += n;
    return static_cast<ssize_t>(n);
}

static int sourceClose(void *cookie) {
    delete static_cast<MemSource *>(cookie);
    return 0;
}

FILE *openMemSource(const std::string &bytes) {
    cookie_io_functions_t io{};
    io.read = sourceRead;
    io.close = sourceClose;
    return fopencookie(new MemSource{bytes, 0}, "r", io);
}

std::string testData(const std::string &name) {
    return readFile(std::string(TEST_DATA_DIR) + "/" + name);
}

int openatCallWith(const std::string &dir, const std::string &command,
                   std::initializer_list<const char *> marks, std::string *shown) {
    RunResult traced = runShell(kStrace + "-o trace.txt -e trace=openat " + command, dir);
    EXPECT_EQ(traced.status, 0) << traced.err;
    int call = 0;
    for (const std::string &line : splitLines(readFile(dir + "/trace.txt"))) {
        if (line.compare(0, 7, "openat(") != 0) continue;
        call++;
        bool all = true;
        for (const char *mark : marks)
            all = all && line.find(mark) != std::string::npos;
        if (!all) continue;
        if (shown != nullptr) *shown = line;
        return call;
    }
    return 0;
}

// The one child of process `pid`, or 0 while it has none.
static int childOf(int pid) {
    std::string p = std::to_string(pid);
    std::string children = readFile("/proc/" + p + "/task/" + p + "/children");
    return children.empty() ? 0 : std::atoi(children.c_str());
}

RunResult runStoppedAfterCall(const std::string &dir, const std::string &program,
                              const std::vector<std::string> &args, int call,
                              const std::function<void()> &whileStopped) {
    Limits lim;
    lim.program = "/usr/bin/env";
    std::string log = dir + "/strace.log";
    std::vector<std::string> traced = {"ASAN_OPTIONS=detect_leaks=0",
                                       "strace",
                                       "-o",
                                       log,
                                       "-e",
                                       "trace=openat",
                                       "-e",
                                       "inject=openat:signal=SIGSTOP:when=" + std::to_string(call),
                                       program};
    traced.insert(traced.end(), args.begin(), args.end());
    Child child = startTool(traced, dir, lim);
    auto logged = [&](const char *line) { return readFile(log).find(line) != std::string::npos; };
    bool held = false;
    for (int i = 0; i < 6000 && !(held = logged("--- stopped by SIGSTOP ---")); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(held) << "the program was never held";
    if (held) whileStopped();
    // A SIGCONT that comes while the tracer still holds the stop signal is
    // lost: sent again until the program has it.
    int tracee = childOf(child.pid);
    for (int i = 0; tracee != 0 && i < 6000 && !logged("--- SIGCONT") && !logged("+++ "); i++) {
        kill(tracee, SIGCONT);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (tracee != 0 && !logged("--- SIGCONT") && !logged("+++ ")) kill(tracee, SIGKILL);
    std::remove(log.c_str());
    return finishTool(child);
}

}  // namespace testsupport
