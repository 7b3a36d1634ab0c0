// posix_file.cpp - the file operations of platform_file.h on POSIX. Inputs
// and outputs are opened with O_NONBLOCK so that a FIFO or device never
// blocks, outputs with O_NOFOLLOW so that a link is never followed, and new
// files are created with O_EXCL under a random name. A job opens the
// directory it works in once and names every file relative to it (openat,
// fstatat, renameat, unlinkat): a folder swapped on the path between two
// steps leaves the whole job in one directory. Once a file is open, every
// attribute is read and set through its descriptor: a name that someone
// swaps for a link in the meantime leads nowhere. A new file is on disk
// before it takes its name.
//
// Only POSIX is needed; what Linux adds (streams of the program's own,
// syncing in batches, the system's random source, extended attributes) is
// used where the build offers it, with a POSIX way beside each.

// Files past 2 GiB also where off_t is 32 bits by default.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__) && defined(_GNU_SOURCE)
#define LINUX_EXTRAS 1
#include <sys/random.h>
#endif
#if defined(__linux__)
#include <sys/xattr.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "platform_file.h"

// A sanitizer reports the faults itself.
#if defined(__SANITIZE_ADDRESS__)
#define SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define SANITIZED_BUILD 1
#endif
#endif

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

// Fills `seed` from the system's random source: true when it was read whole.
bool readRandomSeed(uint64_t *seed) {
#if defined(LINUX_EXTRAS)
    return getrandom(seed, sizeof *seed, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof *seed);
#else
    int fd = open("/dev/urandom", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    ssize_t n;
    do {
        n = read(fd, seed, sizeof *seed);
    } while (n < 0 && errno == EINTR);
    close(fd);
    return n == static_cast<ssize_t>(sizeof *seed);
#endif
}

// Random characters for temporary names, from a generator seeded once per
// process by the system's random source (the clock, the process ID and the
// generator's address when that cannot be read). A name taken by another
// process only costs another try.
void randomChars(char *out, size_t n) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static uint64_t state;
    if (state == 0) {
        if (!readRandomSeed(&state))
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

// ".NAME.XXXXXX" for the name NAME (the X's are replaced by random
// characters).
void tempNameFor(const char *name, char *tempName) {
    size_t stem = std::strlen(name);
    if (stem > TEMP_STEM_MAX) stem = TEMP_STEM_MAX;
    char *p = tempName;
    *p++ = '.';
    std::memcpy(p, name, stem);
    p += stem;
    *p++ = '.';
    std::memset(p, 'X', TEMP_RANDOM);
    p[TEMP_RANDOM] = '\0';
}

// The temporary files being written, which a signal that ends the process
// removes first: a batch of replacements waits with many of them complete.
// A handler may read lock-free atomics and sig_atomic_t flags, and unlinkat,
// sigaction and raise are safe to call from it.
constexpr int TEMP_SLOTS = 160;
std::atomic<const SafeFile *> tempFiles[TEMP_SLOTS];
static_assert(std::atomic<const SafeFile *>::is_always_lock_free, "a handler reads tempFiles");
// Set while a temporary file is created and not yet in tempFiles: a signal
// that comes then waits in `deferredSignal` until the file can be removed.
volatile sig_atomic_t creatingTemp;
volatile sig_atomic_t deferredSignal;

// Removes the temporary files, then lets the signal end the process as it
// would have without the handler.
void removeTempFilesAndEnd(int sig) {
    for (std::atomic<const SafeFile *> &slot : tempFiles) {
        const SafeFile *sf = slot.load();
        if (sf != nullptr) unlinkat(sf->dir->handle, sf->tempName, 0);
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

// Every signal whose default action ends the process: those a user, a shell
// or a service manager sends (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1,
// SIGUSR2, the real-time ones), the timers' (SIGALRM, SIGVTALRM, SIGPROF,
// SIGXCPU), SIGPIPE for messages to a reader that has gone (2>&1 | head),
// and the faults. Under the sanitizers the faults stay theirs to report.
const int ENDING_SIGNALS[] = {
    SIGINT,    SIGTERM,   SIGHUP,  SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2,
    SIGALRM,   SIGVTALRM, SIGPROF, SIGXCPU, SIGABRT, SIGTRAP, SIGSYS,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
#if !defined(SANITIZED_BUILD)
    SIGSEGV,   SIGBUS,    SIGFPE,  SIGILL,
#endif
};

void catchSignal(int sig, const struct sigaction &sa) {
    struct sigaction old;
    if (sigaction(sig, &sa, &old) == 0 && old.sa_handler != SIG_DFL) sigaction(sig, &old, nullptr);
}

// Installed once, at the first new file; a signal the program was started
// with ignored (nohup) stays ignored, and one with a handler of its own (a
// mapped input's SIGBUS) keeps it, which passes on what it does not take.
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
    for (int sig : ENDING_SIGNALS)
        catchSignal(sig, sa);
#if defined(SIGRTMIN) && defined(SIGRTMAX)
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        catchSignal(sig, sa);
#endif
}

bool rememberTemp(const SafeFile *sf) {
    for (std::atomic<const SafeFile *> &slot : tempFiles) {
        const SafeFile *none = nullptr;
        if (slot.compare_exchange_strong(none, sf)) return true;
    }
    return false;
}

void forgetTemp(const SafeFile *sf) {
    for (std::atomic<const SafeFile *> &slot : tempFiles) {
        const SafeFile *mine = sf;
        slot.compare_exchange_strong(mine, nullptr);
    }
}

// Creates a file of the program's own under a free temporary name for
// sf->name in sf->dir and remembers it for removal: never an existing file,
// never through a link. Its descriptor, or -1. A signal that comes between
// the creation and the remembering is acted on once the file is remembered.
int createTemp(SafeFile *sf, int access, mode_t mode) {
    tempNameFor(sf->name, sf->tempName);
    char *random = sf->tempName + std::strlen(sf->tempName) - TEMP_RANDOM;
    int fd = -1;
    creatingTemp = 1;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    for (int i = 0; i < TEMP_ATTEMPTS && fd < 0; i++) {
        randomChars(random, TEMP_RANDOM);
        fd = openat(sf->dir->handle, sf->tempName,
                    access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd >= 0 && !rememberTemp(sf)) {
        close(fd);
        unlinkat(sf->dir->handle, sf->tempName, 0);
        errno = EMFILE;
        fd = -1;
    }
    std::atomic_signal_fence(std::memory_order_seq_cst);
    creatingTemp = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (deferredSignal != 0) removeTempFilesAndEnd(deferredSignal);
    return fd;
}

// Removes the temporary file and forgets it, keeping the errno of the
// failure that led here.
void removeTemp(SafeFile *sf) {
    int saved = errno;
    unlinkat(sf->dir->handle, sf->tempName, 0);
    forgetTemp(sf);
    sf->tempName[0] = '\0';
    errno = saved;
}

// Streams over descriptors the tool has opened itself. fdopen asks the
// system for a descriptor's flags on every call, one system call per file
// the tool could do without (a batch opens two for every picture): where the
// C library lets a program supply a stream's reads and writes, the tool's
// streams sit on their descriptors directly, with the usual buffering of the
// C library, and a read ends at the size a regular file had when it was
// opened, without a read that finds the end. Elsewhere they are fdopen's.
#if defined(LINUX_EXTRAS)
struct FdStream {
    int fd;
    FILE *stream;  // null while the entry is free
    // Of a regular file opened for reading, its size at the open, or -1:
    // once the stream stands there, the end of the file needs no read of
    // its own.
    off_t size;
    off_t at;     // where the stream stands in the file
    bool keepFd;  // closing the stream leaves the descriptor open
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

// off_t is 64 bits here (_FILE_OFFSET_BITS), as the C library's offsets are.
int seekFd(void *cookie, off_t *offset, int whence) {
    auto *entry = static_cast<FdStream *>(cookie);
    off_t at = lseek(entry->fd, *offset, whence);
    if (at < 0) return -1;
    entry->at = at;
    *offset = at;
    return 0;
}

int closeFd(void *cookie) {
    auto *entry = static_cast<FdStream *>(cookie);
    entry->stream = nullptr;
    return entry->keepFd ? 0 : close(entry->fd);
}

// A stream on `fd` (closed with it), standing at its start, or null with
// `fd` left open.
FILE *streamOnFd(int fd, const char *mode, off_t size = -1) {
    for (FdStream &entry : fdStreams) {
        if (entry.stream != nullptr) continue;
        entry.fd = fd;
        entry.size = size;
        entry.at = 0;
        entry.keepFd = false;
        entry.stream = fopencookie(&entry, mode, {readFd, writeFd, seekFd, closeFd});
        return entry.stream;
    }
    return nullptr;
}

FdStream *entryOf(FILE *f) {
    for (FdStream &entry : fdStreams)
        if (entry.stream == f) return &entry;
    return nullptr;
}

// The descriptor under one of the tool's streams (or any other file stream).
int descriptorOf(FILE *f) {
    const FdStream *entry = entryOf(f);
    return entry != nullptr ? entry->fd : fileno(f);
}

// Closes one of the tool's streams, leaving its descriptor open: the
// descriptor, the stream's own.
int closeKeepingFd(FILE *f) {
    FdStream *entry = entryOf(f);
    if (entry == nullptr) {
        std::fclose(f);
        errno = EBADF;
        return -1;
    }
    entry->keepFd = true;
    int fd = entry->fd;
    std::fclose(f);
    return fd;
}
#else
// A stream on `fd` (closed with it), standing at its start, or null with
// `fd` left open. The stream reads to the file's end, whatever its size.
FILE *streamOnFd(int fd, const char *mode, off_t = -1) {
    return fdopen(fd, mode);
}

int descriptorOf(FILE *f) {
    return fileno(f);
}

// Closes one of the tool's streams, leaving the file open: a descriptor of
// the stream's file made before the stream took its own with it (marked
// close-on-exec as every descriptor of the tool), or -1 when none could be
// made, with the stream closed all the same.
int closeKeepingFd(FILE *f) {
    int fd = fcntl(fileno(f), F_DUPFD_CLOEXEC, 0);
    int saved = errno;
    std::fclose(f);
    errno = saved;
    return fd;
}
#endif

// What a new file takes over: the model's attributes and, for its extended
// attributes, the model's open descriptor (-1 when there is none to read).
struct Model {
    bool present;
    mode_t mode;
    uid_t owner;
    gid_t group;
    int fd;
};

// The model for a new file `name` in `dir` is the regular file that stands
// there. A symbolic link is replaced, never followed, so it gives nothing; a
// directory, FIFO, device or socket refuses the name (-1). Opened for its
// extended attributes only when it is still the file examined.
int modelAtName(const WorkDir *dir, const char *name, Model *m) {
    *m = Model{false, 0, 0, 0, -1};
    struct stat st;
    if (fstatat(dir->handle, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? 0 : -1;
    if (S_ISLNK(st.st_mode)) return 0;
    if (!S_ISREG(st.st_mode)) return -1;  // refused for what it is, not for a failed call
    *m = Model{true, st.st_mode & 07777, st.st_uid, st.st_gid, -1};
    int fd = openat(dir->handle, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat now;
    if (fd >= 0 && fstat(fd, &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino)
        m->fd = fd;
    else if (fd >= 0)
        close(fd);
    return 0;
}

#if defined(__linux__)
// The access control list of a file, kept by the system as an extended
// attribute.
constexpr char ACCESS_ACL[] = "system.posix_acl_access";

bool noAttribute(int err) {
    return err == ENODATA || err == ENOTSUP || err == ENOSYS;
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

bool listsAccessAcl(ssize_t len) {
    for (const char *name = xattrNames; name < xattrNames + len; name += std::strlen(name) + 1)
        if (std::strcmp(name, ACCESS_ACL) == 0) return true;
    return false;
}

// Gives `to` exactly the access control list of `from`: a copy of it, or,
// where `from` has none, none at all (a new file may have inherited one from
// its directory's default ACL). 1 when `to`'s ACL changed (its mode is then
// to be set again), 0 when it was right already, -1 when it cannot be done:
// the file would be more open, or otherwise open, than `from`.
int copyAccessAcl(int from, int to, bool fromHasAcl) {
    if (fromHasAcl) {
        ssize_t n = fgetxattr(from, ACCESS_ACL, xattrValue, sizeof xattrValue);
        if (n >= 0)
            return fsetxattr(to, ACCESS_ACL, xattrValue, static_cast<size_t>(n), 0) == 0 ? 1 : -1;
        if (!noAttribute(errno)) return -1;
    }
    if (fremovexattr(to, ACCESS_ACL) == 0) return 1;
    return noAttribute(errno) ? 0 : -1;
}

// Copies every extended attribute of `from` listed in the first `len` bytes
// of xattrNames that the user may set onto `to`, but the access ACL, which
// copyAccessAcl gives. Those the system refuses are skipped.
void copyExtendedAttributes(int from, int to, ssize_t len) {
    for (const char *name = xattrNames; name < xattrNames + len; name += std::strlen(name) + 1) {
        if (std::strcmp(name, ACCESS_ACL) == 0) continue;
        ssize_t n = fgetxattr(from, name, xattrValue, sizeof xattrValue);
        if (n >= 0 && fsetxattr(to, name, xattrValue, static_cast<size_t>(n), 0) != 0) {
            // Not the user's to set (security.*, for one): the file goes without it.
        }
    }
}
#else
// Where the system has no extended attributes of this form, a file's access
// is its mode alone: a model has no attributes to pass on, and no file has an
// ACL to copy or remove.
ssize_t listModelAttributes(const Model &) {
    return 0;
}

int copyAccessAcl(int, int, bool) {
    return 0;
}

bool listsAccessAcl(ssize_t) {
    return false;
}

void copyExtendedAttributes(int, int, ssize_t) {}
#endif

// The mode a new file that takes the model's attributes is created with:
// private (0600), or the model's own permission bits when the model has no
// extended attributes (no ACL) and its bits give its group just what they
// give everyone else. Whoever may open the new file before its owner, group
// and ACL are set may then open the finished file too (an ACL inherited from
// the directory is masked by the group bits until it is removed), and the
// mode needs no second call in the usual case.
mode_t creationMode(const Model &m, ssize_t xattrLen) {
    mode_t bits = m.mode & 0777;
    return xattrLen == 0 && ((bits >> 3) & 07) == (bits & 07) ? bits : 0600;
}

// Gives the new file `fd` the model's owner, group, access control list,
// extended attributes (the first `xattrLen` bytes of xattrNames) and
// permission bits, each only where the file does not have it yet. Only a
// privileged user may give a file away; without the owner the set-user-ID
// bit goes, and without the group the group bits and the set-group-ID bit,
// which would otherwise open the file to the user's own group. The mode comes
// after the ACL, whose mask it sets. Set-ID bits, which writing clears, are
// left in *lateMode for the commit. -1 when the access cannot be the model's.
int giveAttributes(int fd, const Model &m, ssize_t xattrLen, unsigned long *lateMode) {
    struct stat st;
    if (fstat(fd, &st) != 0) return -1;
    mode_t mode = m.mode;
    if ((st.st_uid != m.owner || st.st_gid != m.group) && fchown(fd, m.owner, m.group) != 0) {
        if (m.owner != st.st_uid) mode &= ~S_ISUID;
        if (m.group != st.st_gid && fchown(fd, static_cast<uid_t>(-1), m.group) != 0)
            mode &= ~(S_ISGID | 070);
    }
    // Unknown attributes (no descriptor of the model) count as no ACL: the
    // file is then no more open than its mode.
    int aclChanged = copyAccessAcl(m.fd, fd, xattrLen > 0 && listsAccessAcl(xattrLen));
    if (aclChanged < 0) return -1;
    if (xattrLen > 0) copyExtendedAttributes(m.fd, fd, xattrLen);
    if ((aclChanged > 0 || xattrLen > 0 || (st.st_mode & 0777) != (mode & 0777)) &&
        fchmod(fd, mode & 0777) != 0)
        return -1;
    if ((mode & (S_ISUID | S_ISGID)) != 0) *lateMode = mode;
    return 0;
}

// How the safe files reach the disk. The benchmarks build the tool with the
// other two ways as baselines; the tool always syncs in batches.
#ifndef EMOJITAG_SYNC
#define EMOJITAG_SYNC 2
#endif
constexpr int SYNC_NONE = 0;   // not at all: the system writes when it likes
constexpr int SYNC_EACH = 1;   // one fsync per file
constexpr int SYNC_BATCH = 2;  // write-back started per file, one flush for many
constexpr int SYNC_MODE = EMOJITAG_SYNC;
static_assert(SYNC_MODE == SYNC_NONE || SYNC_MODE == SYNC_EACH || SYNC_MODE == SYNC_BATCH,
              "EMOJITAG_SYNC is 0, 1 or 2");

// Starts writing the file's content to the disk without waiting for it.
void startWriteBack(int fd) {
#if defined(LINUX_EXTRAS)
    if (SYNC_MODE == SYNC_BATCH) sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
#endif
}

// Waits for the write-back started by startWriteBack: true when it is done
// and one flush of the disk will make the content durable, false where the
// file needs an fsync of its own.
bool awaitWriteBack(int fd) {
#if defined(LINUX_EXTRAS)
    return sync_file_range(fd, 0, 0,
                           SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                               SYNC_FILE_RANGE_WAIT_AFTER) == 0;
#else
    (void)fd;
    return false;
#endif
}

int syncFd(int fd) {
    int r;
    do {
        r = fsync(fd);
    } while (r != 0 && errno == EINTR);
    return r;
}

}  // namespace

int streamDescriptor(FILE *f) {
    return descriptorOf(f);
}

int streamFileInfo(FILE *f, FileInfo *info) {
    struct stat st;
    if (fstat(descriptorOf(f), &st) != 0) return -1;
    fillInfo(st, info);
    return 0;
}

int pathFileInfo(const char *path, FileInfo *info) {
    struct stat st;
    if (stat(path, &st) != 0) return -1;
    fillInfo(st, info);
    return 0;
}

size_t directoryPartLength(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash != nullptr ? static_cast<size_t>(slash - path) + 1 : 0;
}

int openWorkDir(WorkDir *dir, const char *path) {
    size_t len = directoryPartLength(path);
    dir->handle = AT_FDCWD;
    dir->syncable = 0;
    dir->id = FileIdentity{0, 0};
    if (len >= sizeof dir->path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(dir->path, path, len);
    dir->path[len] = '\0';
    // The current directory is the process's own, held already; only it
    // needs no open.
    const char *open_as = len == 0 ? "." : dir->path;
    int fd = open(open_as, O_RDONLY | O_DIRECTORY | O_NOCTTY | O_CLOEXEC);
    dir->syncable = fd >= 0;
#if defined(O_SEARCH)
    // A directory the user may search but not list is still one to work in.
    if (fd < 0 && errno == EACCES) fd = open(open_as, O_SEARCH | O_DIRECTORY | O_CLOEXEC);
#endif
    if (len == 0) {
        // Kept only to sync the directory's entries.
        dir->handle = AT_FDCWD;
        if (fd >= 0) close(fd);
        return 0;
    }
    if (fd < 0) return -1;
    dir->handle = fd;
    return 0;
}

void closeWorkDir(WorkDir *dir) {
    if (dir->handle >= 0) close(dir->handle);
    dir->handle = -1;
}

int syncWorkDir(const WorkDir *dir) {
    if (SYNC_MODE == SYNC_NONE) return 0;
    if (dir->handle == AT_FDCWD) {
        int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return errno == EACCES ? 0 : -1;
        int r = syncFd(fd);
        close(fd);
        return r;
    }
    return dir->syncable ? syncFd(dir->handle) : 0;
}

static FILE *openInputAt(int dirFd, const char *name, FileInfo *info) {
    // O_NONBLOCK: a FIFO without a writer reads as ended, one whose writer
    // sends nothing as a failed read; a regular file reads as ever.
    int fd = openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
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

FILE *openInputFile(const char *path, FileInfo *info) {
    return openInputAt(AT_FDCWD, path, info);
}

FILE *openInputFileIn(const WorkDir *dir, const char *name, FileInfo *info) {
    return openInputAt(dir->handle, name, info);
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
// where the system allows); its ACL becomes the input's, or none. A file
// just created, empty and the runner's with the mode of its creation, gets
// the input's bits within the umask. A file the runner may not narrow is not
// written.
static bool claimOutput(int fd, int likeFd, const FileInfo *like, const FileIdentity *avoid,
                        int avoidCount, struct stat *st) {
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
    int aclChanged = copyAccessAcl(likeFd, fd, true);
    if (aclChanged < 0) return false;
    // After the ACL, whose mask the mode sets.
    return (aclChanged == 0 && keep == have) || fchmod(fd, keep) == 0;
}

FILE *openOutputFileIn(const WorkDir *dir, const char *name, FILE *like, const FileInfo *likeInfo,
                       const FileIdentity *avoid, int avoidCount) {
    // O_NONBLOCK: opening a FIFO without a reader fails at once instead of
    // waiting, and one with a reader is refused before any write. On a
    // regular file it changes nothing.
    failWritesPastTheSizeLimit();
    int fd = openat(dir->handle, name,
                    O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                    firstOutputMode(likeInfo));
    if (fd < 0) return nullptr;
    struct stat st;
    bool usable = claimOutput(fd, descriptorOf(like), likeInfo, avoid, avoidCount, &st);
    FILE *f = usable ? streamOnFd(fd, "wb") : nullptr;
    if (f == nullptr) close(fd);
    return f;
}

int closeOutputFile(FILE *f) {
    // Cut even after a failed flush: no old byte is left past the new ones.
    bool flushed = std::fflush(f) == 0;
    off_t end = ftello(f);
    bool cut = end >= 0 && ftruncate(descriptorOf(f), end) == 0;
    int reason = errno;
    bool closed = std::fclose(f) == 0;
    if (!(flushed && cut)) errno = reason;
    return flushed && cut && closed ? 0 : -1;
}

int beginSafeFileIn(SafeFile *sf, const WorkDir *dir, const char *name, int flags, FILE *like,
                    const FileInfo *likeInfo) {
    sf->stream = nullptr;
    sf->fd = -1;
    sf->dir = dir;
    sf->tempName[0] = '\0';
    sf->lateMode = 0;
    sf->replaces = 0;
    size_t nameLen = std::strlen(name);
    if (nameLen >= sizeof sf->name) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(sf->name, name, nameLen + 1);
    Model m;
    if (like != nullptr) {
        m = Model{true, static_cast<mode_t>(likeInfo->mode & 07777),
                  static_cast<uid_t>(likeInfo->owner), static_cast<gid_t>(likeInfo->group),
                  descriptorOf(like)};
    } else if (modelAtName(dir, name, &m) != 0) {
        return -1;
    }
    catchEndingSignals();
    // No more open than the model until its attributes are in place; without
    // a model, what any new file gets (the umask, a default ACL).
    ssize_t xattrLen = m.present ? listModelAttributes(m) : 0;
    bool readBack = (flags & SAFE_READ_BACK) != 0;
    int fd =
        createTemp(sf, readBack ? O_RDWR : O_WRONLY, m.present ? creationMode(m, xattrLen) : 0666);
    if (fd >= 0 && (!m.present || giveAttributes(fd, m, xattrLen, &sf->lateMode) == 0))
        sf->stream = streamOnFd(
            fd, (flags & SAFE_TEXT) != 0 ? (readBack ? "w+" : "w") : (readBack ? "w+b" : "wb"));
    if (fd >= 0 && sf->stream == nullptr) {
        int saved = errno;
        close(fd);
        errno = saved;
        removeTemp(sf);
    }
    if (like == nullptr && m.fd >= 0) close(m.fd);
    if (sf->stream == nullptr) return -1;
    sf->fd = fd;
    return 0;
}

int beginSafeFile(SafeFile *sf, const char *path, int flags, FILE *like, const FileInfo *likeInfo) {
    sf->stream = nullptr;
    sf->fd = -1;
    sf->dir = &sf->ownDir;
    sf->ownDir.handle = -1;
    if (openWorkDir(&sf->ownDir, path) != 0) return -1;
    if (beginSafeFileIn(sf, &sf->ownDir, path + directoryPartLength(path), flags, like, likeInfo) ==
        0)
        return 0;
    int saved = errno;
    closeWorkDir(&sf->ownDir);
    errno = saved;
    return -1;
}

int completeSafeFile(SafeFile *sf) {
    FILE *f = sf->stream;
    sf->stream = nullptr;
    bool written = std::fflush(f) == 0 && !std::ferror(f);
    int saved = errno;
    // Writing clears set-ID bits: they go on after the last write, on the
    // descriptor.
    bool moded =
        !written || sf->lateMode == 0 || fchmod(sf->fd, static_cast<mode_t>(sf->lateMode)) == 0;
    // Without its descriptor the content cannot be put on disk.
    int kept = closeKeepingFd(f);
    if (kept < 0 && written) {
        saved = errno;
        written = false;
    }
    sf->fd = kept;
    errno = saved;
    if (!written || !moded) {
        if (sf->fd >= 0) close(sf->fd);
        sf->fd = -1;
        removeTemp(sf);
        return written ? SAFE_NOT_PLACED : SAFE_WRITE_FAILED;
    }
    startWriteBack(sf->fd);
    return SAFE_DONE;
}

// The content of each file is on disk: after the write-back each started, one
// fsync flushes the disk for all of them (the file system's journal commits
// with it), and a file whose write-back cannot be awaited has its own fsync.
static void syncContents(SafeFile *const *files, int count, int *results) {
    int flushed = -1;  // the file whose fsync flushes the disk for the rest
    for (int i = 0; i < count; i++) {
        if (results[i] != SAFE_DONE) continue;
        int fd = files[i]->fd;
        bool batched = SYNC_MODE == SYNC_BATCH && awaitWriteBack(fd);
        if (SYNC_MODE == SYNC_NONE || batched) {
            flushed = i;
            continue;
        }
        if (syncFd(fd) != 0) results[i] = SAFE_WRITE_FAILED;
    }
    if (SYNC_MODE == SYNC_BATCH && flushed >= 0 && syncFd(files[flushed]->fd) != 0) {
        // The flush that failed may have lost any of them.
        int saved = errno;
        for (int i = 0; i < count; i++)
            if (results[i] == SAFE_DONE) results[i] = SAFE_WRITE_FAILED;
        errno = saved;
    }
}

void placeSafeFiles(SafeFile *const *files, int count, int *results) {
    for (int i = 0; i < count; i++)
        results[i] = files[i]->fd >= 0 ? SAFE_DONE : SAFE_WRITE_FAILED;
    syncContents(files, count, results);
    for (int i = 0; i < count; i++) {
        SafeFile *sf = files[i];
        if (sf->fd < 0) continue;
        int saved = errno;
        close(sf->fd);
        errno = saved;
        sf->fd = -1;
        if (results[i] == SAFE_DONE &&
            renameat(sf->dir->handle, sf->tempName, sf->dir->handle, sf->name) != 0)
            results[i] = SAFE_NOT_PLACED;
        if (results[i] != SAFE_DONE)
            removeTemp(sf);
        else
            forgetTemp(sf);
    }
}

int commitSafeFile(SafeFile *sf) {
    int result = completeSafeFile(sf);
    if (result == SAFE_DONE) {
        SafeFile *one[1] = {sf};
        placeSafeFiles(one, 1, &result);
    }
    if (result == SAFE_DONE && syncWorkDir(sf->dir) != 0) result = SAFE_NOT_SYNCED;
    if (sf->dir == &sf->ownDir) {
        int saved = errno;
        closeWorkDir(&sf->ownDir);
        errno = saved;
    }
    return result;
}

void abandonSafeFile(SafeFile *sf) {
    if (sf->stream != nullptr)
        std::fclose(sf->stream);
    else if (sf->fd >= 0)
        close(sf->fd);
    sf->stream = nullptr;
    sf->fd = -1;
    if (sf->tempName[0] != '\0') removeTemp(sf);
    if (sf->dir == &sf->ownDir) closeWorkDir(&sf->ownDir);
}

// Whether the status `st` (of a name not followed) is that of the file
// `checked` identifies.
static bool isCheckedFile(const struct stat &st, const FileIdentity &checked) {
    FileInfo info;
    fillInfo(st, &info);
    return !S_ISLNK(st.st_mode) && sameIdentity(info.id, checked);
}

// The name in `dirFd`, compared with `checked` by name, through a descriptor
// opened without following a link, and by name again just before the unlink.
static int removeCheckedAt(int dirFd, const char *name, const FileIdentity &checked) {
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return REMOVE_FAILED;
    if (!isCheckedFile(st, checked)) return REMOVE_NOT_SAME;
    int fd = openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return REMOVE_FAILED;
    bool same = fstat(fd, &st) == 0 && isCheckedFile(st, checked) &&
                fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && isCheckedFile(st, checked);
    int r = !same ? REMOVE_NOT_SAME : unlinkat(dirFd, name, 0) == 0 ? REMOVE_DONE : REMOVE_FAILED;
    int err = errno;
    close(fd);
    errno = err;
    return r;
}

int removeCheckedFile(const char *path, const FileIdentity *checked) {
    WorkDir dir;
    if (openWorkDir(&dir, path) != 0) return REMOVE_FAILED;
    int r = removeCheckedAt(dir.handle, path + directoryPartLength(path), *checked);
    int err = errno;
    closeWorkDir(&dir);
    errno = err;
    return r;
}
