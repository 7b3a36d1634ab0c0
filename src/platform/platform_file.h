// platform_file.h - the file operations whose rules differ between platforms:
// what identifies a file and what a copy keeps of it, reading without ever
// waiting, writing into an existing output only when it is the tool's to
// write, and writing a whole new file that takes its name only when
// complete. Every file a program writes goes through openOutputFileIn or the
// SafeFile functions. One implementation per platform (posix_file.cpp,
// win32_file.cpp), chosen by the build. Names are handed to the platform
// byte for byte.
#ifndef EMOJITAG_PLATFORM_FILE_H
#define EMOJITAG_PLATFORM_FILE_H

#include <cstddef>
#include <cstdio>

#include "platform_dir.h"

// What the tool knows of a file: its identity, its kind (ENTRY_FILE,
// ENTRY_DIR or ENTRY_OTHER for a FIFO, device, ...), the number of its names
// (hard links) and the attributes a copy that takes its place keeps. POSIX:
// the permission bits with the set-ID bits (mode & 07777), owner and group.
// Windows: the file attributes (read-only, hidden, ...) in `mode`; owner and
// group unused.
struct FileInfo {
    FileIdentity id;
    int kind;
    unsigned long links;
    unsigned long mode;
    unsigned long owner;
    unsigned long group;
    unsigned long long size;  // bytes of a regular file when examined
};

// The descriptor (POSIX) or C runtime file number (Windows) under a stream
// of the tool's own or any other file stream; -1 for a stream on no file.
int streamDescriptor(FILE *f);

// Information of an open file; 0, or -1 when it cannot be read.
int streamFileInfo(FILE *f, FileInfo *info);

// Information of the file a path names (links followed); 0, or -1 when the
// path names nothing that can be examined.
int pathFileInfo(const char *path, FileInfo *info);

// Opens `path` for binary reading without ever waiting for a writer (a FIFO
// or device opens at once and reads as ended or failing) and fills *info
// from the open file. Null for a directory and on failure. Windows: the name
// is opened for its attributes first; only a file on disk is then opened for
// reading, through that handle (ReOpenFile). A device (NUL, COM1) or pipe
// keeps the attributes-only handle, so its stream fails every read at once,
// and a name that cannot be opened so (CON) gives null.
FILE *openInputFile(const char *path, FileInfo *info);

// A directory held open while a job works in it: every file of the job is
// named relative to it, so that a folder renamed or a link flipped on the
// path between two steps cannot split one job over two directories. POSIX:
// a descriptor of the directory (AT_FDCWD for the current one), opened once.
// Windows: the directory's path, its identity taken at the open and compared
// again before a file is used or takes its name (see win32_file.cpp for what
// that leaves open), and a handle that keeps the directory itself from being
// renamed or removed meanwhile.
constexpr size_t WORK_PATH_SIZE = 4096 + 1;
struct WorkDir {
    int handle;                 // POSIX: the directory's descriptor; Windows: its handle
                                // (HandleToLong)
    int syncable;               // POSIX: its entries can be synced through `handle`
    FileIdentity id;            // Windows: the identity the open found
    char path[WORK_PATH_SIZE];  // the directory part of the path, its separator included ("" for
                                // the current directory)
};

// The longest file name (one component) any function below takes; the
// usual limit of 255 bytes per name.
constexpr size_t WORK_NAME_SIZE = 256;

// The length of the directory part of `path` (up to and including its last
// separator; 0 for a bare name). Windows: '\\' separates too, but not as
// the second byte of a double-byte character, and the drive of "C:NAME" is
// a directory part.
size_t directoryPartLength(const char *path);

// Opens the directory that `path` lies in (its directory part; the current
// directory for a bare name). 0, or -1 when it cannot be opened.
int openWorkDir(WorkDir *dir, const char *path);
void closeWorkDir(WorkDir *dir);
// Puts the directory's entries (the names just given by renames) on disk;
// 0, or -1 (a directory that can only be searched cannot be synced, and
// counts as done). Windows: nothing to do, the renames are written through.
int syncWorkDir(const WorkDir *dir);

