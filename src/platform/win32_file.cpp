// win32_file.cpp - the file operations of the platform seam on Windows, with
// narrow (ANSI) names throughout. A file's identity is its volume serial
// number and file index; what a copy keeps of it are its attributes
// (read-only, hidden, system, archive, not content-indexed). An input is
// opened for its attributes first and for reading only when it is a file on
// disk; outputs and new files are opened without following a reparse point.
// A new file is created exclusively under a random name beside its final
// one, in a directory held open until the file is placed, and takes the
// place of an old one with ReplaceFileA, which keeps the old file's security
// descriptor (its ACL and owner), attributes and other streams, or with
// MoveFileExA where nothing is to be kept; both leave the old file whole
// until the new one is complete.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <ntsecapi.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform_file.h"
#include "platform_path.h"

namespace {

// The attributes a copy takes over; the others describe what the file is
// (directory, reparse point, compressed, ...) and cannot be set.
constexpr DWORD KEPT_ATTRIBUTES = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Inputs and outputs are shared as the C library's own streams share them:
// others may read and write meanwhile, but not delete or rename.
constexpr DWORD SHARE_READ_WRITE = FILE_SHARE_READ | FILE_SHARE_WRITE;

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION &data) {
    return FileIdentity{data.dwVolumeSerialNumber,
                        (static_cast<uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow};
}

void fillInfo(const BY_HANDLE_FILE_INFORMATION &data, FileInfo *info) {
    info->id = identityOf(data);
    info->kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ENTRY_DIR : ENTRY_FILE;
    info->links = data.nNumberOfLinks;
    info->mode = data.dwFileAttributes;
    info->owner = 0;
    info->group = 0;
}

// The information of an open handle; a device or pipe, which has none, is
// a file of another kind.
void handleInfo(HANDLE h, FileInfo *info) {
    BY_HANDLE_FILE_INFORMATION data;
    if (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &data)) {
        fillInfo(data, info);
        return;
    }
    *info = FileInfo{FileIdentity{0, 0}, ENTRY_OTHER, 1, FILE_ATTRIBUTE_NORMAL, 0, 0};
}

DWORD keptAttributes(unsigned long mode) {
    DWORD kept = static_cast<DWORD>(mode) & KEPT_ATTRIBUTES;
    return kept == 0 ? FILE_ATTRIBUTE_NORMAL : kept;
}

// Wraps an open handle in a stream: `oflag` for the descriptor (_O_RDONLY,
// _O_BINARY, ...), `mode` for the stream ("rb", "w+", ...). Closes the
// handle and gives null on failure.
FILE *streamOfHandle(HANDLE h, int oflag, const char *mode) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), oflag);
    if (fd == -1) {
        CloseHandle(h);
        return nullptr;
    }
    FILE *f = _fdopen(fd, mode);
    if (f == nullptr) _close(fd);
    return f;
}

// A stream for writing a new file, binary or text, and for reading too with
// `readBack`.
FILE *newFileStream(HANDLE h, bool text, bool readBack) {
    int oflag = (readBack ? _O_RDWR : _O_WRONLY) | (text ? _O_TEXT : _O_BINARY);
    return streamOfHandle(h, oflag, text ? (readBack ? "w+" : "w") : (readBack ? "w+b" : "wb"));
}

bool isAvoided(const FileIdentity &id, const FileIdentity *avoid, int avoidCount) {
    for (int i = 0; i < avoidCount; i++)
        if (sameIdentity(id, avoid[i])) return true;
    return false;
}

// Marks the file open as `f` for removal when it is closed: the file itself,
// whatever name it has by then. False when the system refuses.
bool removeWhenClosed(FILE *f) {
    intptr_t h = _get_osfhandle(_fileno(f));
    FILE_DISPOSITION_INFO disposition{TRUE};
    return h != -1 && SetFileInformationByHandle(reinterpret_cast<HANDLE>(h), FileDispositionInfo,
                                                 &disposition, sizeof disposition);
}

