// posix_path.cpp - the path rules of platform_path.h on POSIX: one root,
// '/' between names, names in whatever bytes they were created with (taken
// as UTF-8), the current directory from getcwd.
#include <limits.h>
#include <unistd.h>

#include <cstring>

#include "platform_path.h"

namespace {

// The current directory, read once: the programs never change it.
char currentDir[PATH_MAX];
size_t currentDirLen;

}  // namespace

int fullPath(const char *path, char *out, size_t cap) {
    size_t len = std::strlen(path);
    if (path[0] == '/') {
        if (len >= cap) return -1;
        std::memcpy(out, path, len + 1);
        return 0;
    }
    if (currentDirLen == 0) {
        if (getcwd(currentDir, sizeof currentDir) == nullptr) return -1;
        currentDirLen = std::strlen(currentDir);
    }
    if (currentDirLen + 1 + len >= cap) return -1;
    std::memcpy(out, currentDir, currentDirLen);
    out[currentDirLen] = '/';
    std::memcpy(out + currentDirLen + 1, path, len + 1);
    return 0;
}

bool namesInCp932() {
    return false;
}

bool isPathSeparator(char c) {
    return c == '/';
}

size_t pathRootLength(const char *path) {
    return path[0] == '/' ? 1 : 0;
}
