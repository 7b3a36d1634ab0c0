// win32_file.cpp - the file operations of the platform seam on Windows, with
// narrow (ANSI) names throughout. A file's identity is its volume serial
// number and file index; what a copy keeps of it are its attributes
// (read-only, hidden, system, archive, not content-indexed). An input is
// opened for its attributes first and for reading only when it is a file on
// disk; outputs and new files are opened without following a reparse point.
// A job works in one directory, held open (so that it can be neither
// renamed nor removed) and identified when it is opened; the ANSI functions
// take names, not directory handles, so each file goes by the directory's
// path and its own name, and the directory's identity is compared again
// before a file is used or takes its name. A new file is created
// exclusively under a random name beside its final one and takes the place
// of an old one with ReplaceFileA, which keeps the old file's security
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
#include <cerrno>
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

// Marks the file open as `h` (with DELETE access) for removal once its last
// handle is closed: the file itself, whatever name it has by then. False
// when the system refuses.
bool markForRemoval(HANDLE h) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
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

// A file of a WorkDir goes by its full name, the directory's path followed
// by the file's own name: the ANSI functions take no directory handle.
constexpr size_t FULL_NAME_SIZE = WORK_PATH_SIZE + WORK_NAME_SIZE;

// dir->path followed by `name` in `out` (FULL_NAME_SIZE bytes); false when
// the name is longer than one name may be.
bool nameIn(const WorkDir *dir, const char *name, char *out) {
    size_t dirLen = std::strlen(dir->path);
    size_t nameLen = std::strlen(name);
    if (nameLen >= WORK_NAME_SIZE) return false;
    std::memcpy(out, dir->path, dirLen);
    std::memcpy(out + dirLen, name, nameLen + 1);
    return true;
}

