// platform_file.h - the file operations whose rules differ between platforms:
// what identifies a file and what a copy keeps of it, reading without ever
// waiting, writing into an existing output only when it is the tool's to
// write, and writing a whole new file that takes its name only when
// complete. Every file a program writes goes through openOutputFile or the
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
// from the open file. Null for a directory and on failure.
FILE *openInputFile(const char *path, FileInfo *info);

// Opens `path` for binary writing, creating it or emptying it, but only when
// it is (or becomes) a regular file with a single name, reached without
// following a link, owned by the user running the program or by like's
// owner, and none of the `avoidCount` files `avoid` identifies (the input,
// the list being read); never blocks on a FIFO or device. It gets like's
// permissions at most: a file it creates is made so, an existing one
// narrowed to them (or refused when that is not allowed), and group bits go
// only to like's group. Null when refused or on failure, with nothing
// written anywhere.
FILE *openOutputFile(const char *path, const FileInfo *like, const FileIdentity *avoid,
                     int avoidCount);

// A whole new file, written under a temporary name beside `path` and put in
// its place only when complete. The per-call state of beginSafeFile,
// commitSafeFile and abandonSafeFile; the caller keeps it (static or on the
// stack) from begin to commit or abandon and writes only through `stream`.
constexpr size_t SAFE_NAME_SIZE = 4096 + 32;
struct SafeFile {
    FILE *stream;                   // the new file, open for writing
    const char *path;               // the name it takes when complete
    char tempName[SAFE_NAME_SIZE];  // its name while it is written
    unsigned long lateMode;         // attributes set after the last write (0: none)
    int replaces;                   // takes over the replaced file's attributes on commit
};

// Flags of beginSafeFile.
constexpr int SAFE_BINARY = 0;
constexpr int SAFE_TEXT = 1;  // text mode: lines end as the platform's text files do
// Open for reading too: a scratch file that the program reads back through
// `stream` (after a seek) and then abandons; never reopened by name.
constexpr int SAFE_READ_BACK = 2;

// Begins a new file for `path`: created by the program itself (exclusively,
// never through a link) in path's directory, open for writing in binary or
// text mode, and for reading too with SAFE_READ_BACK (`flags`). Its attributes are those of `like`,
// an open file described by *likeInfo (owner, group, mode, ACLs and extended attributes, as far as
// the system lets the user keep them; a group that cannot be kept takes the group bits with it).
// Without `like`, those of the regular file that stands at `path` now, or, when there is none or
// only a symbolic link (which the new file replaces; it is never followed), those of any new file.
// A directory, FIFO, device or socket at `path` is refused before anything
// is created. Until commit or abandon, a SIGINT, SIGTERM or SIGHUP removes
// the temporary file before it ends the process. 0, or -1 with nothing left
// behind.
int beginSafeFile(SafeFile *sf, const char *path, int flags, FILE *like, const FileInfo *likeInfo);

// Results of commitSafeFile.
constexpr int SAFE_DONE = 0;           // the new file stands at its name
constexpr int SAFE_WRITE_FAILED = -1;  // its content could not be written whole
constexpr int SAFE_NOT_PLACED = -2;    // complete, but it could not take its name

// Flushes and closes the new file and, when every write succeeded, renames it
// to its name in one step: the old file stays whole until then, and the name
// never goes missing. On failure the temporary file is removed and the old
// file is as it was.
int commitSafeFile(SafeFile *sf);

// Closes and removes the new file; the old one stays as it was.
void abandonSafeFile(SafeFile *sf);

#endif
