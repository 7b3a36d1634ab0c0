// template_list.cpp - the template run ("-f"): walks a directory tree depth
// first and writes, for every GIF or JPEG file met, a group of seven lines
// that names the file and the fields still to be filled in.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "csv_reader.h"
#include "image_formats.h"
#include "platform_dir.h"
#include "platform_file.h"
#include "template_list.h"
#include "visited_dirs.h"

namespace {

// One entry path: at most 4095 bytes plus the NUL. The walk keeps a single
// buffer: entering a directory extends the path, leaving it cuts it back.
constexpr int ENTRY_PATH_SIZE = 4096;
char entryPath[ENTRY_PATH_SIZE];

// Buffer of the template list's stream: groups are written as their files are
// met and leave the process in large blocks.
constexpr size_t LIST_BUF_SIZE = 65536;
char listBuf[LIST_BUF_SIZE];
SafeFile templateFile;

// Lines 2 to 7 of a template group; line 1 is the entry path and ",yomi1".
const char GROUP_LINE1_TAIL[] = ",yomi1\n";
const char GROUP_FIXED_LINES[] = ",hyoki1\n,hinsi1\n,category1\n,type\n,tag1\n,tagcont\n";

// One directory on the way from the top of the walk to the one being read.
// The levels live on the heap, not on the machine stack, so the depth of a
// tree is bounded only by the path length and the open directories the
// system allows.
struct Level {
    PlatformDir *dir;
    int pathLen;  // length of the directory's own path in entryPath
    int result;   // the value left by the last entry handled
};

Level *levels;
size_t levelCapacity;
// Every directory entered during the scan: each is walked once, by the first
// path that reaches it, so neither a link cycle nor links that branch to the
// same directory can multiply the walk.
VisitedDirs visited;

// The suffix runs from the last '.' to the end, and the format table says
// which are images.
bool hasImageSuffix(const char *name) {
    return imageFormatOfName(name) != nullptr;
}

bool isDotOrDotDot(const char *name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// A list line ends at CR or LF and its name field at the first comma, so a
// path holding one of them would be read back as another name.
bool isUnlistable(const char *name) {
    return std::strpbrk(name, "\r\n,") != nullptr;
}

// One line however the path is made: its CR and LF bytes are shown as '?'.
void reportUnlistable(const char *path) {
    static char shown[ENTRY_PATH_SIZE];
    std::snprintf(shown, sizeof shown, "%s", path);
    for (char *c = shown; *c != '\0'; ++c) {
        if (*c == '\r' || *c == '\n') *c = '?';
    }
    std::fprintf(stderr, "Error: %s: name cannot be listed\n", shown);
}

void writeGroup(FILE *list, const char *path) {
    std::fputs(path, list);  // unchanged and unquoted
    std::fputs(GROUP_LINE1_TAIL, list);
    std::fputs(GROUP_FIXED_LINES, list);
}

bool reserveLevel(size_t depth) {
    if (depth < levelCapacity) return true;
    size_t capacity = levelCapacity == 0 ? 64 : 2 * levelCapacity;
    auto *grown = static_cast<Level *>(std::realloc(levels, capacity * sizeof(Level)));
    if (grown == nullptr) return false;
    levels = grown;
    levelCapacity = capacity;
    return true;
}

// Opens the directory whose path is entryPath (pathLen bytes) as level
// `depth`. Returns 1 when it was entered, 0 when it was walked before in this
// scan, -1 when it cannot be walked (not reported, at any level).
int enterDirectory(size_t depth, int pathLen) {
    PlatformDir *d = openDirectory(entryPath);
    if (d == nullptr) return -1;
    // Without the directory's own status no entry can be examined either.
    FileIdentity id;
    int added = directoryIdentity(d, &id) == 0 ? addVisited(&visited, id) : -1;
    if (added == 1 && !reserveLevel(depth)) added = -1;
    if (added != 1) {
        closeDirectory(d);
        return added;
    }
    levels[depth] = Level{d, pathLen, 0};
    return 1;
}

// Handles entry `name` of the innermost level; a subdirectory becomes the new
// innermost level (*depth grows). Returns the entry's result: 0, or -1 for an
// entry that could not be examined, named or walked.
int handleEntry(size_t *depth, const char *name, FILE *list) {
    Level &here = levels[*depth - 1];
    size_t nameLen = std::strlen(name);
    size_t len = static_cast<size_t>(here.pathLen) + 1 + nameLen;
    if (len >= ENTRY_PATH_SIZE) return -1;  // too long to name: skipped, the rest is still read
    entryPath[here.pathLen] = '/';
    std::memcpy(entryPath + here.pathLen + 1, name, nameLen + 1);

    int kind = ENTRY_OTHER;
    // A dangling link or an entry gone: the rest is still read.
    if (currentEntryKind(here.dir, &kind) != 0) return -1;
    if (kind == ENTRY_FILE) {
        if (!hasImageSuffix(name)) return 0;
    } else if (kind != ENTRY_DIR || isDotOrDotDot(name)) {
        return 0;
    }
    // A path no list line can carry: an image is not listed; a directory is
    // reported once and not walked, as its name is in the path of all it holds.
    if (isUnlistable(name)) {
        reportUnlistable(entryPath);
        return -1;
    }
    if (kind == ENTRY_FILE) {
        writeGroup(list, entryPath);
        return 0;
    }
    // A directory named like an image is walked, never listed; its result
    // is set when its walk ends.
    int entered = enterDirectory(*depth, static_cast<int>(len));
    if (entered != 1) return entered;
    ++*depth;
    return 0;
}

// Walks the tree below `top` depth first and pre-order, each directory's
// subtree at the point its entry comes up. Returns -1 when the top cannot be
// walked, otherwise the value left by its last entry: 0, -1 for an entry that
// could not be examined, or a subdirectory walk's result.
int walkTree(const char *top, FILE *list) {
    size_t topLen = std::strlen(top);
    if (topLen + 2 >= ENTRY_PATH_SIZE) return -1;  // no entry path below it fits
    std::memcpy(entryPath, top, topLen + 1);
    int entered = enterDirectory(0, static_cast<int>(topLen));
    if (entered != 1) return entered;
    if (isUnlistable(top)) {  // a directory that exists, named like no list line can carry
        closeDirectory(levels[0].dir);
        reportUnlistable(top);
        return -1;
    }
    size_t depth = 1;
    int result = 0;
    while (depth > 0) {
        size_t at = depth - 1;
        if (const char *name = readDirectory(levels[at].dir)) {
            // Entering a subdirectory may move the levels: index them anew.
            int entryResult = handleEntry(&depth, name, list);
            levels[at].result = entryResult;
            continue;
        }
        // The directory is complete: its result is its parent's entry result.
        closeDirectory(levels[at].dir);
        result = levels[at].result;
        if (--depth > 0) levels[depth - 1].result = result;
    }
    return result;
}

}  // namespace

int searchGif(const char *dir, FILE *list) {
    // A deep tree holds one directory open per level.
    raiseOpenDirectoryLimit();
    int result = walkTree(dir, list);
    clearVisited(&visited);
    std::free(levels);
    levels = nullptr;
    levelCapacity = 0;
    return result;
}

int startSearchGif(const char *dir, const char *listPath) {
    if (!isCsvListName(listPath)) {
        std::fprintf(stderr, "Error: %s: not csv file\n", listPath);
        return -1;
    }
    // A new file, in text mode, that takes the list's name once it is
    // complete: an old list stays whole until then, also when the walk is
    // interrupted or the disk fills up.
    if (beginSafeFile(&templateFile, listPath, SAFE_TEXT, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "Error: %s: cannot write open\n", listPath);
        return -1;
    }
    std::setvbuf(templateFile.stream, listBuf, _IOFBF, sizeof listBuf);
    int result = searchGif(dir, templateFile.stream);
    if (commitSafeFile(&templateFile) != SAFE_DONE)
        std::fprintf(stderr, "Error: %s: write error\n", listPath);
    return result;
}
