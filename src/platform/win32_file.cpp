// win32_file.cpp - the file operations of the platform seam on Windows, with
// narrow (ANSI) names throughout. A file's identity is its volume serial
// number and file index; what a copy keeps of it are its attributes
// (read-only, hidden, system, archive, not content-indexed). A new file
// takes the place of an old one with ReplaceFileA, which keeps the old
// file's security descriptor (its ACL and owner), attributes and other
// streams, or with MoveFileExA where nothing is to be kept; both leave the
// old file whole until the new one is complete.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <initializer_list>

#include "platform_file.h"

namespace {

// The attributes a copy takes over; the others describe what the file is
// (directory, reparse point, compressed, ...) and cannot be set.
constexpr DWORD KEPT_ATTRIBUTES = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Attempts at a free temporary name before giving up.
constexpr int TEMP_NAME_TRIES = 100;

void fillInfo(const BY_HANDLE_FILE_INFORMATION &data, FileInfo *info) {
    info->id =
        FileIdentity{data.dwVolumeSerialNumber,
                     (static_cast<uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow};
    info->kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ENTRY_DIR : ENTRY_FILE;
    info->links = data.nNumberOfLinks;
    info->mode = data.dwFileAttributes;
    info->owner = 0;
    info->group = 0;
    info->size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The information of an open handle; a device or pipe, which has none, is
// a file of another kind.
void handleInfo(HANDLE h, FileInfo *info) {
    BY_HANDLE_FILE_INFORMATION data;
    if (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &data)) {
        fillInfo(data, info);
        return;
    }
    *info = FileInfo{FileIdentity{0, 0}, ENTRY_OTHER, 1, FILE_ATTRIBUTE_NORMAL, 0, 0, 0};
}

DWORD keptAttributes(unsigned long mode) {
    DWORD kept = static_cast<DWORD>(mode) & KEPT_ATTRIBUTES;
    return kept == 0 ? FILE_ATTRIBUTE_NORMAL : kept;
}

// Wraps an open handle in a stream for writing (binary or text, and for
// reading too with `readBack`); closes the handle and gives null on failure.
FILE *streamOfHandle(HANDLE h, bool text, bool readBack = false) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h),
                             (readBack ? _O_RDWR : _O_WRONLY) | (text ? _O_TEXT : _O_BINARY));
    if (fd == -1) {
        CloseHandle(h);
        return nullptr;
    }
    FILE *f = _fdopen(fd, text ? (readBack ? "w+" : "w") : (readBack ? "w+b" : "wb"));
    if (f == nullptr) _close(fd);
    return f;
}

bool isAvoided(const FileIdentity &id, const FileIdentity *avoid, int avoidCount) {
    for (int i = 0; i < avoidCount; i++)
        if (sameIdentity(id, avoid[i])) return true;
    return false;
}

// The temporary files being written, which Ctrl-C or a termination request
// removes first; each is opened with FILE_SHARE_DELETE, so that it can be
// deleted while open.
constexpr int TEMP_SLOTS = 4;
std::atomic<const char *> tempFiles[TEMP_SLOTS];
// Set while a temporary file is created and not yet in tempFiles. The
// handler runs on a thread of its own, so it waits for the file (a moment).
std::atomic<bool> creatingTemp;
constexpr int CREATION_WAIT_MS = 1000;

void removeTempFilesAndEnd(int sig) {
    for (int waited = 0; creatingTemp.load() && waited < CREATION_WAIT_MS; waited++)
        Sleep(1);
    for (std::atomic<const char *> &slot : tempFiles) {
        const char *name = slot.load();
        if (name != nullptr) DeleteFileA(name);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void catchEndingSignals() {
    static bool installed;
    if (installed) return;
    installed = true;
    for (int sig : {SIGINT, SIGTERM, SIGBREAK}) {
        if (std::signal(sig, removeTempFilesAndEnd) == SIG_IGN) std::signal(sig, SIG_IGN);
    }
}

bool rememberTemp(const char *name) {
    for (std::atomic<const char *> &slot : tempFiles) {
        const char *none = nullptr;
        if (slot.compare_exchange_strong(none, name)) return true;
    }
    return false;
}

void forgetTemp(const char *name) {
    for (std::atomic<const char *> &slot : tempFiles) {
        const char *mine = name;
        slot.compare_exchange_strong(mine, nullptr);
    }
}

// What stands at a name a new file is to take: nothing (or a link, which is
// replaced, not followed), a regular file whose attributes and security the
// new file keeps, or something that refuses the name.
constexpr int NAME_FREE = 0;
constexpr int NAME_FILE = 1;
constexpr int NAME_REFUSED = -1;

int whatStandsAt(const char *path) {
    HANDLE h = CreateFileA(path, 0, SHARE_ALL, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NAME_FREE
                                                                              : NAME_REFUSED;
    }
    BY_HANDLE_FILE_INFORMATION data;
    int what = NAME_REFUSED;
    if (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &data) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        what = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? NAME_FREE : NAME_FILE;
    CloseHandle(h);
    return what;
}

// ReplaceFileA refuses to replace a read-only file and, in some versions,
// to keep its attributes: the read-only bit is cleared first, and the old
// attributes are set on the result.
bool replaceKeepingOld(const char *path, const char *temp) {
    DWORD old = GetFileAttributesA(path);
    bool cleared = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) &&
                   SetFileAttributesA(path, keptAttributes(old & ~FILE_ATTRIBUTE_READONLY));
    if (ReplaceFileA(path, temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) ||
        MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (old != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path, keptAttributes(old));
        return true;
    }
    if (cleared) SetFileAttributesA(path, keptAttributes(old));
    return false;
}

}  // namespace