// The user running the program, as the owners of files name users: the
// token's user, and the owner the token gives the objects it creates (the
// user again, or the Administrators group for an elevated administrator).
// Asked once; the SIDs live in the buffers the token's answers fill.
alignas(TOKEN_USER) unsigned char tokenUser[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
alignas(TOKEN_OWNER) unsigned char tokenOwner[sizeof(TOKEN_OWNER) + SECURITY_MAX_SID_SIZE];
bool runnerAsked;
bool runnerKnown;

bool runnerSids(PSID *user, PSID *owner) {
    if (!runnerAsked) {
        runnerAsked = true;
        HANDLE token;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            DWORD n;
            runnerKnown = GetTokenInformation(token, TokenUser, tokenUser, sizeof tokenUser, &n) &&
                          GetTokenInformation(token, TokenOwner, tokenOwner, sizeof tokenOwner, &n);
            CloseHandle(token);
        }
    }
    *user = reinterpret_cast<TOKEN_USER *>(tokenUser)->User.Sid;
    *owner = reinterpret_cast<TOKEN_OWNER *>(tokenOwner)->Owner;
    return runnerKnown;
}

// Whether the volume of `h` keeps security descriptors at all (FAT and
// exFAT keep none: their files have no owner to compare).
bool keepsOwners(HANDLE h) {
    DWORD flags = 0;
    return !GetVolumeInformationByHandleW(h, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
           (flags & FILE_PERSISTENT_ACLS) != 0;
}

// Whether the file open as `h` (with READ_CONTROL) belongs to the user
// running the program: its owner SID is one of runnerSids. A descriptor of
// just the owner fits the buffer: a header and one SID.
bool ownedByRunner(HANDLE h) {
    alignas(
        SECURITY_DESCRIPTOR) unsigned char sd[sizeof(SECURITY_DESCRIPTOR) + SECURITY_MAX_SID_SIZE];
    DWORD needed;
    PSID owner = nullptr;
    BOOL defaulted;
    if (!GetKernelObjectSecurity(h, OWNER_SECURITY_INFORMATION, sd, sizeof sd, &needed) ||
        !GetSecurityDescriptorOwner(sd, &owner, &defaulted) || owner == nullptr)
        return !keepsOwners(h);
    PSID user;
    PSID created;
    return runnerSids(&user, &created) && (EqualSid(owner, user) || EqualSid(owner, created));
}

// Where the last name of `path` begins: after the last '\' or '/' that is a
// character of its own (in the ANSI code page, 0x5C is also the second byte
// of many characters), or after the drive of "C:NAME".
size_t directoryLength(const char *path) {
    size_t dirLen = 0;
    char drive = static_cast<char>(path[0] | 0x20);
    if (drive >= 'a' && drive <= 'z' && path[1] == ':') dirLen = 2;
    for (size_t i = dirLen; path[i] != '\0'; i++) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1] != '\0')
            i++;
        else if (isPathSeparator(path[i]))
            dirLen = i + 1;
    }
    return dirLen;
}

// The length of the longest start of `name` of at most `max` bytes that
// ends between two characters.
size_t wholeCharacters(const char *name, size_t max) {
    size_t n = 0;
    while (name[n] != '\0') {
        size_t step = IsDBCSLeadByte(static_cast<BYTE>(name[n])) && name[n + 1] != '\0' ? 2 : 1;
        if (n + step > max) break;
        n += step;
    }
    return n;
}

// Tries this many random names before giving up on a directory.
constexpr int TEMP_ATTEMPTS = 100;
constexpr size_t TEMP_RANDOM = 6;
// The file's own part of a temporary name stays within the limit of 255
// characters per name: at most this much of the final name is used.
constexpr size_t TEMP_STEM_MAX = 200;

