// platform_dir.h - directory enumeration and the kinds of its entries: the
// only place that knows how the platform lists a directory. One
// implementation per platform (posix_dir.cpp, win32_dir.cpp), chosen by the
// build.
#ifndef EMOJITAG_PLATFORM_DIR_H
#define EMOJITAG_PLATFORM_DIR_H

#include <cstdint>

// Entry kinds, as the status of the entry's path gives them (links followed).
constexpr int ENTRY_OTHER = 0;
constexpr int ENTRY_FILE = 1;  // a regular file
constexpr int ENTRY_DIR = 2;   // a directory

// What tells two directories apart on one machine (device and inode on
// POSIX, volume serial number and file index on Windows).
struct FileIdentity {
    uint64_t volume;
    uint64_t index;
};

inline bool sameIdentity(const FileIdentity &a, const FileIdentity &b) {
    return a.volume == b.volume && a.index == b.index;
}

// An open enumeration of one directory.
struct PlatformDir;

// Opens `path` for enumeration; null when it cannot be opened or its entries
// cannot be examined.
PlatformDir *openDirectory(const char *path);

// The identity of the open directory itself.
int directoryIdentity(PlatformDir *dir, FileIdentity *id);

// The next entry's name in the platform's order, "." and ".." included; null
// after the last one. The name stays valid until the next call.
const char *readDirectory(PlatformDir *dir);

// Sets *kind for the entry that readDirectory returned last; 0, or -1 when its
// status cannot be read (a dangling link, an entry that has gone).
int currentEntryKind(PlatformDir *dir, int *kind);

// Whether the name readDirectory returned last is the entry's own: false
// where the system holds names in UTF-16 and this one has no exact form in
// the narrow character set, so that the name leads to no file (or another).
bool currentEntryNameExact(PlatformDir *dir);

void closeDirectory(PlatformDir *dir);

// Sets *kind for the path (links followed); 0, or -1 when its status cannot
// be read.
int pathEntryKind(const char *path, int *kind);

// Lets the process hold as many directories open at once as the system
// allows (a walk keeps one open per level of the tree); 0, or -1 when the
// allowance could not be raised. Called once at the start of a scan.
int raiseOpenDirectoryLimit();

#endif
