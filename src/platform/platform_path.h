// platform_path.h - how the platform spells a path: its absolute form, the
// bytes its file names are in, what separates the names, and where the part
// naming the root ends. One implementation per platform (posix_path.cpp,
// win32_path.cpp), chosen by the build.
#ifndef EMOJITAG_PLATFORM_PATH_H
#define EMOJITAG_PLATFORM_PATH_H

#include <cstddef>

// The absolute form of `path` in `out` (capacity `cap`), found without
// looking at the file system beyond the current directory, links not
// resolved. POSIX: a relative path is joined to the current directory, "."
// and ".." stay as they stand. Windows: the system's full path name (drive or
// share, "." and ".." resolved, backslashes). 0, or -1 when it does not fit
// or the current directory cannot be read.
int fullPath(const char *path, char *out, size_t cap);

// True when the names the system hands over are CP932 bytes (the ANSI code
// page of Japanese Windows); false when they are taken as UTF-8 (POSIX, where
// a name may be any bytes).
bool namesInCp932();

// True for a byte that separates the names in a path: '/' on every
// platform, '\\' on Windows too. Only meaningful in a path that is ASCII or
// UTF-8: in CP932 the byte 0x5C can be the second half of a character.
bool isPathSeparator(char c);

// The length of the part of an absolute path (in UTF-8) that names the root
// of its file system, separator included: "/" on POSIX; "C:\" or
// "\\server\share\" on Windows. Two paths whose roots differ have no relative
// path between them.
size_t pathRootLength(const char *path);

#endif
