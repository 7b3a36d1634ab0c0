// posix_file.cpp - the file operations of platform_file.h on POSIX. Inputs
// and outputs are opened with O_NONBLOCK so that a FIFO or device never
// blocks, outputs with O_NOFOLLOW so that a link is never followed, and new
// files are created with O_EXCL under a random name. Once a file is open,
// every attribute is read and set through its descriptor: a name that
// someone swaps for a link in the meantime leads nowhere.
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "platform_file.h"

namespace {

void fillInfo(const struct stat &st, FileInfo *info) {
    info->id = FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    info->kind = S_ISREG(st.st_mode) ? ENTRY_FILE : S_ISDIR(st.st_mode) ? ENTRY_DIR : ENTRY_OTHER;
    info->links = st.st_nlink;
    info->mode = st.st_mode & 07777;
    info->owner = st.st_uid;
    info->group = st.st_gid;
    info->size = S_ISREG(st.st_mode) ? static_cast<unsigned long long>(st.st_size) : 0;
}

// The user the program runs as, asked once (without a guarded static, which
// would cost the program the C++ runtime library).
uid_t runner() {
    static bool known;
    static uid_t uid;
    if (!known) {
        uid = geteuid();
        known = true;
    }
    return uid;
}

bool isAvoided(const FileIdentity &id, const FileIdentity *avoid, int avoidCount) {
    for (int i = 0; i < avoidCount; i++)
        if (sameIdentity(id, avoid[i])) return true;
    return false;
}

// Random characters for temporary names, from a generator seeded once per
// process by the system's random source (the clock, the process ID and the
// generator's address when that cannot be read). A name taken by another
// process only costs another try.
void randomChars(char *out, size_t n) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static uint64_t state;
    if (state == 0) {
        if (getrandom(&state, sizeof state, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof state))
            state = static_cast<uint64_t>(std::time(nullptr)) ^
                    static_cast<uint64_t>(getpid()) << 32 ^ reinterpret_cast<uintptr_t>(&state);
        state |= 1;
    }
    for (size_t i = 0; i < n; i++) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        out[i] = alphabet[(state >> 32) % (sizeof alphabet - 1)];
    }
}

// Tries this many random names before giving up on a directory.
constexpr int TEMP_ATTEMPTS = 100;
constexpr size_t TEMP_RANDOM = 6;
// The file's own part of a temporary name stays within the usual limit of
// 255 bytes per name: at most this much of the final name is used.
constexpr size_t TEMP_STEM_MAX = 200;

// "DIR/.NAME.XXXXXX" for path "DIR/NAME"; false when it does not fit `cap`.
bool tempNameFor(const char *path, char *tempName, size_t cap) {
    const char *slash = std::strrchr(path, '/');
    size_t dirLen = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    size_t stem = std::strlen(path + dirLen);
    if (stem > TEMP_STEM_MAX) stem = TEMP_STEM_MAX;
    if (dirLen + 1 + stem + 1 + TEMP_RANDOM + 1 > cap) return false;
    char *p = tempName;
    std::memcpy(p, path, dirLen);
    p += dirLen;
    *p++ = '.';
    std::memcpy(p, path + dirLen, stem);
    p += stem;
    *p++ = '.';
    std::memset(p, 'X', TEMP_RANDOM);  // replaced by random characters
    p[TEMP_RANDOM] = '\0';
    return true;
}

// The temporary files being written, which a signal that ends the process
// removes first. A handler may read lock-free atomics and sig_atomic_t
// flags, and unlink, sigaction and raise are safe to call from it.
constexpr int TEMP_SLOTS = 4;
std::atomic<const char *> tempFiles[TEMP_SLOTS];
static_assert(std::atomic<const char *>::is_always_lock_free, "a handler reads tempFiles");
// Set while a temporary file is created and not yet in tempFiles: a signal
// that comes then waits in `deferredSignal` until the file can be removed.
volatile sig_atomic_t creatingTemp;
volatile sig_atomic_t deferredSignal;

// Removes the temporary files, then lets the signal end the process as it
// would have without the handler.
void removeTempFilesAndEnd(int sig) {
    for (std::atomic<const char *> &slot : tempFiles) {
        const char *name = slot.load();
        if (name != nullptr) unlink(name);
    }
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    raise(sig);  // from the handler, it ends the process once the handler returns
}

