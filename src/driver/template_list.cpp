// template_list.cpp - the template run ("-f"): walks a directory tree depth
// first and writes, for every GIF or JPEG file met, a group of seven lines
// that names the file and the fields still to be filled in.
#include <cstdio>
#include <cstring>

#include "driver.h"
#include "platform_dir.h"

namespace {

// One entry path: at most 4095 bytes plus the NUL. Each directory level keeps
// its own buffer on the stack.
constexpr int ENTRY_PATH_SIZE = 4096;

// Directory levels below the top that are entered at most. A level costs a
// little more than one entry-path buffer of stack, and paths of up to 4095
// bytes allow about 2000 levels ("a/a/a/..."), more than a default 8 MiB stack
// holds; deeper directories are skipped like directories that cannot be opened.
constexpr int MAX_DEPTH = 1000;

// Buffer of the template list's stream: groups are written as their files are
// met and leave the process in large blocks.
constexpr size_t LIST_BUF_SIZE = 65536;
char listBuf[LIST_BUF_SIZE];

// Lines 2 to 7 of a template group; line 1 is the entry path and ",yomi1".
const char GROUP_LINE1_TAIL[] = ",yomi1\n";
const char GROUP_FIXED_LINES[] = ",hyoki1\n,hinsi1\n,category1\n,type\n,tag1\n,tagcont\n";

// A directory on the way from the top of the walk to the one being read.
// Meeting one of them again (through a symbolic link to an ancestor, or the
// directory itself) would walk the same tree without end.
struct DirOnPath {
    FileIdentity id;
    int depth;
    const DirOnPath *up;
};

bool isOnPath(const FileIdentity &id, const DirOnPath *dir) {
    for (; dir != nullptr; dir = dir->up) {
        if (sameIdentity(dir->id, id)) return true;
    }
    return false;
}

// Lower-cases A to Z only; no locale is involved.
char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoreCase(const char *s, const char *lower) {
    for (; *s != '\0' && *lower != '\0'; ++s, ++lower) {
        if (lowerAscii(*s) != *lower) return false;
    }
    return *s == *lower;
}

// The suffix runs from the last '.' to the end. Taking it from the entry's
// name gives the same answer as from its whole path: a '.' in a directory part
// leaves a '/' in the suffix, which never matches.
bool hasImageSuffix(const char *name) {
    const char *dot = std::strrchr(name, '.');
    if (dot == nullptr) return false;
    return equalsIgnoreCase(dot, ".gif") || equalsIgnoreCase(dot, ".jpg") ||
           equalsIgnoreCase(dot, ".jpeg");
}

bool isDotOrDotDot(const char *name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

void writeGroup(FILE *list, const char *entryPath) {
    std::fputs(entryPath, list);  // unchanged and unquoted, commas included
    std::fputs(GROUP_LINE1_TAIL, list);
    std::fputs(GROUP_FIXED_LINES, list);
}

// Walks `dir`, whose ancestors on the walk are `up` (none for the top).
// Returns -1 when the directory cannot be opened, otherwise the value left by
// the last entry handled: 0, -1 for an entry that could not be examined, or a
// subdirectory walk's result.
int walkDir(const char *dir, FILE *list, const DirOnPath *up) {
    int depth = up == nullptr ? 0 : up->depth + 1;
    if (depth > MAX_DEPTH) return -1;
    PlatformDir *d = openDirectory(dir);
    if (d == nullptr) return -1;  // not reported, at any level

    // Without the directory's own status no entry can be examined either.
    FileIdentity id;
    if (directoryIdentity(d, &id) != 0) {
        closeDirectory(d);
        return -1;
    }
    if (isOnPath(id, up)) {
        closeDirectory(d);
        return 0;  // a link back to a directory already being walked
    }
    const DirOnPath here{id, depth, up};

    int result = 0;
    int kind = ENTRY_OTHER;
    char entryPath[ENTRY_PATH_SIZE];
    while (const char *name = readDirectory(d)) {
        int len = std::snprintf(entryPath, sizeof entryPath, "%s/%s", dir, name);
        if (len < 0 || len >= ENTRY_PATH_SIZE) {
            result = -1;  // too long to name: skipped, the rest is still read
            continue;
        }
        result = currentEntryKind(d, &kind);
        if (result != 0) continue;  // dangling link or entry gone: the rest is still read
        if (kind == ENTRY_FILE) {
            if (hasImageSuffix(name)) writeGroup(list, entryPath);
        } else if (kind == ENTRY_DIR) {
            // A directory named like an image is walked, never listed.
            if (!isDotOrDotDot(name)) result = walkDir(entryPath, list, &here);
        }
    }
    closeDirectory(d);
    return result;
}

}  // namespace

int searchGif(const char *dir, FILE *list) {
    return walkDir(dir, list, nullptr);
}

int startSearchGif(const char *dir, const char *listPath) {
    const char *dot = std::strrchr(listPath, '.');
    if (dot == nullptr || std::strcmp(dot, ".csv") != 0) {
        std::fprintf(stderr, "Error: %s: not csv file\n", listPath);
        return -1;
    }
    FILE *list = std::fopen(listPath, "w");  // text mode
    if (list == nullptr) {
        std::fprintf(stderr, "Error: %s: cannot write open\n", listPath);
        return -1;
    }
    std::setvbuf(list, listBuf, _IOFBF, sizeof listBuf);
    int result = searchGif(dir, list);
    std::fclose(list);
    return result;
}
