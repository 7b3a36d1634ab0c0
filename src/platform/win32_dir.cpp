// win32_dir.cpp - directory enumeration through FindFirstFileW/FindNextFileW,
// each name handed on in the narrow (ANSI) code page, the bytes a list
// holds, and told apart when it has no exact form there (the narrow calls
// would give "?" or a look-alike, which names no file).
// Entry kinds come from the attributes the enumeration delivers; a reparse
// point (junction, symbolic link) is opened to find what it leads to, so the
// kind and identity are those of its target, as a status call that follows
// links gives them on POSIX.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform_dir.h"

namespace {

// A directory path of the walk, plus a separator and the longest entry name.
constexpr size_t DIR_PATH_SIZE = 4096;
constexpr size_t ENTRY_PATH_SIZE = DIR_PATH_SIZE + MAX_PATH + 2;
// A name of at most MAX_PATH UTF-16 units, two bytes at most for each.
constexpr size_t NAME_SIZE = 2 * MAX_PATH + 1;

}  // namespace

struct PlatformDir {
    HANDLE find;            // INVALID_HANDLE_VALUE once the entries are exhausted
    bool pending;           // `data` holds an entry that readDirectory has not yet returned
    WIN32_FIND_DATAW data;  // the entry returned last (or the pending one)
    char name[NAME_SIZE];   // its name in the narrow code page
    bool exact;             // and that name converts back to the same
    char path[DIR_PATH_SIZE];
    wchar_t widePath[DIR_PATH_SIZE];  // the path in UTF-16 (never longer in units)
};

namespace {

// The separator to put between `dir` and a name. "C:" names the current
// directory of drive C, so nothing goes after a drive; a run of separators
// counts as one, so a path that already ends in one may get another (a last
// byte 0x5C can be the second byte of a CP932 character, so it is no proof).
const char *separatorAfter(const char *dir) {
    size_t len = std::strlen(dir);
    return len > 0 && (dir[len - 1] == ':' || dir[len - 1] == '/') ? "" : "\\";
}

bool joinPath(char *buf, size_t cap, const char *dir, const char *name) {
    int len = std::snprintf(buf, cap, "%s%s%s", dir, separatorAfter(dir), name);
    return len >= 0 && static_cast<size_t>(len) < cap;
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION &info) {
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

int informationOf(HANDLE h, BY_HANDLE_FILE_INFORMATION *info) {
    if (h == INVALID_HANDLE_VALUE) return -1;
    BOOL ok = GetFileInformationByHandle(h, info);
    CloseHandle(h);
    return ok ? 0 : -1;
}

// The information of what `path` leads to, links and junctions followed
// (directories too can be opened with backup semantics and no access).
int pathInformation(const char *path, BY_HANDLE_FILE_INFORMATION *info) {
    return informationOf(
        CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr),
        info);
}

bool toWide(wchar_t *out, size_t cap, const char *narrow) {
    return MultiByteToWideChar(CP_ACP, 0, narrow, -1, out, static_cast<int>(cap)) > 0;
}

// The entry's name in the narrow code page, and whether it reads back as the
// same UTF-16 name: a character the code page lacks becomes "?" or a
// look-alike, and such a name opens no file, or another.
void takeName(PlatformDir *dir) {
    const wchar_t *wide = dir->data.cFileName;
    int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, dir->name, static_cast<int>(NAME_SIZE),
                                nullptr, nullptr);
    if (n <= 0) {
        std::strcpy(dir->name, "?");
        dir->exact = false;
        return;
    }
    wchar_t back[MAX_PATH];
    dir->exact =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, dir->name, -1, back, MAX_PATH) > 0 &&
        std::wcscmp(back, wide) == 0;
}

int kindOfAttributes(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ENTRY_DIR;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return ENTRY_OTHER;
    return ENTRY_FILE;
}

// The information of the current entry's target, by its UTF-16 name, which
// reaches it also where the narrow one does not.
int entryInformation(PlatformDir *dir, BY_HANDLE_FILE_INFORMATION *info) {
    wchar_t entryPath[ENTRY_PATH_SIZE];
    int len = std::swprintf(entryPath, ENTRY_PATH_SIZE, L"%ls%ls%ls", dir->widePath,
                            *separatorAfter(dir->path) != '\0' ? L"\\" : L"", dir->data.cFileName);
    if (len < 0 || static_cast<size_t>(len) >= ENTRY_PATH_SIZE) return -1;
    return informationOf(
        CreateFileW(entryPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr),
        info);
}

}  // namespace

PlatformDir *openDirectory(const char *path) {
    if (path[0] == '\0' || std::strlen(path) >= DIR_PATH_SIZE) return nullptr;
    char pattern[DIR_PATH_SIZE + 2];
    if (!joinPath(pattern, sizeof pattern, path, "*")) return nullptr;
    auto *dir = static_cast<PlatformDir *>(std::malloc(sizeof(PlatformDir)));
    if (dir == nullptr) return nullptr;
    std::strcpy(dir->path, path);
    wchar_t widePattern[DIR_PATH_SIZE + 2];
    if (!toWide(dir->widePath, DIR_PATH_SIZE, path) ||
        !toWide(widePattern, DIR_PATH_SIZE + 2, pattern)) {
        std::free(dir);
        return nullptr;
    }
    dir->find = FindFirstFileW(widePattern, &dir->data);
    dir->pending = dir->find != INVALID_HANDLE_VALUE;
    // The root of a drive has no "." or "..": when it is empty, the search
    // finds nothing at all, and the directory is still one.
    if (!dir->pending) {
        DWORD attributes = GetLastError() == ERROR_FILE_NOT_FOUND ? GetFileAttributesA(path)
                                                                  : INVALID_FILE_ATTRIBUTES;
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            std::free(dir);
            return nullptr;
        }
    }
    return dir;
}

// Opening the directory itself needs the same right as examining its
// entries: without it no entry can be examined either.
int directoryIdentity(PlatformDir *dir, FileIdentity *id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (pathInformation(dir->path, &info) != 0) return -1;
    *id = identityOf(info);
    return 0;
}

const char *readDirectory(PlatformDir *dir) {
    if (dir->pending) {
        dir->pending = false;
        takeName(dir);
        return dir->name;
    }
    if (dir->find == INVALID_HANDLE_VALUE) return nullptr;
    if (!FindNextFileW(dir->find, &dir->data)) {
        FindClose(dir->find);
        dir->find = INVALID_HANDLE_VALUE;
        return nullptr;
    }
    takeName(dir);
    return dir->name;
}

bool currentEntryNameExact(PlatformDir *dir) {
    return dir->exact;
}

// The attributes delivered with the name are what the entry's own status
// shows for anything but a reparse point, so only those cost an open.
int currentEntryKind(PlatformDir *dir, int *kind) {
    DWORD attributes = dir->data.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        BY_HANDLE_FILE_INFORMATION info;
        if (entryInformation(dir, &info) != 0) return -1;  // dangling, or gone
        attributes = info.dwFileAttributes;
    }
    *kind = kindOfAttributes(attributes);
    return 0;
}

void closeDirectory(PlatformDir *dir) {
    if (dir->find != INVALID_HANDLE_VALUE) FindClose(dir->find);
    std::free(dir);
}

int pathEntryKind(const char *path, int *kind) {
    BY_HANDLE_FILE_INFORMATION info;
    if (pathInformation(path, &info) != 0) return -1;
    *kind = kindOfAttributes(info.dwFileAttributes);
    return 0;
}

// Windows sets no per-process limit on open directory searches to raise.
int raiseOpenDirectoryLimit() {
    return 0;
}
