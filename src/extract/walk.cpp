// walk.cpp - the images a command-line PATH names: the file itself, or every
// GIF and JPEG file of a directory tree, entries sorted by name (byte order)
// so that the list comes out the same on every run and every platform.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "csv_reader.h"
#include "extract.h"
#include "platform_dir.h"

namespace {

// One path being walked: the command-line directory and the names below it.
// Each level appends "/NAME" and cuts it off again when done.
constexpr size_t PATH_BUF_SIZE = 4096;
char pathBuf[PATH_BUF_SIZE];

// Directories walked in this run, so that a link back into the tree, or the
// same directory named twice, is walked once.
std::set<std::pair<uint64_t, uint64_t>> walkedDirs;

// Reads the image's emoji text and writes its line (or its card), or
// reports why not.
void listImage(const ListTarget &to, const char *path, int imgType) {
    int result = to.sheet != nullptr ? writePictureCard(*to.sheet, path, imgType)
                                     : readEmojiText(path, imgType);
    switch (result) {
        case TEXT_FOUND:
            if (to.sheet == nullptr) writeListLine(to.out, path, to.cp932Names);
            return;
        case TEXT_NONE:
            return report(path, "no emoji text");
        case TEXT_TOO_LONG:
            return report(path, "comment too long");
        case TEXT_CANNOT_OPEN:
            return report(path, "cannot open");
        default:
            return report(path, imageFormatOfType(imgType)->malformedReport);
    }
}

bool isDotOrDotDot(const char *name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// An entry of a directory: its name and kind (-1 when its status cannot be
// read: a dangling link, an entry that has gone).
struct Entry {
    std::string name;
    int kind;
};

// The entries of an open directory, sorted by strcmp; "." and ".." left out.
// The kinds are taken while the directory is open, where they come cheap.
std::vector<Entry> sortedEntries(PlatformDir *d) {
    std::vector<Entry> entries;
    while (const char *name = readDirectory(d)) {
        if (isDotOrDotDot(name)) continue;
        int kind = ENTRY_OTHER;
        entries.push_back(Entry{name, currentEntryKind(d, &kind) == 0 ? kind : -1});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return std::strcmp(a.name.c_str(), b.name.c_str()) < 0;
    });
    return entries;
}

// Walks the directory whose path (pathLen bytes) is in pathBuf. Files that
// are not GIF or JPEG are passed over without a word.
void walkDir(const ListTarget &to, size_t pathLen) {
    PlatformDir *d = openDirectory(pathBuf);
    FileIdentity id;
    if (d == nullptr || directoryIdentity(d, &id) != 0) {
        if (d != nullptr) closeDirectory(d);
        return report(pathBuf, "cannot open");
    }
    if (!walkedDirs.insert({id.volume, id.index}).second) {
        closeDirectory(d);
        return;
    }
    std::vector<Entry> entries = sortedEntries(d);
    closeDirectory(d);
    for (const Entry &e : entries) {
        size_t len = pathLen + 1 + e.name.size();
        if (len >= PATH_BUF_SIZE) {
            pathBuf[pathLen] = '\0';
            report(pathBuf, "name too long");
            continue;
        }
        pathBuf[pathLen] = '/';
        std::memcpy(pathBuf + pathLen + 1, e.name.c_str(), e.name.size() + 1);
        int imgType = imageTypeOfName(e.name.c_str());
        if (e.kind == -1) {
            if (imgType != 0) report(pathBuf, "cannot open");
        } else if (e.kind == ENTRY_DIR) {
            walkDir(to, len);
        } else if (e.kind == ENTRY_FILE && imgType != 0) {
            listImage(to, pathBuf, imgType);
        }
    }
    pathBuf[pathLen] = '\0';
}

}  // namespace

void listPath(const ListTarget &to, const char *path) {
    int kind = ENTRY_OTHER;
    if (pathEntryKind(path, &kind) == 0 && kind == ENTRY_DIR) {
        size_t len = std::strlen(path);
        if (len >= PATH_BUF_SIZE) return report(path, "name too long");
        std::memcpy(pathBuf, path, len + 1);
        return walkDir(to, len);
    }
    int imgType = imageTypeOfName(path);
    if (imgType == 0) {
        char names[64], reason[96];
        listImageFormatNames(names, sizeof names, " or ");
        std::snprintf(reason, sizeof reason, "not a %s file", names);
        return report(path, reason);
    }
    listImage(to, path, imgType);
}
