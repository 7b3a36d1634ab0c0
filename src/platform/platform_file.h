// platform_file.h - the file operations whose rules differ between platforms:
// what identifies a file, its attributes, creating an output without ever
// opening someone else's file, and putting a finished file in another's
// place. One implementation per platform (posix_file.cpp, win32_file.cpp),
// chosen by the build. Names are handed to the platform byte for byte.
#ifndef EMOJITAG_PLATFORM_FILE_H
#define EMOJITAG_PLATFORM_FILE_H

#include <cstddef>
#include <cstdio>

#include "platform_dir.h"

// What the tool keeps of a file: its identity and the attributes a copy that
// takes its place must keep. POSIX: the permission bits (mode & 07777), owner
// and group. Windows: the file attributes (read-only, hidden, ...) in `mode`;
// owner and group unused.
struct FileInfo {
    FileIdentity id;
    unsigned long mode;
    unsigned long owner;
    unsigned long group;
};

// Information of an open file; 0, or -1 when it cannot be read.
int streamFileInfo(FILE *f, FileInfo *info);

// Information of the file a path names (links followed); 0, or -1 when the
// path names nothing that can be examined.
int pathFileInfo(const char *path, FileInfo *info);

// Creates a new file in the directory of `path`, under a name of its own
// derived from `path` and written to `tempName` (capacity `cap`), and opens it
// for binary writing. Created exclusively: never an existing file, never
// through a link. With `like` it gets like's attributes as far as the system
// allows (a refused change of owner is not an error); without, the attributes
// a new file gets. Null on failure, with nothing left behind.
FILE *createTempFile(const char *path, const FileInfo *like, char *tempName, size_t cap);

// Opens `path` for binary reading without ever waiting for a writer: a FIFO
// or device reads as ended or failing instead of blocking. Null on failure.
FILE *openInputFile(const char *path);

// Opens `path` for binary writing, creating it or emptying it, but only when
// it is (or becomes) a regular file reached without following a link and is
// none of the `avoidCount` files `avoid` identifies (the input, the list
// being read); never blocks on a FIFO or device. It gets like's permissions
// at most: a file it creates is made so, an existing one narrowed to them (or
// refused when that is not allowed). Null when refused or on failure, with
// nothing written anywhere.
FILE *openOutputFile(const char *path, const FileInfo *like, const FileIdentity *avoid,
                     int avoidCount);

// Puts the closed file `from` in the place of `to`: the old `to` stays whole
// until the new one is complete, and `to` never goes missing. With `like`,
// attributes that cannot be set on an open file, or that writing it clears
// (set-ID bits), are set here. 0, or -1 with both files as they were.
int replaceFile(const char *from, const char *to, const FileInfo *like);

// Removes a file; 0 or -1.
int removeFile(const char *path);

#endif
