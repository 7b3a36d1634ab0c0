// list_report.cpp - prints the messages of emojitag-list.
#include "list_report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "show_text.h"

namespace {

const char PROGRAM[] = "emojitag-list";

// Lines leave the process in large blocks.
char outBuf[64 * 1024];

void reportRest(const char *format, va_list args) {
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}

}  // namespace

void reportAtList(const char *source, int line, const char *picture, bool refused,
                  const char *format, va_list args) {
    Shown where;
    std::fprintf(stderr, "%s: %s:%d: ", PROGRAM, showBytes(&where, source, std::strlen(source)),
                 line);
    if (picture != nullptr) std::fprintf(stderr, "%s: ", picture);
    std::vfprintf(stderr, format, args);
    std::fputs(refused ? "; no line for this picture\n" : "\n", stderr);
}

void reportAt(const char *source, int line, const char *format, ...) {
    va_list args;
    va_start(args, format);
    reportAtList(source, line, nullptr, false, format, args);
    va_end(args);
}

void reportRefusedAt(const char *source, int line, const char *picture, const char *format, ...) {
    va_list args;
    va_start(args, format);
    reportAtList(source, line, picture, true, format, args);
    va_end(args);
}

void reportRun(const char *format, ...) {
    std::fprintf(stderr, "%s: ", PROGRAM);
    va_list args;
    va_start(args, format);
    reportRest(format, args);
    va_end(args);
}

void reportRefusal(const char *source, int line, const char *picture, const char *format,
                   va_list args) {
    Shown where;
    std::fprintf(stderr, "%s: %s:%d: %s: ", PROGRAM, showBytes(&where, source, std::strlen(source)),
                 line, picture);
    std::vfprintf(stderr, format, args);
    std::fputs("; no line for this picture\n", stderr);
}

void reportFile(const char *path, const char *format, ...) {
    Shown where;
    std::fprintf(stderr, "%s: %s: ", PROGRAM, showBytes(&where, path, std::strlen(path)));
    va_list args;
    va_start(args, format);
    reportRest(format, args);
    va_end(args);
}

void reportReadError(const char *path) {
    reportFile(path, "read error: %s", std::strerror(errno));
}

bool beginListOutput(WholeFile *out, const char *path) {
    int reason = 0;
    int result = beginWholeFile(out, path, SAFE_BINARY | WHOLE_FILES_ONLY, &reason);
    if (result == WHOLE_NOT_FILE) reportFile(path, "not a regular file");
    if (result == WHOLE_FAILED) reportFile(path, "%s", cannotWrite(reason));
    if (result != WHOLE_DONE) return false;
    std::setvbuf(out->stream, outBuf, _IOFBF, sizeof outBuf);
    return true;
}

bool finishListOutput(WholeFile *out, bool keep) {
    if (!keep && out->path != nullptr) {
        abandonWholeFile(out);
        return true;
    }
    // Every picture refused, or a template without a group.
    int reason = 0;
    int result = finishWholeFile(out, &reason);
    const char *where = out->path != nullptr ? out->path : "standard output";
    if (result == WHOLE_EMPTY) reportFile(where, "nothing to write, left as it was");
    if (result == WHOLE_FAILED) reportFile(where, "%s", cannotWrite(reason));
    return result == WHOLE_DONE;
}