// The handler returns only to defer a signal, and SA_RESTART then lets the
// interrupted call go on.
void onEndingSignal(int sig) {
    if (creatingTemp) {
        deferredSignal = sig;
        return;
    }
    removeTempFilesAndEnd(sig);
}

// A write past the limit on file sizes (ulimit -f) raises SIGXFSZ, which
// would end the process at once, leaving its temporary file and no word of
// what happened: ignored, the write fails instead, and the failure is
// reported as on a full disk. Set once.
void failWritesPastTheSizeLimit() {
    static bool set;
    if (set) return;
    set = true;
    signal(SIGXFSZ, SIG_IGN);
}

// Installed once, at the first new file; a signal the program was started
// with ignored (nohup) stays ignored. Besides the signals of a user or a
// service manager (SIGINT, SIGTERM, SIGHUP, SIGQUIT), SIGPIPE ends a run
// whose messages go to a reader that has gone (2>&1 | head).
void catchEndingSignals() {
    static bool installed;
    if (installed) return;
    installed = true;
    failWritesPastTheSizeLimit();
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onEndingSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
        struct sigaction old;
        if (sigaction(sig, &sa, &old) == 0 && old.sa_handler == SIG_IGN)
            sigaction(sig, &old, nullptr);
    }
}

bool rememberTemp(const char *name) {
    for (std::atomic<const char *> &slot : tempFiles) {
        const char *none = nullptr;
        if (slot.compare_exchange_strong(none, name)) return true;
    }
    return false;
}

