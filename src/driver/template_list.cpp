// template_list.cpp - the template run ("-f"): walks a directory tree depth
// first and writes, for every GIF or JPEG file met, a group of lines that
// names the file and the fields still to be filled in, a line for each.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "csv_reader.h"
#include "dir_walk.h"
#include "field_table.h"
#include "image_formats.h"
#include "list_name.h"
#include "platform_dir.h"
#include "platform_file.h"
#include "report.h"
#include "template_list.h"
#include "whole_file.h"

namespace {

// Buffer of the template list's stream: groups are written as their files are
// met and leave the process in large blocks.
constexpr size_t LIST_BUF_SIZE = 65536;
char listBuf[LIST_BUF_SIZE];
WholeFile templateFile;

// The suffix runs from the last '.' to the end, and the format table says
// which are images. Taking it from the entry's name gives the same answer as
// from its whole path: a '.' in a directory part leaves a '/' in the
// suffix, which never matches.
bool hasImageSuffix(const char *name) {
    return imageFormatOfName(name) != nullptr;
}

void reportUnlistable(const char *path) {
    reportPath(path, "name cannot be listed");
}

// The entry path, then a line for each field of the template: the first
// field's on the path's line.
void writeGroup(FILE *list, const char *path) {
    std::fputs(path, list);  // unchanged and unquoted
    std::fputs(templateFieldLines(), list);
}

// The template's rules for an entry: an image is listed, a directory walked
// at once; anything else is passed over. A directory named like an image is
// walked, never listed. Returns WALK_ENTER, or the entry's result: 0, or -1
// for an entry that could not be examined, named or walked.
int takeEntry(void *user, const WalkEntry &e) {
    // Too long to name, or a dangling link or an entry gone: skipped, the
    // rest is still read.
    if (e.kind == WALK_TOO_LONG || e.kind == WALK_KIND_UNKNOWN) return -1;
    if (e.kind == ENTRY_FILE) {
        if (!hasImageSuffix(e.name)) return 0;
    } else if (e.kind != ENTRY_DIR) {
        return 0;
    }
    // A path no list line can carry, or a name that leads to no file (one
    // with no exact form in the system's narrow character set): an image is
    // not listed; a directory is reported once and not walked, as its name
    // is in the path of all it holds.
    if (!e.nameExact || !canListName(e.path, std::strlen(e.path))) {
        reportUnlistable(e.path);
        return -1;
    }
    if (e.kind == ENTRY_DIR) return WALK_ENTER;
    writeGroup(static_cast<FILE *>(user), e.path);
    return 0;
}

// A directory that cannot be walked is not reported, at any level.
int passUnwalkable(void *, const char *) {
    return -1;
}

// A top directory that exists, named like no list line can carry.
int checkTop(void *, const char *top) {
    if (canListName(top, std::strlen(top))) return 0;
    reportUnlistable(top);
    return -1;
}

}  // namespace

// Walks the tree below `dir` depth first and pre-order, each directory's
// subtree at the point its entry comes up, in the order the platform
// delivers the entries; every directory is walked once, by the first path
// that reaches it, so neither a link cycle nor links that branch to the same
// directory can multiply the walk.
int searchGif(const char *dir, FILE *list) {
    if (std::strlen(dir) + 2 >= WALK_PATH_SIZE) return -1;  // no entry path below it fits
    // A deep tree holds one directory open per level.
    raiseOpenDirectoryLimit();
    DirWalk walk{};
    int result =
        walkDirTree(&walk, dir, WalkRules{false, list, takeEntry, passUnwalkable, checkTop});
    endDirWalks(&walk);
    return result;
}

int startSearchGif(const char *dir, const char *listPath) {
    if (!isCsvListName(listPath)) {
        reportPath(listPath, "not csv file");
        return -1;
    }
    // A new file, in text mode, that takes the list's name once it is
    // complete: an old list stays whole until then, also when the walk is
    // interrupted or the disk fills up.
    // An empty template (no image found) is written all the same.
    int reason = 0;
    if (beginWholeFile(&templateFile, listPath, SAFE_TEXT | WHOLE_KEEP_EMPTY, &reason) !=
        WHOLE_DONE) {
        reportPath(listPath, "cannot write open");
        return -1;
    }
    std::setvbuf(templateFile.stream, listBuf, _IOFBF, sizeof listBuf);
    int result = searchGif(dir, templateFile.stream);
    if (finishWholeFile(&templateFile, &reason) != WHOLE_DONE) reportPath(listPath, "write error");
    return result;
}
