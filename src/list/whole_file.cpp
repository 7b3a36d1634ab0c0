// whole_file.cpp - a companion's whole file: begun, measured by its content,
// and put in place or left out.
#include "whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int beginWholeFile(SafeFile *file, const char *path, int flags, int *reason) {
    errno = 0;
    if (beginSafeFile(file, path, flags, nullptr, nullptr) == 0) return 0;
    *reason = errno;
    return -1;
}

long wholeFileMark(const SafeFile *file) {
    return std::ftell(file->stream);
}

int finishWholeFile(SafeFile *file, long contentStart, int *reason) {
    // Written content moves the stream on; a stream that cannot tell where
    // it is has failed.
    long end = std::ftell(file->stream);
    if (end >= 0 && end <= contentStart) {
        abandonSafeFile(file);
        return WHOLE_EMPTY;
    }
    errno = 0;
    if (commitSafeFile(file) == SAFE_DONE) return WHOLE_DONE;
    *reason = errno;
    return WHOLE_FAILED;
}

const char *cannotWrite(int reason) {
    static char text[160];
    if (reason == 0) return "cannot write";
    std::snprintf(text, sizeof text, "cannot write: %s", std::strerror(reason));
    return text;
}