// Creates a file of the program's own under a free temporary name for
// `path` and remembers it for removal: never an existing file, never through
// a link. Its descriptor, or -1. A signal that comes between the creation
// and the remembering is acted on once the file is remembered.
int createTemp(const char *path, char *tempName, int access, mode_t mode) {
    if (!tempNameFor(path, tempName, SAFE_NAME_SIZE)) return -1;
    char *random = tempName + std::strlen(tempName) - TEMP_RANDOM;
    int fd = -1;
    creatingTemp = 1;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    for (int i = 0; i < TEMP_ATTEMPTS && fd < 0; i++) {
        randomChars(random, TEMP_RANDOM);
        fd = open(tempName, access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd >= 0 && !rememberTemp(tempName)) {
        close(fd);
        unlink(tempName);
        fd = -1;
    }
    std::atomic_signal_fence(std::memory_order_seq_cst);
    creatingTemp = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (deferredSignal != 0) removeTempFilesAndEnd(deferredSignal);
    return fd;
}

void forgetTemp(const char *name) {
    for (std::atomic<const char *> &slot : tempFiles) {
        const char *mine = name;
        slot.compare_exchange_strong(mine, nullptr);
    }
}

// Streams over descriptors the tool has opened itself. fdopen asks the
// system for a descriptor's flags on every call, one system call per file
// the tool could do without (a batch opens two for every picture): the
// tool's streams sit on their descriptors directly, through fopencookie,
// with the usual buffering of the C library.
struct FdStream {
    int fd;
    FILE *stream;  // null while the entry is free
    // Of a regular file opened for reading, its size at the open, or -1:
    // once the stream stands there, the end of the file needs no read of
    // its own.
    off_t size;
    off_t at;  // where the stream stands in the file
};
constexpr int FD_STREAMS = 8;
FdStream fdStreams[FD_STREAMS];

ssize_t readFd(void *cookie, char *buf, size_t size) {
    auto *entry = static_cast<FdStream *>(cookie);
    if (entry->size >= 0 && entry->at >= entry->size) return 0;
    ssize_t n;
    do {
        n = read(entry->fd, buf, size);
    } while (n < 0 && errno == EINTR);
    if (n > 0) entry->at += n;
    return n;
}

// A failed write returns the bytes written before it: fewer than asked for
// is how the C library learns of an error from a stream of this kind.
ssize_t writeFd(void *cookie, const char *buf, size_t size) {
    auto *entry = static_cast<FdStream *>(cookie);
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(entry->fd, buf + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    entry->at += static_cast<off_t>(done);
    return static_cast<ssize_t>(done);
}

int seekFd(void *cookie, off64_t *offset, int whence) {
    auto *entry = static_cast<FdStream *>(cookie);
    off_t at = lseek(entry->fd, static_cast<off_t>(*offset), whence);
    if (at < 0) return -1;
    entry->at = at;
    *offset = at;
    return 0;
}

int closeFd(void *cookie) {
    auto *entry = static_cast<FdStream *>(cookie);
    entry->stream = nullptr;
    return close(entry->fd);
}

// A stream on `fd` (closed with it), standing at its start, or null with
// `fd` left open.
FILE *streamOnFd(int fd, const char *mode, off_t size = -1) {
    for (FdStream &entry : fdStreams) {
        if (entry.stream != nullptr) continue;
        entry.fd = fd;
        entry.size = size;
        entry.at = 0;
        entry.stream = fopencookie(&entry, mode, {readFd, writeFd, seekFd, closeFd});
        return entry.stream;
    }
    return nullptr;
}

// The descriptor under one of the tool's streams (or any other file stream).
int descriptorOf(FILE *f) {
    for (const FdStream &entry : fdStreams)
        if (entry.stream == f) return entry.fd;
    return fileno(f);
}

// What a new file takes over: the model's attributes and, for its extended
// attributes, the model's open descriptor (-1 when there is none to read).
struct Model {
    bool present;
    mode_t mode;
    uid_t owner;
    gid_t group;
    int fd;
};

// The model for a new file at `path` is the regular file that stands there.
// A symbolic link is replaced, never followed, so it gives nothing; a
// directory, FIFO, device or socket refuses the name (-1). Opened for its
// extended attributes only when it is still the file examined.
int modelAtName(const char *path, Model *m) {
    *m = Model{false, 0, 0, 0, -1};
    struct stat st;
    if (lstat(path, &st) != 0) return errno == ENOENT ? 0 : -1;
    if (S_ISLNK(st.st_mode)) return 0;
    if (!S_ISREG(st.st_mode)) return -1;
    *m = Model{true, st.st_mode & 07777, st.st_uid, st.st_gid, -1};
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat now;
    if (fd >= 0 && fstat(fd, &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino)
        m->fd = fd;
    else if (fd >= 0)
        close(fd);
    return 0;
}

// Extended attributes pass through these buffers: a name list and a value
// hold at most 64 KiB on Linux.
char xattrNames[65536];
char xattrValue[65536];

// Lists the model's extended attributes in xattrNames: the list's length,
// 0 when it has none (or its file system keeps none), -1 when they cannot be
// known (no descriptor, a failed call).
ssize_t listModelAttributes(const Model &m) {
    if (m.fd < 0) return -1;
    ssize_t len = flistxattr(m.fd, xattrNames, sizeof xattrNames);
    return len >= 0 ? len : errno == ENOTSUP ? 0 : -1;
}

// Copies every extended attribute of `from` listed in the first `len` bytes
// of xattrNames that the user may set onto `to`; the access ACL
// (system.posix_acl_access) is one of them. Those the system refuses are
// skipped.
void copyExtendedAttributes(int from, int to, ssize_t len) {
    for (const char *name = xattrNames; name < xattrNames + len; name += std::strlen(name) + 1) {
        ssize_t n = fgetxattr(from, name, xattrValue, sizeof xattrValue);
        if (n >= 0 && fsetxattr(to, name, xattrValue, static_cast<size_t>(n), 0) != 0) {
            // Not the user's to set (security.*, for one): the file goes without it.
        }
    }
}

// The mode a new file that takes the model's attributes is created with:
// private (0600), or the model's own permission bits when the model has no
// extended attributes (no ACL) and its bits give its group just what they
// give everyone else. Whoever may open the new file before its owner and
// group are set may then open the finished file too, and the mode needs no
// second call in the usual case.
mode_t creationMode(const Model &m, ssize_t xattrLen) {
    mode_t bits = m.mode & 0777;
    return xattrLen == 0 && ((bits >> 3) & 07) == (bits & 07) ? bits : 0600;
}

// Gives the new file `fd` the model's owner, group, extended attributes (the
// first `xattrLen` bytes of xattrNames) and permission bits, each only where
// the file does not have it yet. Only a privileged user may give a file
// away; without the owner the set-user-ID bit goes, and without the group
// the group bits and the set-group-ID bit, which would otherwise open the
// file to the user's own group. The mode comes after the ACL, whose mask it
// sets. Set-ID bits, which writing clears, are left in *lateMode for the
// commit.
int giveAttributes(int fd, const Model &m, ssize_t xattrLen, unsigned long *lateMode) {
    struct stat st;
    if (fstat(fd, &st) != 0) return -1;
    mode_t mode = m.mode;
    if ((st.st_uid != m.owner || st.st_gid != m.group) && fchown(fd, m.owner, m.group) != 0) {
        if (m.owner != st.st_uid) mode &= ~S_ISUID;
        if (m.group != st.st_gid && fchown(fd, static_cast<uid_t>(-1), m.group) != 0)
            mode &= ~(S_ISGID | 070);
    }
    if (xattrLen > 0) copyExtendedAttributes(m.fd, fd, xattrLen);
    if ((xattrLen > 0 || (st.st_mode & 0777) != (mode & 0777)) && fchmod(fd, mode & 0777) != 0)
        return -1;
    if ((mode & (S_ISUID | S_ISGID)) != 0) *lateMode = mode;
    return 0;
}

}  // namespace

int streamDescriptor(FILE *f) {
    return descriptorOf(f);
}

int streamFileInfo(FILE *f, FileInfo *info) {
    struct stat st;
    if (fstat(fileno(f), &st) != 0) return -1;
    fillInfo(st, info);
    return 0;
}

int pathFileInfo(const char *path, FileInfo *info) {
    struct stat st;
    if (stat(path, &st) != 0) return -1;
    fillInfo(st, info);
    return 0;
}

FILE *openInputFile(const char *path, FileInfo *info) {
    // O_NONBLOCK: a FIFO without a writer reads as ended, one whose writer
    // sends nothing as a failed read; a regular file reads as ever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    // A directory opens, but holds no bytes to read. A regular file ends
    // where its size says (one that claims none is read to its end).
    FILE *f = nullptr;
    if (fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode))
        f = streamOnFd(fd, "rb", S_ISREG(st.st_mode) && st.st_size > 0 ? st.st_size : -1);
    if (f == nullptr) {
        close(fd);
        return nullptr;
    }
    fillInfo(st, info);
    return f;
}

// The process's umask, asked once (setting it is the only way to read it).
static mode_t processUmask() {
    static bool known;
    static mode_t mask;
    if (!known) {
        mask = umask(022);
        umask(mask);
        known = true;
    }
    return mask;
}

// The mode a new output is created with: the input's permission bits, but
// giving its group no more than everyone else. The file gets the group of
// the runner or of a set-group-ID directory first, whose members could open
// it in the moment before its group is set and keep reading what is written
// later; the input's group gets its bits once the group is the input's.
static mode_t firstOutputMode(const FileInfo *like) {
    mode_t bits = static_cast<mode_t>(like->mode & 0777);
    return bits & ~(070 & ~((bits & 07) << 3));
}

// Whether the open output `fd` is the tool's to write, and if so makes it no
// more open than the input: a regular file with no other name (a hard link
// is another file too), not one of the files to avoid, and the runner's own
// or the input owner's (a third user's file is theirs, whatever its mode
// lets the runner do). Wider bits go before anything is written, and group
// bits go to the input's group only (a file of the runner's own is given it
// where the system allows). A file just created, empty and the runner's with
// the mode of its creation, gets the input's bits within the umask. A file
// the runner may not narrow is not written.
static bool claimOutput(int fd, const FileInfo *like, const FileIdentity *avoid, int avoidCount,
                        struct stat *st) {
    if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode) || st->st_nlink != 1) return false;
    if (st->st_uid != runner() && st->st_uid != like->owner) return false;
    FileIdentity id{static_cast<uint64_t>(st->st_dev), static_cast<uint64_t>(st->st_ino)};
    if (isAvoided(id, avoid, avoidCount)) return false;
    mode_t have = st->st_mode & 0777;
    mode_t first = firstOutputMode(like);
    bool created = st->st_size == 0 && st->st_uid == runner() && have == (first & ~processUmask());
    mode_t keep = (created ? static_cast<mode_t>(like->mode) & ~processUmask() : have) & 0777 &
                  static_cast<mode_t>(like->mode);
    if ((keep & 070) != 0 && st->st_gid != like->group &&
        (st->st_uid != runner() || fchown(fd, static_cast<uid_t>(-1), like->group) != 0))
        keep &= ~070;
    return keep == have || fchmod(fd, keep) == 0;
}

