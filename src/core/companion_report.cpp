// companion_report.cpp - prints the companions' messages about their inputs.
#include "companion_report.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "show_text.h"

namespace {

const char *program = "";

void reportRest(const char *format, va_list args) {
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}

}  // namespace

void setCompanionName(const char *name) {
    program = name;
}

void reportAtList(const char *source, int line, const char *picture, bool refused,
                  const char *format, va_list args) {
    Shown where;
    std::fprintf(stderr, "%s: %s:%d: ", program, showBytes(&where, source, std::strlen(source)),
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
    std::fprintf(stderr, "%s: ", program);
    va_list args;
    va_start(args, format);
    reportRest(format, args);
    va_end(args);
}

void reportFile(const char *path, const char *format, ...) {
    Shown where;
    std::fprintf(stderr, "%s: %s: ", program, showBytes(&where, path, std::strlen(path)));
    va_list args;
    va_start(args, format);
    reportRest(format, args);
    va_end(args);
}

void reportReadError(const char *path) {
    reportFile(path, "read error: %s", std::strerror(errno));
}
