// report.cpp - the one line per problem on standard error.
#include <cstdio>

#include "extract.h"

int problemCount;

void report(const char *path, const char *reason) {
    std::fprintf(stderr, "emojitag-extract: %s: %s\n", path, reason);
    problemCount++;
}