// Opens the file `name` of `dir` as openInputFile opens a path.
FILE *openInputFileIn(const WorkDir *dir, const char *name, FileInfo *info);

// Opens the file `name` of `dir` for binary writing, creating it or writing
// over it from its start (an existing file is cut to what was written when
// closed by closeOutputFile, so that its old bytes cost no freeing and no
// new allocation), but only when it is (or becomes) a regular file with a single name,
// reached without following a link, owned by the user running the program or
// by like's owner, and none of the `avoidCount` files `avoid` identifies (the
// input, the list being read); never blocks on a FIFO or device. It gets the
// access of `like` (the open input, described by *likeInfo) at most: a file
// it creates is made so, an existing one narrowed to it (or refused when
// that is not allowed); group bits go only to like's group, and its access
// control list is like's, or none where like has none (never one inherited
// from the directory). Null when refused or on failure, with nothing written
// anywhere. Windows: "owned by the user" compares the file's owner SID with
// the token's user and the token's default owner (the Administrators group
// for an elevated administrator); like's owner is not compared, as FileInfo
// carries no SID, so a file that only the input's owner owns is refused. A
// volume that keeps no security (FAT, exFAT) has no owner to compare.
// "Like's access" is its attributes for a file created; an existing file
// keeps its own attributes and security descriptor.
FILE *openOutputFileIn(const WorkDir *dir, const char *name, FILE *like, const FileInfo *likeInfo,
                       const FileIdentity *avoid, int avoidCount);

// Flushes and closes a stream of openOutputFileIn, first cutting the file at
// the stream's position: what an older, longer file held past it goes.
// -1 (errno set) when a write, the cut or the close failed; the stream is
// closed either way.
int closeOutputFile(FILE *f);

// A whole new file, written under a temporary name beside its final name and
// put in its place only when complete, on disk before it takes the name. The
// per-call state of the SafeFile functions; the caller keeps it (static or
// on the stack) from begin to commit or abandon and writes only through
// `stream`. A SafeFile begun by path holds its own directory; one begun in a
// WorkDir needs that directory open until it is placed or abandoned.
struct SafeFile {
    FILE *stream;                   // the new file, open for writing (null once complete)
    int fd;                         // POSIX: its descriptor, kept until it is placed
    const WorkDir *dir;             // the directory it is written in
    WorkDir ownDir;                 // that directory, for a file begun by path
    char name[WORK_NAME_SIZE];      // the name it takes when complete
    char tempName[WORK_NAME_SIZE];  // its name while it is written
    unsigned long lateMode;         // attributes set after the last write (0: none)
    int replaces;                   // takes over the replaced file's attributes on commit
#if defined(_WIN32)
    // Windows: what placing compares, kept from begin (the identities of the
    // temporary file and of the file it replaces), and the temporary file's
    // handle, open from begin until it is placed or removed through it.
    FileIdentity tempId;
    FileIdentity replacedId;
    void *handle;
#endif
};

// Flags of beginSafeFile.
constexpr int SAFE_BINARY = 0;
constexpr int SAFE_TEXT = 1;  // text mode: lines end as the platform's text files do
// Open for reading too: a file that the program reads back through `stream`
// (after a seek; a scratch file, or an output compared before it is
// completed or abandoned); never reopened by name.
constexpr int SAFE_READ_BACK = 2;

