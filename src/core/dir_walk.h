// dir_walk.h - the directory walker of the template run and of
// emojitag-extract: depth first and pre-order, each directory walked once
// however many links lead to it, its levels on the heap rather than on the
// machine stack. What a walk takes from each entry, and what it says about
// it, are the caller's rules.
#ifndef EMOJITAG_DIR_WALK_H
#define EMOJITAG_DIR_WALK_H

#include <cstddef>

#include "platform_dir.h"
#include "visited_dirs.h"

// An entry path holds at most 4095 bytes plus the NUL.
constexpr size_t WALK_PATH_SIZE = 4096;

// Kinds of an entry beyond the platform's ENTRY_* ones.
constexpr int WALK_KIND_UNKNOWN = -1;  // its status cannot be read
constexpr int WALK_TOO_LONG = -2;      // its path would not fit; `path` names its directory

// The answer of onEntry that walks a directory entry at once.
constexpr int WALK_ENTER = 1;

// One entry as the rules see it. Both strings live until the next entry.
struct WalkEntry {
    const char *path;  // the directory's path, "/" and the name
    const char *name;
    int kind;  // ENTRY_FILE, ENTRY_DIR, ENTRY_OTHER, WALK_KIND_UNKNOWN, WALK_TOO_LONG
    // The name is the entry's own; false where the system's name has no
    // exact narrow form (platform_dir.h), so the path leads to no file.
    bool nameExact;
};

// A caller's rules for one walk.
struct WalkRules {
    // Entries sorted by name, by their characters and numbers alike on every
    // platform (name_order.h), each directory read whole and closed before
    // its subdirectories are walked; otherwise in the order the platform
    // delivers them, one directory held open per level.
    bool sorted;
    void *user;  // handed to each rule
    // Every entry but "." and "..": WALK_ENTER for a directory to be walked,
    // otherwise the entry's result (0, or -1).
    int (*onEntry)(void *user, const WalkEntry &entry);
    // A directory that cannot be walked (it does not open, its identity
    // cannot be read, or there is no memory for it): its result.
    int (*onUnwalkable)(void *user, const char *path);
    // Optional: called once the top directory is open; a nonzero result
    // leaves it unwalked and is the walk's result.
    int (*onTop)(void *user, const char *path);
};

// One entry of a sorted level: where its name and its order key start in
// the name store.
struct WalkName {
    size_t name;
    size_t key;
    int kind;
    bool nameExact;
};

// One directory on the way from the top of the walk to the one being read.
struct WalkLevel {
    PlatformDir *dir;  // open while its entries are read in platform order
    size_t pathLen;    // length of the directory's own path
    // Sorted: its entries in the order, [first, end), the next one to come,
    // and where its names begin in the name store.
    size_t first, next, end;
    size_t namesStart;
    int result;  // the value left by the last entry handled
};

// The walker's state. All zero is ready for a walk; the directories walked
// stay visited over several walks until endDirWalks.
struct DirWalk {
    char path[WALK_PATH_SIZE];
    WalkLevel *levels;
    size_t levelCapacity;
    VisitedDirs visited;
    char *names;  // the names (and keys) of the sorted levels being walked, NUL-terminated
    size_t namesLen, namesCapacity;
    WalkName *order;  // their entries, level after level
    size_t orderLen, orderCapacity;
};

// Walks the tree below `top`, a path shorter than WALK_PATH_SIZE. Returns -1
// when `top` cannot be walked (onUnwalkable's result), 0 when it was walked
// before, otherwise the value left by its last entry: an entry's result, or,
// for a subdirectory, that of its own walk.
int walkDirTree(DirWalk *w, const char *top, const WalkRules &rules);

// Frees what the walks took; the walker is empty again.
void endDirWalks(DirWalk *w);

// "." and "..", which every enumeration delivers and no walk enters.
bool isDotOrDotDot(const char *name);

#endif
