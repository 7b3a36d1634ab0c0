// posix_file.cpp - temporary files created exclusively beside their target,
// replacement by rename, removal.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform_file.h"

// Tries of fresh names before createTempFile gives up.
constexpr int TEMP_NAME_TRIES = 100;
constexpr int TEMP_SUFFIX_SIZE = 6;

// Six letters or digits that differ between calls and between processes.
static void makeTempSuffix(char *suffix) {
    static const char LETTERS[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static unsigned long counter;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    unsigned long v = static_cast<unsigned long>(now.tv_nsec) ^
                      (static_cast<unsigned long>(getpid()) << 16) ^ (++counter * 7919);
    for (int i = 0; i < TEMP_SUFFIX_SIZE; i++) {
        suffix[i] = LETTERS[v % (sizeof LETTERS - 1)];
        v = v / (sizeof LETTERS - 1) + counter * 31 + static_cast<unsigned long>(i);
    }
    suffix[TEMP_SUFFIX_SIZE] = '\0';
}

// "DIR/.NAME.XXXXXX" for the path DIR/NAME.
FILE *createTempFile(const char *path, const FileInfo *like, char *tempName, size_t cap) {
    const char *slash = std::strrchr(path, '/');
    int dirLen = slash == nullptr ? 0 : static_cast<int>(slash - path + 1);
    const char *name = path + dirLen;
    for (int i = 0; i < TEMP_NAME_TRIES; i++) {
        char suffix[TEMP_SUFFIX_SIZE + 1];
        makeTempSuffix(suffix);
        int n = std::snprintf(tempName, cap, "%.*s.%s.%s", dirLen, path, name, suffix);
        if (n < 0 || static_cast<size_t>(n) >= cap) return nullptr;
        int fd = open(tempName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        if (like != nullptr) {
            if (fchown(fd, static_cast<uid_t>(like->owner), static_cast<gid_t>(like->group)) != 0) {
                // A refused change of owner is not an error.
            }
            if (fchmod(fd, static_cast<mode_t>(like->mode & 07777)) != 0) {
                close(fd);
                unlink(tempName);
                return nullptr;
            }
        }
        FILE *f = fdopen(fd, "wb");
        if (f == nullptr) {
            close(fd);
            unlink(tempName);
        }
        return f;
    }
    return nullptr;
}

int replaceFile(const char *from, const char *to, const FileInfo *like) {
    if (like != nullptr && chmod(from, static_cast<mode_t>(like->mode & 07777)) != 0) return -1;
    return std::rename(from, to) == 0 ? 0 : -1;
}

int removeFile(const char *path) {
    return unlink(path) == 0 ? 0 : -1;
}