// "DIR\.NAME.XXXXXX" for path "DIR\NAME"; false when it does not fit `cap`.
bool tempNameFor(const char *path, char *tempName, size_t cap) {
    size_t dirLen = directoryLength(path);
    size_t stem = wholeCharacters(path + dirLen, TEMP_STEM_MAX);
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

// Random characters from the system's generator; false when it gives none
// (a counter or the clock would make the names guessable). Names are
// compared without regard to case, so only small letters and digits.
bool randomChars(char *out) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[TEMP_RANDOM];
    if (!RtlGenRandom(bytes, sizeof bytes)) return false;
    for (size_t i = 0; i < TEMP_RANDOM; i++)
        out[i] = alphabet[bytes[i] % (sizeof alphabet - 1)];
    return true;
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

// Creates a file of the program's own under a free random name (the
// X's at the end of `tempName`) and remembers it for removal. CREATE_NEW
// fails on any name that exists, and FILE_FLAG_OPEN_REPARSE_POINT keeps a
// link or junction at the name from being followed, so nothing but a new
// file is opened. Its handle (with DELETE access, so that it can be removed
// through the handle), or INVALID_HANDLE_VALUE.
HANDLE createTemp(char *tempName, bool readBack) {
    char *random = tempName + std::strlen(tempName) - TEMP_RANDOM;
    for (int i = 0; i < TEMP_ATTEMPTS; ++i) {
        if (!randomChars(random)) return INVALID_HANDLE_VALUE;
        creatingTemp.store(true);
        HANDLE h = CreateFileA(tempName, GENERIC_WRITE | DELETE | (readBack ? GENERIC_READ : 0),
                               FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        DWORD error = GetLastError();
        bool remembered = h != INVALID_HANDLE_VALUE && rememberTemp(tempName);
        creatingTemp.store(false);
        if (h == INVALID_HANDLE_VALUE) {
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return INVALID_HANDLE_VALUE;
        }
        if (!remembered) {
            CloseHandle(h);
            DeleteFileA(tempName);
            return INVALID_HANDLE_VALUE;
        }
        return h;
    }
    return INVALID_HANDLE_VALUE;
}

// What stands at a name a new file is to take: nothing (or a link, which is
// replaced, not followed), a regular file whose attributes and security the
// new file keeps (its identity in *id), or something that refuses the name.
constexpr int NAME_FREE = 0;
constexpr int NAME_FILE = 1;
constexpr int NAME_REFUSED = -1;

int whatStandsAt(const char *path, FileIdentity *id) {
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
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        what = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? NAME_FREE : NAME_FILE;
        *id = identityOf(data);
    }
    CloseHandle(h);
    return what;
}

// What a new file's commit compares before the rename, kept from its begin:
// the directory it is written in (held open as `dir`), the temporary file
// and the file it replaces.
struct TempGuard {
    const SafeFile *file;  // null while the slot is free
    HANDLE dir;
    FileIdentity dirId;
    FileIdentity tempId;
    FileIdentity replacedId;  // when file->replaces
};
TempGuard guards[TEMP_SLOTS];

TempGuard *guardOf(const SafeFile *sf) {
    for (TempGuard &g : guards)
        if (g.file == sf) return &g;
    return nullptr;
}

void releaseGuard(TempGuard *g) {
    if (g == nullptr) return;
    if (g->dir != INVALID_HANDLE_VALUE) CloseHandle(g->dir);
    *g = TempGuard{nullptr, INVALID_HANDLE_VALUE, {0, 0}, {0, 0}, {0, 0}};
}

// Opens the directory that `path` lies in (links followed) and gives its
// identity. Opened for listing and not shared for deletion, it can be
// neither renamed nor removed while the handle is open; a user who may not
// list it gets a handle that only identifies it.
HANDLE openDirectoryOf(const char *path, bool hold, FileIdentity *id) {
    char dirName[SAFE_NAME_SIZE];
    size_t dirLen = directoryLength(path);
    if (dirLen + 2 > sizeof dirName) return INVALID_HANDLE_VALUE;
    std::memcpy(dirName, path, dirLen);
    std::memcpy(dirName + dirLen, ".", 2);
    HANDLE h = INVALID_HANDLE_VALUE;
    if (hold)
        h = CreateFileA(dirName, FILE_LIST_DIRECTORY, SHARE_READ_WRITE, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        h = CreateFileA(dirName, 0, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                        nullptr);
    BY_HANDLE_FILE_INFORMATION data;
    if (h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &data) &&
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *id = identityOf(data);
        return h;
    }
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return INVALID_HANDLE_VALUE;
}

// Whether the temporary name still leads to the file written.
bool tempIsOurs(const SafeFile &sf, const TempGuard *g) {
    FileIdentity id{0, 0};
    return g != nullptr && whatStandsAt(sf.tempName, &id) == NAME_FILE &&
           sameIdentity(id, g->tempId);
}

// Whether the rename would still happen where the file was begun: path's
// directory is the one held open, and the file to be replaced is still the
// one found at begin. A name that was free may have got a file meanwhile,
// which the new one replaces (as the last of two writers wins).
bool stillInPlace(const SafeFile &sf, const TempGuard &g) {
    FileIdentity dirId{0, 0};
    HANDLE dir = openDirectoryOf(sf.path, false, &dirId);
    if (dir == INVALID_HANDLE_VALUE) return false;
    CloseHandle(dir);
    if (!sameIdentity(dirId, g.dirId)) return false;
    FileIdentity id{0, 0};
    int what = whatStandsAt(sf.path, &id);
    return sf.replaces ? what == NAME_FILE && sameIdentity(id, g.replacedId) : what != NAME_REFUSED;
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

// Whether the open output `h` is the tool's to write: a file on disk, not a
// reparse point or directory, with no other name (a hard link is another
// file too), none of the files to avoid, and the runner's own.
bool claimOutput(HANDLE h, const FileIdentity *avoid, int avoidCount) {
    BY_HANDLE_FILE_INFORMATION data;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &data)) return false;
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        data.nNumberOfLinks != 1 || isAvoided(identityOf(data), avoid, avoidCount))
        return false;
    return ownedByRunner(h);
}

}  // namespace

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

