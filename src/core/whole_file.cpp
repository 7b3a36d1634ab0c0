// whole_file.cpp - an output file: begun, measured by its content, and put in
// place or left out.
#include "whole_file.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr int SAFE_FLAGS = SAFE_BINARY | SAFE_TEXT;

// Appends the body written so far to the file.
bool appendBody(FILE *file, FILE *body) {
    static char copyBuf[64 * 1024];
    if (std::fflush(body) != 0 || std::ferror(body) || std::fseek(body, 0, SEEK_SET) != 0)
        return false;
    size_t n;
    while ((n = std::fread(copyBuf, 1, sizeof copyBuf, body)) > 0)
        if (std::fwrite(copyBuf, 1, n, file) != n) return false;
    return !std::ferror(body) && std::feof(body);
}

}  // namespace

int beginWholeFile(WholeFile *f, const char *path, int flags, int *reason) {
    f->path = path;
    f->stream = stdout;
    f->body = nullptr;
    f->flags = flags;
    f->contentStart = 0;
    if (path == nullptr) return WHOLE_DONE;
    // Only a regular file (or a link, which is replaced) is replaced.
    int kind = ENTRY_FILE;
    if ((flags & WHOLE_FILES_ONLY) != 0 && pathEntryKind(path, &kind) == 0 && kind != ENTRY_FILE)
        return WHOLE_NOT_FILE;
    errno = 0;
    if (beginSafeFile(&f->file, path, flags & SAFE_FLAGS, nullptr, nullptr) != 0) {
        *reason = errno;
        return WHOLE_FAILED;
    }
    f->stream = f->file.stream;
    if ((flags & WHOLE_BODY_LATER) == 0) return WHOLE_DONE;
    errno = 0;
    if (beginSafeFile(&f->bodyFile, path, (flags & SAFE_FLAGS) | SAFE_READ_BACK, nullptr,
                      nullptr) != 0) {
        *reason = errno;
        abandonSafeFile(&f->file);
        return WHOLE_FAILED;
    }
    f->body = f->bodyFile.stream;
    return WHOLE_DONE;
}

void endWholeFilePreamble(WholeFile *f) {
    if (f->path != nullptr) f->contentStart = std::ftell(f->stream);
}

int finishWholeFile(WholeFile *f, int *reason) {
    if (f->path == nullptr) {
        errno = 0;
        if (std::fflush(f->stream) == 0 && !std::ferror(f->stream)) return WHOLE_DONE;
        *reason = errno;
        return WHOLE_FAILED;
    }
    if (f->body != nullptr) {
        errno = 0;
        bool appended = appendBody(f->stream, f->body);
        *reason = errno;
        abandonSafeFile(&f->bodyFile);
        f->body = nullptr;
        if (!appended) {
            abandonSafeFile(&f->file);
            return WHOLE_FAILED;
        }
    }
    // Written content moves the stream on; a stream that cannot tell where
    // it is has failed.
    long end = std::ftell(f->stream);
    if ((f->flags & WHOLE_KEEP_EMPTY) == 0 && end >= 0 && end <= f->contentStart) {
        abandonSafeFile(&f->file);
        return WHOLE_EMPTY;
    }
    errno = 0;
    if (commitSafeFile(&f->file) == SAFE_DONE) return WHOLE_DONE;
    *reason = errno;
    return WHOLE_FAILED;
}

void abandonWholeFile(WholeFile *f) {
    if (f->path == nullptr) return;
    if (f->body != nullptr) abandonSafeFile(&f->bodyFile);
    abandonSafeFile(&f->file);
    f->body = nullptr;
}

const char *cannotWrite(int reason) {
    static char text[160];
    if (reason == 0) return "cannot write";
    std::snprintf(text, sizeof text, "cannot write: %s", std::strerror(reason));
    return text;
}