// Opens the directory `dirPath` names (a directory part, "" for the current
// directory; links followed) and gives its identity. Held (`hold`), it is
// opened for listing and not shared for deletion, so that it can be neither
// renamed nor removed while the handle is open; a user who may not list it
// gets a handle that only identifies it.
HANDLE openDirectoryHandle(const char *dirPath, bool hold, FileIdentity *id) {
    char dirName[WORK_PATH_SIZE + 1];
    size_t dirLen = std::strlen(dirPath);
    if (dirLen + 2 > sizeof dirName) return INVALID_HANDLE_VALUE;
    std::memcpy(dirName, dirPath, dirLen);
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

// Whether the directory's path still leads to the directory its open found.
// The held handle keeps that directory from being renamed or removed, but
// not a folder above it, nor a junction on the path, from being swapped.
bool stillWorkDir(const WorkDir *dir) {
    FileIdentity id{0, 0};
    HANDLE h = openDirectoryHandle(dir->path, false, &id);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return sameIdentity(id, dir->id);
}

// Tries this many random names before giving up on a directory.
constexpr int TEMP_ATTEMPTS = 100;
constexpr size_t TEMP_RANDOM = 6;
// The file's own part of a temporary name stays within the limit of 255
// characters per name: at most this much of the final name is used.
constexpr size_t TEMP_STEM_MAX = 200;

// ".NAME.XXXXXX" for the name NAME (the X's are replaced by random
// characters); it always fits WORK_NAME_SIZE.
void tempNameFor(const char *name, char *tempName) {
    size_t stem = wholeCharacters(name, TEMP_STEM_MAX);
    char *p = tempName;
    *p++ = '.';
    std::memcpy(p, name, stem);
    p += stem;
    *p++ = '.';
    std::memset(p, 'X', TEMP_RANDOM);
    p[TEMP_RANDOM] = '\0';
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
// removes first: a batch of replacements waits with many of them complete.
// Each is opened with FILE_SHARE_DELETE, so that it can be deleted while
// open.
constexpr int TEMP_SLOTS = 160;
std::atomic<const SafeFile *> tempFiles[TEMP_SLOTS];
// Set while a temporary file is created and not yet in tempFiles. The
// handler runs on a thread of its own, so it waits for the file (a moment).
std::atomic<bool> creatingTemp;
constexpr int CREATION_WAIT_MS = 1000;

// Removed by name: the handles belong to the thread the handler interrupts,
// which may close them at any moment (a handle's value is then another
// object's).
void removeTempFilesAndEnd(int sig) {
    for (int waited = 0; creatingTemp.load() && waited < CREATION_WAIT_MS; waited++)
        Sleep(1);
    char name[FULL_NAME_SIZE];
    for (std::atomic<const SafeFile *> &slot : tempFiles) {
        const SafeFile *sf = slot.load();
        if (sf != nullptr && nameIn(sf->dir, sf->tempName, name)) DeleteFileA(name);
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

// Creates a file of the program's own under a free random name for
// sf->name in sf->dir (sf->tempName) and remembers it for removal.
// CREATE_NEW fails on any name that exists, and FILE_FLAG_OPEN_REPARSE_POINT
// keeps a link or junction at the name from being followed, so nothing but
// a new file is opened. Its handle (with DELETE access, so that it can be
// removed through the handle), or INVALID_HANDLE_VALUE.
HANDLE createTemp(SafeFile *sf, bool readBack) {
    tempNameFor(sf->name, sf->tempName);
    char *random = sf->tempName + std::strlen(sf->tempName) - TEMP_RANDOM;
    char temp[FULL_NAME_SIZE];
    for (int i = 0; i < TEMP_ATTEMPTS; ++i) {
        if (!randomChars(random) || !nameIn(sf->dir, sf->tempName, temp)) break;
        creatingTemp.store(true);
        HANDLE h = CreateFileA(temp, GENERIC_WRITE | DELETE | (readBack ? GENERIC_READ : 0),
                               FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        DWORD error = GetLastError();
        bool remembered = h != INVALID_HANDLE_VALUE && rememberTemp(sf);
        creatingTemp.store(false);
        if (h == INVALID_HANDLE_VALUE) {
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            break;
        }
        if (!remembered) {
            markForRemoval(h);
            CloseHandle(h);
            break;
        }
        return h;
    }
    sf->tempName[0] = '\0';
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

// Whether the temporary name `temp` still leads to the file written.
bool tempIsOurs(const SafeFile &sf, const char *temp) {
    FileIdentity id{0, 0};
    return whatStandsAt(temp, &id) == NAME_FILE && sameIdentity(id, sf.tempId);
}

// Removes the temporary file by its name `temp`, made removable again first
// (the attributes it was to take may include read-only).
void deleteTempName(const char *temp) {
    SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temp);
}

// Closes the temporary file's handle and removes the file: through the
// handle, or by name while the name still leads to it when the system
// refuses that. Its stream is closed already.
void dropTemp(SafeFile *sf) {
    HANDLE h = static_cast<HANDLE>(sf->handle);
    bool removed = h != nullptr && markForRemoval(h);
    if (h != nullptr) CloseHandle(h);
    sf->handle = nullptr;
    char temp[FULL_NAME_SIZE];
    if (!removed && sf->tempName[0] != '\0' && nameIn(sf->dir, sf->tempName, temp) &&
        tempIsOurs(*sf, temp))
        deleteTempName(temp);
    forgetTemp(sf);
    sf->tempName[0] = '\0';
}

// Whether the rename would still happen where the file was begun: the
// directory's path leads to the directory its WorkDir found, and the file
// to be replaced at `path` is still the one found at begin. A name that was
// free may have got a file meanwhile, which the new one replaces (as the
// last of two writers wins).
bool stillInPlace(const SafeFile &sf, const char *path) {
    if (!stillWorkDir(sf.dir)) return false;
    FileIdentity id{0, 0};
    int what = whatStandsAt(path, &id);
    return sf.replaces ? what == NAME_FILE && sameIdentity(id, sf.replacedId)
                       : what != NAME_REFUSED;
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

// Puts one completed file on disk and in its place. FlushFileBuffers is
// the only way to put a file's content on disk, one call per file (there is
// no flush for many files at once). The handle is closed before the rename:
// ReplaceFileA opens the new file for reading, which a handle that does not
// share reading refuses. A file replaces another by ReplaceFileA, which
// keeps the replaced file's security descriptor and attributes; one in a
// free place gets like's attributes, if any, before it shows under the
// name. The names are compared with what begin found just before the
// rename; a file that could not be put on disk goes through its handle,
// one that could not be placed by its name while that is still its own.
int placeSafeFile(SafeFile *sf) {
    HANDLE h = static_cast<HANDLE>(sf->handle);
    if (h == nullptr) return SAFE_WRITE_FAILED;
    if (!FlushFileBuffers(h)) {
        dropTemp(sf);
        return SAFE_WRITE_FAILED;
    }
    CloseHandle(h);
    sf->handle = nullptr;
    char temp[FULL_NAME_SIZE];
    char path[FULL_NAME_SIZE];
    bool ours = nameIn(sf->dir, sf->tempName, temp) && nameIn(sf->dir, sf->name, path) &&
                tempIsOurs(*sf, temp);
    bool placed =
        ours && stillInPlace(*sf, path) &&
        (sf->replaces
             ? replaceKeepingOld(path, temp)
             : (sf->lateMode == 0 || SetFileAttributesA(temp, keptAttributes(sf->lateMode))) &&
                   MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    if (!placed && ours) deleteTempName(temp);
    forgetTemp(sf);
    sf->tempName[0] = '\0';
    return placed ? SAFE_DONE : SAFE_NOT_PLACED;
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

// After the last '\' or '/' that is a character of its own (in the ANSI
// code page, 0x5C is also the second byte of many characters), or after the
// drive of "C:NAME".
size_t directoryPartLength(const char *path) {
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

// The held directory's handle lives in the WorkDir's int: the handles of
// the system's objects are 32-bit values on 64-bit Windows too (only their
// lower 32 bits are significant, so that 32- and 64-bit processes can share
// them), and HandleToLong and LongToHandle convert them without loss.
int openWorkDir(WorkDir *dir, const char *path) {
    size_t len = directoryPartLength(path);
    dir->handle = -1;
    dir->syncable = 0;
    dir->id = FileIdentity{0, 0};
    if (len >= sizeof dir->path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(dir->path, path, len);
    dir->path[len] = '\0';
    HANDLE h = openDirectoryHandle(dir->path, true, &dir->id);
    if (h == INVALID_HANDLE_VALUE) return -1;
    dir->handle = HandleToLong(h);
    return 0;
}

void closeWorkDir(WorkDir *dir) {
    if (dir->handle != -1) CloseHandle(LongToHandle(dir->handle));
    dir->handle = -1;
}

// Nothing to do: MoveFileExA is called with MOVEFILE_WRITE_THROUGH, which
// returns once the rename is on disk, and the rename of ReplaceFileA is
// written through the journal of NTFS.
int syncWorkDir(const WorkDir *dir) {
    (void)dir;
    return 0;
}

// The name is opened as openInputFile opens it, and the stream kept only
// when the directory's path still leads to the directory the WorkDir found.
FILE *openInputFileIn(const WorkDir *dir, const char *name, FileInfo *info) {
    char path[FULL_NAME_SIZE];
    if (!nameIn(dir, name, path)) return nullptr;
    FILE *f = openInputFile(path, info);
    if (f != nullptr && !stillWorkDir(dir)) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

// The name is opened without following a reparse point and refused unless
// claimOutput says it is the tool's to write and it lies in the directory
// the WorkDir found; only then is it emptied. A new file gets the input's
// attributes (a read-only input gives a read-only copy, as its permission
// bits do on POSIX); an existing one keeps its own, and its security
// descriptor. `like` itself is not needed: the attributes come from
// *likeInfo.
FILE *openOutputFileIn(const WorkDir *dir, const char *name, FILE *like, const FileInfo *likeInfo,
                       const FileIdentity *avoid, int avoidCount) {
    (void)like;
    char path[FULL_NAME_SIZE];
    if (!nameIn(dir, name, path)) return nullptr;
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE | READ_CONTROL, SHARE_READ_WRITE, nullptr, OPEN_ALWAYS,
                    keptAttributes(likeInfo->mode) | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    if (!claimOutput(h, avoid, avoidCount) || !stillWorkDir(dir)) {
        CloseHandle(h);
        if (created) DeleteFileA(path);
        return nullptr;
    }
    FILE *f = streamOfHandle(h, _O_WRONLY | _O_BINARY, "wb");
    if (f == nullptr && created) DeleteFileA(path);
    return f;
}

int closeOutputFile(FILE *f) {
    // Cut even after a failed flush: no old byte is left past the new ones.
    bool flushed = std::fflush(f) == 0;
    long long end = _ftelli64(f);
    bool cut = end >= 0 && _chsize_s(_fileno(f), end) == 0;
    int reason = errno;
    bool closed = std::fclose(f) == 0;
    if (!(flushed && cut)) errno = reason;
    return flushed && cut && closed ? 0 : -1;
}

// The temporary file lies beside the name as ".NAME.XXXXXX". It is created
// plain, so that it can still be removed after a failed job; the attributes
// to keep come with the replacement: those of the file it replaces, or
// like's where it takes a free name (a link's). A file that stands at the
// name with `like` given must be like itself: the copy replaces only what
// it is a copy of. The stream is on a duplicate of the file's handle: the
// handle itself stays open after the stream is closed, until the file is
// placed or removed through it.
int beginSafeFileIn(SafeFile *sf, const WorkDir *dir, const char *name, int flags, FILE *like,
                    const FileInfo *likeInfo) {
    sf->stream = nullptr;
    sf->fd = -1;
    sf->dir = dir;
    sf->tempName[0] = '\0';
    sf->lateMode = like != nullptr ? likeInfo->mode : 0;
    sf->replaces = 0;
    sf->tempId = FileIdentity{0, 0};
    sf->replacedId = FileIdentity{0, 0};
    sf->handle = nullptr;
    size_t nameLen = std::strlen(name);
    char path[FULL_NAME_SIZE];
    if (nameLen >= sizeof sf->name || !nameIn(dir, name, path)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(sf->name, name, nameLen + 1);
    int what = whatStandsAt(path, &sf->replacedId);
    if (what == NAME_REFUSED) return -1;
    if (what == NAME_FILE && like != nullptr && !sameIdentity(sf->replacedId, likeInfo->id))
        return -1;
    sf->replaces = what == NAME_FILE;
    catchEndingSignals();
    bool readBack = (flags & SAFE_READ_BACK) != 0;
    HANDLE h = createTemp(sf, readBack);
    if (h == INVALID_HANDLE_VALUE) return -1;
    sf->handle = h;
    BY_HANDLE_FILE_INFORMATION data;
    HANDLE streamHandle = INVALID_HANDLE_VALUE;
    if (GetFileInformationByHandle(h, &data) && stillWorkDir(dir) &&
        DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &streamHandle, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
        sf->tempId = identityOf(data);
        sf->stream = newFileStream(streamHandle, (flags & SAFE_TEXT) != 0, readBack);
    }
    if (sf->stream != nullptr) return 0;
    dropTemp(sf);
    return -1;
}

int beginSafeFile(SafeFile *sf, const char *path, int flags, FILE *like, const FileInfo *likeInfo) {
    sf->stream = nullptr;
    sf->fd = -1;
    sf->handle = nullptr;
    sf->tempName[0] = '\0';
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

// The content reaches the disk in placeSafeFiles, which needs the handle
// only; a file that could not be written whole goes through its handle.
int completeSafeFile(SafeFile *sf) {
    FILE *f = sf->stream;
    sf->stream = nullptr;
    bool written = std::fflush(f) == 0 && !std::ferror(f);
    written = std::fclose(f) == 0 && written;
    if (written) return SAFE_DONE;
    dropTemp(sf);
    return SAFE_WRITE_FAILED;
}

void placeSafeFiles(SafeFile *const *files, int count, int *results) {
    for (int i = 0; i < count; i++)
        results[i] = placeSafeFile(files[i]);
}

int commitSafeFile(SafeFile *sf) {
    int result = completeSafeFile(sf);
    if (result == SAFE_DONE) {
        SafeFile *one[1] = {sf};
        placeSafeFiles(one, 1, &result);
    }
    if (result == SAFE_DONE && syncWorkDir(sf->dir) != 0) result = SAFE_NOT_SYNCED;
    if (sf->dir == &sf->ownDir) closeWorkDir(&sf->ownDir);
    return result;
}

// Begun or completed, the file goes through its handle, still open.
void abandonSafeFile(SafeFile *sf) {
    if (sf->stream != nullptr) std::fclose(sf->stream);
    sf->stream = nullptr;
    if (sf->handle != nullptr || sf->tempName[0] != '\0') dropTemp(sf);
    if (sf->dir == &sf->ownDir) closeWorkDir(&sf->ownDir);
}

// The C library's number for the last error of a removal, for strerror.
static int errnoOfLastError() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        default:
            return EIO;
    }
}

// Sets the attributes of the open file (the read-only one would refuse its
// removal); its times stay as they are. False when the system refuses.
static bool setAttributes(HANDLE h, DWORD attributes) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
}

int removeCheckedFile(const char *path, const FileIdentity *checked) {
    HANDLE h = CreateFileA(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, SHARE_ALL,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = errnoOfLastError();
        return REMOVE_FAILED;
    }
    BY_HANDLE_FILE_INFORMATION data;
    int r = REMOVE_NOT_SAME;
    if (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &data) &&
        !(data.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
        sameIdentity(identityOf(data), *checked)) {
        DWORD old = data.dwFileAttributes;
        bool readOnly = (old & FILE_ATTRIBUTE_READONLY) != 0;
        bool writable = !readOnly || setAttributes(h, old & ~FILE_ATTRIBUTE_READONLY);
        r = writable && markForRemoval(h) ? REMOVE_DONE : REMOVE_FAILED;
        if (r != REMOVE_DONE) {
            errno = errnoOfLastError();
            if (readOnly && writable) setAttributes(h, old);
        }
    }
    CloseHandle(h);
    return r;
}