// The name is opened for its attributes only: a device (NUL, CON, COM1) or
// a pipe is never opened for reading, and its stream, on that handle, fails
// every read at once. A file on disk is then opened again through the same
// handle (ReOpenFile), for reading: whatever the name leads to by then, it
// is the file examined. A directory does not open without backup semantics.
FILE *openInputFile(const char *path, FileInfo *info) {
    HANDLE probe = CreateFileA(path, FILE_READ_ATTRIBUTES, SHARE_READ_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return nullptr;
    handleInfo(probe, info);
    if (info->kind == ENTRY_DIR) {
        CloseHandle(probe);
        return nullptr;
    }
    HANDLE h = probe;
    if (info->kind == ENTRY_FILE) {
        h = ReOpenFile(probe, GENERIC_READ, SHARE_READ_WRITE, 0);
        CloseHandle(probe);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
    }
    return streamOfHandle(h, _O_RDONLY | _O_BINARY, "rb");
}

// The name is opened without following a reparse point and refused unless
// claimOutput says it is the tool's to write; only then is it emptied. A
// new file gets the input's attributes (a read-only input gives a read-only
// copy, as its permission bits do on POSIX); an existing one keeps its own,
// and its security descriptor.
FILE *openOutputFile(const char *path, const FileInfo *like, const FileIdentity *avoid,
                     int avoidCount) {
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE | READ_CONTROL, SHARE_READ_WRITE, nullptr, OPEN_ALWAYS,
                    keptAttributes(like->mode) | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    if (!claimOutput(h, avoid, avoidCount) || !SetEndOfFile(h)) {
        CloseHandle(h);
        if (created) DeleteFileA(path);
        return nullptr;
    }
    FILE *f = streamOfHandle(h, _O_WRONLY | _O_BINARY, "wb");
    if (f == nullptr && created) DeleteFileA(path);
    return f;
}

// The temporary file lies beside `path` as ".NAME.XXXXXX". It is created
// plain, so that it can still be removed after a failed job; the attributes
// to keep come with the replacement: those of the file it replaces, or
// like's where it takes a free name (a link's). A file that stands at
// `path` with `like` given must be like itself: the copy replaces only what
// it is a copy of.
int beginSafeFile(SafeFile *sf, const char *path, int flags, FILE *like, const FileInfo *likeInfo) {
    sf->stream = nullptr;
    sf->path = path;
    sf->tempName[0] = '\0';
    sf->lateMode = like != nullptr ? likeInfo->mode : 0;
    FileIdentity replaced{0, 0};
    int what = whatStandsAt(path, &replaced);
    if (what == NAME_REFUSED) return -1;
    if (what == NAME_FILE && like != nullptr && !sameIdentity(replaced, likeInfo->id)) return -1;
    sf->replaces = what == NAME_FILE;
    TempGuard *g = guardOf(nullptr);
    if (g == nullptr || !tempNameFor(path, sf->tempName, sizeof sf->tempName)) return -1;
    *g = TempGuard{sf, INVALID_HANDLE_VALUE, {0, 0}, {0, 0}, replaced};
    g->dir = openDirectoryOf(path, true, &g->dirId);
    catchEndingSignals();
    bool readBack = (flags & SAFE_READ_BACK) != 0;
    HANDLE h =
        g->dir != INVALID_HANDLE_VALUE ? createTemp(sf->tempName, readBack) : INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION data;
    if (h != INVALID_HANDLE_VALUE && !GetFileInformationByHandle(h, &data)) {
        CloseHandle(h);
        DeleteFileA(sf->tempName);
        forgetTemp(sf->tempName);
        h = INVALID_HANDLE_VALUE;
    }
    if (h == INVALID_HANDLE_VALUE) {
        releaseGuard(g);
        return -1;
    }
    g->tempId = identityOf(data);
    sf->stream = newFileStream(h, (flags & SAFE_TEXT) != 0, readBack);
    if (sf->stream != nullptr) return 0;
    DeleteFileA(sf->tempName);
    forgetTemp(sf->tempName);
    releaseGuard(g);
    return -1;
}

// A file that replaces another takes over its security descriptor and
// attributes; one in a free place gets like's attributes, if any, before it
// shows under the name. The names are compared with what begin found just
// before the rename; a file that could not be written whole goes through
// its handle, one that could not be placed by its name while that is still
// its own.
int commitSafeFile(SafeFile *sf) {
    FILE *f = sf->stream;
    sf->stream = nullptr;
    TempGuard *g = guardOf(sf);
    bool written = std::fflush(f) == 0 && !std::ferror(f);
    if (!written) removeWhenClosed(f);
    written = std::fclose(f) == 0 && written;
    int result = SAFE_WRITE_FAILED;
    bool ours = tempIsOurs(*sf, g);
    if (written) {
        bool placed =
            ours && stillInPlace(*sf, *g) &&
            (sf->replaces ? replaceKeepingOld(sf->path, sf->tempName)
                          : (sf->lateMode == 0 ||
                             SetFileAttributesA(sf->tempName, keptAttributes(sf->lateMode))) &&
                                MoveFileExA(sf->tempName, sf->path,
                                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
        result = placed ? SAFE_DONE : SAFE_NOT_PLACED;
    }
    if (result != SAFE_DONE && ours) {
        SetFileAttributesA(sf->tempName, FILE_ATTRIBUTE_NORMAL);  // removable again
        DeleteFileA(sf->tempName);
    }
    forgetTemp(sf->tempName);
    releaseGuard(g);
    return result;
}

void abandonSafeFile(SafeFile *sf) {
    if (sf->stream != nullptr) {
        bool removed = removeWhenClosed(sf->stream);
        std::fclose(sf->stream);
        if (!removed && tempIsOurs(*sf, guardOf(sf))) DeleteFileA(sf->tempName);
    }
    sf->stream = nullptr;
    forgetTemp(sf->tempName);
    releaseGuard(guardOf(sf));
}
