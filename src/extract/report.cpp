// report.cpp - the one line per problem on standard error.
#include <cstdio>
#include <cstring>

#include "extract.h"
#include "shown_name.h"

namespace {

constexpr const char PREFIX[] = "emojitag-extract: ";
// Room for a report of any path the walk makes, in one write: a scratch
// buffer, emptied by every report.
char message[8192];
// The malformed reports, one per row, made at their first use; the contact
// sheet keeps them as the labels of its counts.
char malformed[IMAGE_FORMAT_COUNT][48];

void writeReport(const char *path, const char *reason) {
    int len = std::snprintf(message, sizeof message, "%s%s: %s\n", PREFIX, path, reason);
    if (len < 0 || static_cast<size_t>(len) >= sizeof message) {
        std::fputs(PREFIX, stderr);
        putShownName(stderr, path);
        std::fprintf(stderr, ": %s\n", reason);
        return;
    }
    showNameBytes(message + sizeof PREFIX - 1, std::strlen(path));
    std::fwrite(message, 1, static_cast<size_t>(len), stderr);
}

}  // namespace

const char *malformedReport(const ImageFormat &format) {
    char *text = malformed[&format - IMAGE_FORMATS];
    if (text[0] == '\0') std::snprintf(text, sizeof malformed[0], "malformed %s", format.name);
    return text;
}

void report(ExtractRun &run, const char *path, const char *reason) {
    run.problems++;
    writeReport(path, reason);
}

void note(ExtractRun &, const char *path, const char *reason) {
    writeReport(path, reason);
}