int streamDescriptor(FILE *f) {
    return _fileno(f);
}

int streamFileInfo(FILE *f, FileInfo *info) {
    intptr_t h = _get_osfhandle(_fileno(f));
    if (h == -1) return -1;
    handleInfo(reinterpret_cast<HANDLE>(h), info);
    return 0;
}

int pathFileInfo(const char *path, FileInfo *info) {
    HANDLE h = CreateFileA(path, 0, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    handleInfo(h, info);
    CloseHandle(h);
    return 0;
}

// A directory does not open as a stream at all.
FILE *openInputFile(const char *path, FileInfo *info) {
    FILE *f = std::fopen(path, "rb");
    if (f == nullptr) return nullptr;
    intptr_t h = _get_osfhandle(_fileno(f));
    if (h == -1) {
        std::fclose(f);
        return nullptr;
    }
    handleInfo(reinterpret_cast<HANDLE>(h), info);
    return f;
}

// The name is opened without following a reparse point and refused when it
// is one, when it is not a file on disk, when it has other names (hard
// links) or when it is the input or the list itself; only then is it
// emptied. A new file gets the input's attributes (a read-only input gives a
// read-only copy, as its permission bits do on POSIX); an existing one keeps
// its own.
FILE *openOutputFile(const char *path, const FileInfo *like, const FileIdentity *avoid,
                     int avoidCount) {
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                    keptAttributes(like->mode) | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    BY_HANDLE_FILE_INFORMATION data;
    FileInfo info;
    bool refused = GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &data);
    if (!refused) {
        fillInfo(data, &info);
        refused = (data.dwFileAttributes &
                   (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
                  data.nNumberOfLinks != 1 || isAvoided(info.id, avoid, avoidCount);
    }
    if (refused || !SetEndOfFile(h)) {
        CloseHandle(h);
        if (created) DeleteFileA(path);
        return nullptr;
    }
    FILE *f = streamOfHandle(h, false);
    if (f == nullptr && created) DeleteFileA(path);
    return f;
}

// The temporary file lies beside `path` as "PATH.PID-N.tmp". CREATE_NEW fails
// on any existing name, a link included, so nothing but a new file is opened.
// It is created plain, so that it can still be removed after a failed job;
// the attributes to keep come with the replacement: those of the file it
// replaces, or like's where it takes a free name (a link's).
int beginSafeFile(SafeFile *sf, const char *path, int flags, FILE *like, const FileInfo *likeInfo) {
    sf->stream = nullptr;
    sf->path = path;
    sf->tempName[0] = '\0';
    sf->lateMode = like != nullptr ? likeInfo->mode : 0;
    int what = whatStandsAt(path);
    if (what == NAME_REFUSED) return -1;
    sf->replaces = what == NAME_FILE;
    catchEndingSignals();
    static unsigned counter = 0;
    DWORD pid = GetCurrentProcessId();
    for (int i = 0; i < TEMP_NAME_TRIES; ++i) {
        int len = std::snprintf(sf->tempName, sizeof sf->tempName, "%s.%lu-%u.tmp", path,
                                static_cast<unsigned long>(pid), counter++);
        if (len < 0 || static_cast<size_t>(len) >= sizeof sf->tempName) return -1;
        creatingTemp.store(true);
        bool readBack = (flags & SAFE_READ_BACK) != 0;
        HANDLE h =
            CreateFileA(sf->tempName, GENERIC_WRITE | (readBack ? GENERIC_READ : 0),
                        FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD error = GetLastError();
        bool remembered = h != INVALID_HANDLE_VALUE && rememberTemp(sf->tempName);
        creatingTemp.store(false);
        if (h == INVALID_HANDLE_VALUE) {
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return -1;
        }
        if (!remembered) {
            CloseHandle(h);
            DeleteFileA(sf->tempName);
            return -1;
        }
        sf->stream = streamOfHandle(h, (flags & SAFE_TEXT) != 0, readBack);
        if (sf->stream != nullptr) return 0;
        DeleteFileA(sf->tempName);
        forgetTemp(sf->tempName);
        return -1;
    }
    return -1;
}

// A file that replaces another takes over its security descriptor and
// attributes; one in a free place gets like's attributes, if any, before it
// shows under the name.
int commitSafeFile(SafeFile *sf) {
    FILE *f = sf->stream;
    sf->stream = nullptr;
    bool written = std::fflush(f) == 0 && !std::ferror(f);
    written = std::fclose(f) == 0 && written;
    int result = SAFE_WRITE_FAILED;
    if (written) {
        bool placed = sf->replaces
                          ? replaceKeepingOld(sf->path, sf->tempName)
                          : (sf->lateMode == 0 ||
                             SetFileAttributesA(sf->tempName, keptAttributes(sf->lateMode))) &&
                                MoveFileExA(sf->tempName, sf->path,
                                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        result = placed ? SAFE_DONE : SAFE_NOT_PLACED;
    }
    if (result != SAFE_DONE) {
        SetFileAttributesA(sf->tempName, FILE_ATTRIBUTE_NORMAL);  // removable again
        DeleteFileA(sf->tempName);
    }
    forgetTemp(sf->tempName);
    return result;
}

void abandonSafeFile(SafeFile *sf) {
    if (sf->stream != nullptr) std::fclose(sf->stream);
    sf->stream = nullptr;
    DeleteFileA(sf->tempName);
    forgetTemp(sf->tempName);
}
