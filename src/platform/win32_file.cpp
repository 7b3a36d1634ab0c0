// win32_file.cpp - the file operations of the platform seam on Windows, with
// narrow (ANSI) names throughout. A file's identity is its volume serial
// number and file index; what a copy keeps of it are its attributes
// (read-only, hidden, system, archive). The finished output takes the
// input's place with MoveFileExA, which keeps the old file until the new one
// is complete.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

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
    info->mode = data.dwFileAttributes;
    info->owner = 0;
    info->group = 0;
}

int handleInfo(HANDLE h, FileInfo *info) {
    BY_HANDLE_FILE_INFORMATION data;
    if (!GetFileInformationByHandle(h, &data)) return -1;
    fillInfo(data, info);
    return 0;
}

DWORD keptAttributes(unsigned long mode) {
    DWORD kept = static_cast<DWORD>(mode) & KEPT_ATTRIBUTES;
    return kept == 0 ? FILE_ATTRIBUTE_NORMAL : kept;
}

// Wraps an open handle in a binary stream for writing; closes the handle and
// gives null on failure.
FILE *streamOfHandle(HANDLE h) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd == -1) {
        CloseHandle(h);
        return nullptr;
    }
    FILE *f = _fdopen(fd, "wb");
    if (f == nullptr) _close(fd);
    return f;
}

bool isAvoided(const FileIdentity &id, const FileIdentity *avoid, int avoidCount) {
    for (int i = 0; i < avoidCount; i++)
        if (sameIdentity(id, avoid[i])) return true;
    return false;
}

}  // namespace

int streamFileInfo(FILE *f, FileInfo *info) {
    intptr_t h = _get_osfhandle(_fileno(f));
    if (h == -1) return -1;
    return handleInfo(reinterpret_cast<HANDLE>(h), info);
}

int pathFileInfo(const char *path, FileInfo *info) {
    HANDLE h = CreateFileA(path, 0, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    int result = handleInfo(h, info);
    CloseHandle(h);
    return result;
}

// The temporary file lies beside `path` as "PATH.PID-N.tmp". CREATE_NEW fails
// on any existing name, a link included, so nothing but a new file is opened.
// It is created plain, so that it can still be removed after a failed job;
// replaceFile gives it like's attributes just before it takes the place.
FILE *createTempFile(const char *path, const FileInfo *like, char *tempName, size_t cap) {
    (void)like;
    static unsigned counter = 0;
    DWORD pid = GetCurrentProcessId();
    for (int i = 0; i < TEMP_NAME_TRIES; ++i) {
        int len = std::snprintf(tempName, cap, "%s.%lu-%u.tmp", path,
                                static_cast<unsigned long>(pid), counter++);
        if (len < 0 || static_cast<size_t>(len) >= cap) return nullptr;
        HANDLE h = CreateFileA(tempName, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return nullptr;
        }
        FILE *f = streamOfHandle(h);
        if (f == nullptr) DeleteFileA(tempName);
        return f;
    }
    return nullptr;
}

// The name is opened without following a reparse point and refused when it
// is one, when it is not a file on disk, or when it is the input itself (a
// hard link); only then is it emptied.
FILE *openInputFile(const char *path) {
    return std::fopen(path, "rb");
}

FILE *openOutputFile(const char *path, const FileInfo *like, const FileIdentity *avoid,
                     int avoidCount) {
    (void)like;  // a new file gets the plain attributes, never more than the input's
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    BY_HANDLE_FILE_INFORMATION data;
    FileInfo info;
    bool refused = GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &data);
    if (!refused) {
        fillInfo(data, &info);
        refused = (data.dwFileAttributes &
                   (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
                  isAvoided(info.id, avoid, avoidCount);
    }
    if (refused || !SetEndOfFile(h)) {
        CloseHandle(h);
        if (created) DeleteFileA(path);
        return nullptr;
    }
    FILE *f = streamOfHandle(h);
    if (f == nullptr && created) DeleteFileA(path);
    return f;
}

// A read-only `to` refuses to be replaced, so its read-only bit is cleared
// first and put back when the move fails. `from` gets like's attributes
// before the move, so the new file never shows under the name without them;
// a read-only file can still be moved.
int replaceFile(const char *from, const char *to, const FileInfo *like) {
    DWORD old = GetFileAttributesA(to);
    bool cleared = false;
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY)) {
        if (!SetFileAttributesA(to, keptAttributes(old & ~FILE_ATTRIBUTE_READONLY))) return -1;
        cleared = true;
    }
    if (like != nullptr && !SetFileAttributesA(from, keptAttributes(like->mode))) {
        if (cleared) SetFileAttributesA(to, keptAttributes(old));
        return -1;
    }
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    if (like != nullptr) SetFileAttributesA(from, FILE_ATTRIBUTE_NORMAL);  // removable again
    if (cleared) SetFileAttributesA(to, keptAttributes(old));
    return -1;
}

int removeFile(const char *path) {
    return DeleteFileA(path) ? 0 : -1;
}
