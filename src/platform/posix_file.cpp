// posix_file.cpp - the file operations of platform_file.h on POSIX: status
// through fstat/stat, outputs opened with O_NOFOLLOW and O_NONBLOCK so that a
// link, FIFO or device at the name is refused without blocking, temporary
// files created with O_EXCL under a random name, and replacement by rename.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform_file.h"

static void fillInfo(const struct stat &st, FileInfo *info) {
    info->id = FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    info->mode = st.st_mode & 07777;
    info->owner = st.st_uid;
    info->group = st.st_gid;
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

// Random characters for temporary names, from a generator seeded once per
// process by the system's random source (the clock, the process ID and the
// generator's address when that cannot be read). A name taken by another
// process only costs another try.
static void randomChars(char *out, size_t n) {
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
// 255 bytes per name: at most this much of the input's name is used.
constexpr size_t TEMP_STEM_MAX = 200;

// "DIR/.NAME.XXXXXX" for path "DIR/NAME"; false when it does not fit `cap`.
static bool tempNameFor(const char *path, char *tempName, size_t cap) {
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

// Gives a file the owner, group and permission bits of `like`. A refused
// change of owner is no error (only a privileged user may give a file away);
// the group alone may still be allowed. The mode comes last, since a change
// of owner clears the set-user-ID and set-group-ID bits.
static int copyAttributes(int fd, const FileInfo *like) {
    if (fchown(fd, static_cast<uid_t>(like->owner), static_cast<gid_t>(like->group)) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(like->group)) != 0) {
        // Keeping the creator's owner and group is the best the system allows.
    }
    return fchmod(fd, static_cast<mode_t>(like->mode & 07777));
}

FILE *createTempFile(const char *path, const FileInfo *like, char *tempName, size_t cap) {
    if (!tempNameFor(path, tempName, cap)) return nullptr;
    char *random = tempName + std::strlen(tempName) - TEMP_RANDOM;
    int fd = -1;
    for (int i = 0; i < TEMP_ATTEMPTS && fd < 0; i++) {
        randomChars(random, TEMP_RANDOM);
        // Private until like's attributes are in place; without `like`, what
        // any new file gets under the umask.
        fd = open(tempName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  like != nullptr ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) return nullptr;
    }
    if (fd < 0) return nullptr;
    FILE *f = like != nullptr && copyAttributes(fd, like) != 0 ? nullptr : fdopen(fd, "wb");
    if (f == nullptr) {
        close(fd);
        unlink(tempName);
    }
    return f;
}

FILE *openInputFile(const char *path) {
    // O_NONBLOCK: a FIFO without a writer reads as ended, one whose writer
    // sends nothing as a failed read; a regular file reads as ever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    FILE *f = fdopen(fd, "rb");
    if (f == nullptr) close(fd);
    return f;
}

static bool isAvoided(const FileIdentity &id, const FileIdentity *avoid, int avoidCount) {
    for (int i = 0; i < avoidCount; i++)
        if (sameIdentity(id, avoid[i])) return true;
    return false;
}

FILE *openOutputFile(const char *path, const FileInfo *like, const FileIdentity *avoid,
                     int avoidCount) {
    mode_t mode = like != nullptr ? static_cast<mode_t>(like->mode & 0777) : 0666;
    // O_NONBLOCK: opening a FIFO without a reader fails at once instead of
    // waiting, and one with a reader is refused below before any write.
    int fd = open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0) return nullptr;
    struct stat st;
    bool usable = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (usable) {
        FileIdentity id{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
        usable = !isAvoided(id, avoid, avoidCount);
    }
    // An existing file more open than the input (someone else's trap in a
    // shared directory, or an old copy) is narrowed before anything goes in;
    // a file the tool may not narrow is not written.
    mode_t wider = st.st_mode & 0777 & ~mode;
    if (usable && wider != 0) usable = fchmod(fd, st.st_mode & 0777 & mode) == 0;
    // Emptied only once it is known to be a regular file other than the input.
    if (usable) usable = ftruncate(fd, 0) == 0 && fcntl(fd, F_SETFL, 0) == 0;
    FILE *f = usable ? fdopen(fd, "wb") : nullptr;
    if (f == nullptr) close(fd);
    return f;
}

// The open file already carries its attributes, but writing may have cleared
// set-ID bits: those are set again once the file is complete.
int replaceFile(const char *from, const char *to, const FileInfo *like) {
    if (like != nullptr && (like->mode & (S_ISUID | S_ISGID)) != 0 &&
        chmod(from, static_cast<mode_t>(like->mode & 07777)) != 0)
        return -1;
    return std::rename(from, to) == 0 ? 0 : -1;
}

int removeFile(const char *path) {
    return unlink(path) == 0 ? 0 : -1;
}