FILE *openOutputFile(const char *path, const FileInfo *like, const FileIdentity *avoid,
                     int avoidCount) {
    // O_NONBLOCK: opening a FIFO without a reader fails at once instead of
    // waiting, and one with a reader is refused before any write. On a
    // regular file it changes nothing.
    failWritesPastTheSizeLimit();
    int fd = open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                  firstOutputMode(like));
    if (fd < 0) return nullptr;
    struct stat st;
    bool usable = claimOutput(fd, like, avoid, avoidCount, &st);
    // Emptied only once it is known to be the tool's to write.
    if (usable && st.st_size > 0) usable = ftruncate(fd, 0) == 0;
    FILE *f = usable ? streamOnFd(fd, "wb") : nullptr;
    if (f == nullptr) close(fd);
    return f;
}

int beginSafeFile(SafeFile *sf, const char *path, int flags, FILE *like, const FileInfo *likeInfo) {
    sf->stream = nullptr;
    sf->path = path;
    sf->tempName[0] = '\0';
    sf->lateMode = 0;
    sf->replaces = 0;
    Model m;
    if (like != nullptr) {
        m = Model{true, static_cast<mode_t>(likeInfo->mode & 07777),
                  static_cast<uid_t>(likeInfo->owner), static_cast<gid_t>(likeInfo->group),
                  descriptorOf(like)};
    } else if (modelAtName(path, &m) != 0) {
        return -1;
    }
    catchEndingSignals();
    // No more open than the model until its attributes are in place; without
    // a model, what any new file gets (the umask, a default ACL).
    ssize_t xattrLen = m.present ? listModelAttributes(m) : 0;
    bool readBack = (flags & SAFE_READ_BACK) != 0;
    int fd = createTemp(path, sf->tempName, readBack ? O_RDWR : O_WRONLY,
                        m.present ? creationMode(m, xattrLen) : 0666);
    if (fd >= 0 && (!m.present || giveAttributes(fd, m, xattrLen, &sf->lateMode) == 0))
        sf->stream = streamOnFd(
            fd, (flags & SAFE_TEXT) != 0 ? (readBack ? "w+" : "w") : (readBack ? "w+b" : "wb"));
    if (fd >= 0 && sf->stream == nullptr) {
        close(fd);
        unlink(sf->tempName);
        forgetTemp(sf->tempName);
    }
    if (like == nullptr && m.fd >= 0) close(m.fd);
    return sf->stream != nullptr ? 0 : -1;
}

int commitSafeFile(SafeFile *sf) {
    FILE *f = sf->stream;
    sf->stream = nullptr;
    bool written = std::fflush(f) == 0 && !std::ferror(f);
    // Writing clears set-ID bits: they go on after the last write, before
    // the close, on the descriptor.
    bool moded = !written || sf->lateMode == 0 ||
                 fchmod(descriptorOf(f), static_cast<mode_t>(sf->lateMode)) == 0;
    written = std::fclose(f) == 0 && written;
    int result = !written                                        ? SAFE_WRITE_FAILED
                 : !moded || rename(sf->tempName, sf->path) != 0 ? SAFE_NOT_PLACED
                                                                 : SAFE_DONE;
    if (result != SAFE_DONE) unlink(sf->tempName);
    forgetTemp(sf->tempName);
    return result;
}

void abandonSafeFile(SafeFile *sf) {
    if (sf->stream != nullptr) std::fclose(sf->stream);
    sf->stream = nullptr;
    unlink(sf->tempName);
    forgetTemp(sf->tempName);
}
