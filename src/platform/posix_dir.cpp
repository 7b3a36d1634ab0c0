// posix_dir.cpp - directory enumeration through opendir/readdir; entry kinds
// from the type readdir delivers, or from a status call relative to the open
// directory where that type cannot stand in for the status (links, unknown).

// Status of files past 2 GiB, and of large inode numbers, also where off_t
// and ino_t are 32 bits by default.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform_dir.h"

struct PlatformDir {
    DIR *dir;
    const struct dirent *entry;  // the entry readDirectory returned last
};

static FileIdentity identityOf(const struct stat &st) {
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

static int kindOf(const struct stat &st) {
    return S_ISREG(st.st_mode) ? ENTRY_FILE : S_ISDIR(st.st_mode) ? ENTRY_DIR : ENTRY_OTHER;
}

PlatformDir *openDirectory(const char *path) {
    DIR *d = opendir(path);
    if (d == nullptr) return nullptr;
    auto *dir = static_cast<PlatformDir *>(std::malloc(sizeof(PlatformDir)));
    if (dir == nullptr) {
        closedir(d);
        return nullptr;
    }
    dir->dir = d;
    dir->entry = nullptr;
    return dir;
}

// The status of "." relative to the open directory needs the same search
// permission as the status of each entry: without it no entry can be examined.
int directoryIdentity(PlatformDir *dir, FileIdentity *id) {
    struct stat st;
    if (fstatat(dirfd(dir->dir), ".", &st, 0) != 0) return -1;
    *id = identityOf(st);
    return 0;
}

const char *readDirectory(PlatformDir *dir) {
    dir->entry = readdir(dir->dir);
    return dir->entry == nullptr ? nullptr : dir->entry->d_name;
}

// A POSIX name is the entry's own bytes.
bool currentEntryNameExact(PlatformDir *) {
    return true;
}

// The type delivered with the name is what the status would show for anything
// but a link, so only links and entries of unknown type cost a status call.
// Where readdir delivers no type (it is not POSIX), every entry costs one.
int currentEntryKind(PlatformDir *dir, int *kind) {
    const struct dirent *e = dir->entry;
#if defined(DT_REG) && defined(DT_DIR)
    if (e->d_type == DT_REG) {
        *kind = ENTRY_FILE;
        return 0;
    }
    if (e->d_type == DT_DIR) {
        *kind = ENTRY_DIR;
        return 0;
    }
#endif
    struct stat st;
    if (fstatat(dirfd(dir->dir), e->d_name, &st, 0) != 0) return -1;
    *kind = kindOf(st);
    return 0;
}

void closeDirectory(PlatformDir *dir) {
    closedir(dir->dir);
    std::free(dir);
}

int pathEntryKind(const char *path, int *kind) {
    struct stat st;
    if (stat(path, &st) != 0) return -1;
    *kind = kindOf(st);
    return 0;
}

// Every open directory costs a file descriptor: the soft limit (often 1024)
// is raised to the hard one, which only the administrator can raise further.
int raiseOpenDirectoryLimit() {
    struct rlimit rl;
    if (getrlimit(RLIMIT_NOFILE, &rl) != 0) return -1;
    if (rl.rlim_cur == rl.rlim_max) return 0;
    rl.rlim_cur = rl.rlim_max;
    return setrlimit(RLIMIT_NOFILE, &rl);
}