// Begins a new file for `path`: created by the program itself (exclusively,
// under a name no one can predict, never through a link) in path's
// directory, which it opens once and works in to the end, open for writing in
// binary or text mode, and for reading too with SAFE_READ_BACK (`flags`).
// Its attributes are those of `like`, an open file described by *likeInfo
// (owner, group, mode, ACLs and extended attributes, as far as the system
// lets the user keep them; a group that cannot be kept takes the group bits
// with it). Without `like`, those of the regular file that stands at `path`
// now, or, when there is none or only a symbolic link (which the new file
// replaces; it is never followed), those of any new file. A file that takes
// another's attributes gets exactly its access: its ACL, or none where it
// had none (never one inherited from the directory); when that cannot be
// given (an ACL the system refuses), the new file is not made. A directory,
// FIFO, device or socket at `path` is refused before anything is created.
// Until commit or abandon, a signal that ends the process removes the
// temporary file first. 0, or -1 with nothing left behind (errno tells why).
// Windows: the temporary name is ".NAME.XXXXXX" with random small letters
// and digits (RtlGenRandom; names are compared without regard to case),
// created with CREATE_NEW and FILE_FLAG_OPEN_REPARSE_POINT. With `like`, a
// file standing at the name must be like itself. Ctrl-C, Ctrl-Break and
// SIGTERM take the place of the POSIX signals.
int beginSafeFile(SafeFile *sf, const char *path, int flags, FILE *like, const FileInfo *likeInfo);
// The same for the file `name` of `dir`.
int beginSafeFileIn(SafeFile *sf, const WorkDir *dir, const char *name, int flags, FILE *like,
                    const FileInfo *likeInfo);

// Results of commitSafeFile, completeSafeFile and placeSafeFile.
constexpr int SAFE_DONE = 0;           // done (the new file stands at its name)
constexpr int SAFE_WRITE_FAILED = -1;  // its content could not be written whole, or not put on disk
constexpr int SAFE_NOT_PLACED = -2;    // complete, but it could not take its name
constexpr int SAFE_NOT_SYNCED = -3;    // in place, but its name could not be put on disk

// Flushes the new file, puts it on disk and, when every write succeeded,
// renames it to its name in one step and puts that name on disk: the old file
// stays whole until then, and the name never goes missing. On failure the
// temporary file is removed and the old file is as it was (errno tells why).
// Windows: ReplaceFileA (which keeps the replaced file's security
// descriptor, attributes and streams) or MoveFileExA, which take names, not
// handles: just before, the file identities (volume serial number, file
// index) are compared with those of begin, and the file is not placed unless
// the temporary name still leads to the file written, its directory is still
// the one its WorkDir found and a replaced file is still the one found at
// begin (like, when given). A name changed between that comparison and the
// rename is not seen. A temporary name that no longer leads to the file
// written is not removed by name.
int commitSafeFile(SafeFile *sf);

// commitSafeFile in two halves, so that many files can share the cost of
// putting them on disk: completeSafeFile flushes and closes the stream and
// starts the write-back of the content; placeSafeFiles waits for the
// write-back of `count` completed files, makes one flush for all of them,
// and renames each into place (results in `results`). The renames reach the
// disk with syncWorkDir of their directories. A file that fails is removed;
// the old file is as it was. Windows: a file has no write-back of its own
// to start or await, and no flush serves many files: placeSafeFiles flushes
// each file (FlushFileBuffers) before its rename.
int completeSafeFile(SafeFile *sf);
void placeSafeFiles(SafeFile *const *files, int count, int *results);

// Closes and removes the new file (begun or completed); the old one stays as
// it was. Windows: it is removed through its handle, whatever its name has
// become.
void abandonSafeFile(SafeFile *sf);

// Results of removeCheckedFile.
constexpr int REMOVE_DONE = 0;
constexpr int REMOVE_FAILED = -1;    // the system refused (errno tells why)
constexpr int REMOVE_NOT_SAME = -2;  // the name leads elsewhere: another file, or a link

// Removes the file that `path` names, but only when it is still the very
// file `checked` identifies (the identity an open of it gave when it was
// read); a link in the last component is never followed, and is not that
// file. POSIX: the file's directory is opened once and the name is opened
// relative to it without following a link, compared through the descriptor,
// compared again by name just before unlinkat in that directory: a name
// swapped between that last comparison and the unlink is not seen (POSIX
// removes names, not files). Windows: the name is opened without following
// a reparse point, compared through its handle and removed through that
// handle (a read-only file is made writable first), so that the file
// removed is the file compared, whatever its name has become.
int removeCheckedFile(const char *path, const FileIdentity *checked);

#endif
