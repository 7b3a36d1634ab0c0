// win32_path.cpp - the path rules of platform_path.h on Windows: a drive or
// a share as the root, '\' or '/' between names, names in the ANSI code page
// (CP932 on Japanese Windows), full path names from GetFullPathNameA.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform_path.h"

namespace {

constexpr UINT CP932_CODE_PAGE = 932;

// The length of `path` up to and including its next separator, or all of it.
size_t throughSeparator(const char *path) {
    size_t i = 0;
    while (path[i] != '\0' && !isPathSeparator(path[i]))
        i++;
    return path[i] == '\0' ? i : i + 1;
}

}  // namespace

int fullPath(const char *path, char *out, size_t cap) {
    if (cap > MAXDWORD) cap = MAXDWORD;
    DWORD n = GetFullPathNameA(path, static_cast<DWORD>(cap), out, nullptr);
    return n > 0 && n < cap ? 0 : -1;
}

bool namesInCp932() {
    return GetACP() == CP932_CODE_PAGE;
}

bool isPathSeparator(char c) {
    return c == '/' || c == '\\';
}

size_t pathRootLength(const char *path) {
    // "\\server\share\": two separators, the server's name, the share's.
    if (isPathSeparator(path[0]) && isPathSeparator(path[1])) {
        size_t server = 2 + throughSeparator(path + 2);
        return server + throughSeparator(path + server);
    }
    // "C:\"
    if (path[0] != '\0' && path[1] == ':') return isPathSeparator(path[2]) ? 3 : 2;
    return isPathSeparator(path[0]) ? 1 : 0;
}
