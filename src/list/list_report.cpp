// list_report.cpp - prints the messages of emojitag-list.
#include "list_report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "show_text.h"

namespace {

const char PROGRAM[] = "emojitag-list";

void reportRest(const char *format, va_list args) {
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}

}  // namespace

void reportAt(const char *source, int line, const char *format, ...) {
    Shown where;
    std::fprintf(stderr, "%s: %s:%d: ", PROGRAM, showBytes(&where, source, std::strlen(source)),
                 line);
    va_list args;
    va_start(args, format);
    reportRest(format, args);
    va_end(args);
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
