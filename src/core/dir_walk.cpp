// dir_walk.cpp - one walk of a directory tree on a heap stack of levels: a
// single path buffer that entering a directory extends and leaving it cuts
// back, and, for sorted walks, one store of names (with their order keys)
// that each level fills and leaves as it found it.
#include "dir_walk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "name_order.h"
#include "platform_path.h"

namespace {

constexpr size_t FIRST_CAPACITY = 64;

// Makes room for `need` elements of a plain array on the heap.
template <typename T>
bool reserveRoom(T **array, size_t *capacity, size_t need) {
    if (need <= *capacity) return true;
    size_t grown = *capacity == 0 ? FIRST_CAPACITY : *capacity;
    while (grown < need)
        grown *= 2;
    void *moved = std::realloc(*array, grown * sizeof(T));
    if (moved == nullptr) return false;
    *array = static_cast<T *>(moved);
    *capacity = grown;
    return true;
}

// Adds `name` to the name store for *entry, with the key it is sorted by:
// the converter's UTF-8 after it where the system's names are CP932, the
// name itself where they are UTF-8.
bool storeName(DirWalk *w, const char *name, bool cp932, WalkName *entry) {
    size_t size = std::strlen(name) + 1;
    size_t keyRoom = cp932 ? NAME_KEY_BYTES_PER_BYTE * (size - 1) + 1 : 0;
    if (!reserveRoom(&w->names, &w->namesCapacity, w->namesLen + size + keyRoom)) return false;
    std::memcpy(w->names + w->namesLen, name, size);
    entry->name = entry->key = w->namesLen;
    w->namesLen += size;
    if (cp932) {
        entry->key = w->namesLen;
        w->namesLen += cp932NameKey(name, w->names + entry->key, keyRoom) + 1;
    }
    return true;
}

// Reads the entries of the open directory of `level` into the name store,
// "." and ".." left out, with the kinds taken while it is open, where they
// come cheap; then puts them in the order of their names (name_order.h).
// False when memory runs out.
bool readSorted(DirWalk *w, PlatformDir *d, WalkLevel *level) {
    bool cp932 = namesInCp932();
    while (const char *name = readDirectory(d)) {
        if (isDotOrDotDot(name)) continue;
        int kind = ENTRY_OTHER;
        if (currentEntryKind(d, &kind) != 0) kind = WALK_KIND_UNKNOWN;
        WalkName entry{0, 0, kind, currentEntryNameExact(d)};
        if (!reserveRoom(&w->order, &w->orderCapacity, w->orderLen + 1) ||
            !storeName(w, name, cp932, &entry))
            return false;
        w->order[w->orderLen++] = entry;
    }
    level->end = w->orderLen;
    const char *names = w->names;
    std::sort(w->order + level->first, w->order + level->end,
              [names](const WalkName &a, const WalkName &b) {
                  return compareNames(names + a.name, names + a.key, names + b.name,
                                      names + b.key) < 0;
              });
    return true;
}

// Closes the level's directory, and gives its names back to the store.
void leaveLevel(DirWalk *w, const WalkLevel &level) {
    if (level.dir != nullptr) closeDirectory(level.dir);
    w->namesLen = level.namesStart;
    w->orderLen = level.first;
}

// Opens the directory whose path is w->path (pathLen bytes) as level
// `depth`. Returns 1 when it was entered, 0 when it was walked before, -1
// when it cannot be walked.
int enterDirectory(DirWalk *w, size_t depth, size_t pathLen, bool sorted) {
    PlatformDir *d = openDirectory(w->path);
    if (d == nullptr) return -1;
    // Without the directory's own status no entry can be examined either.
    FileIdentity id;
    int added = directoryIdentity(d, &id) == 0 ? addVisited(&w->visited, id) : -1;
    if (added == 1 && !reserveRoom(&w->levels, &w->levelCapacity, depth + 1)) added = -1;
    if (added != 1) {
        closeDirectory(d);
        return added;
    }
    WalkLevel &level = w->levels[depth];
    level = WalkLevel{d, pathLen, w->orderLen, w->orderLen, w->orderLen, w->namesLen, 0};
    if (!sorted) return 1;
    bool read = readSorted(w, d, &level);
    closeDirectory(d);
    level.dir = nullptr;
    if (read) return 1;
    leaveLevel(w, level);
    return -1;
}

// The next entry of level `at` (its name, and the kind and exactness of
// the name), or false when there is none left. In platform order the kind
// is read later, once the entry has its path.
bool nextEntry(DirWalk *w, size_t at, const char **name, WalkName *found) {
    WalkLevel &level = w->levels[at];
    if (level.dir != nullptr) {
        *name = readDirectory(level.dir);
        if (*name == nullptr) return false;
        *found = WalkName{0, 0, ENTRY_OTHER, currentEntryNameExact(level.dir)};
        return true;
    }
    if (level.next == level.end) return false;
    *found = w->order[level.next++];
    *name = w->names + found->name;
    return true;
}

// Hands entry `name` of the innermost level to the rules; a subdirectory to
// be walked becomes the new innermost level (*depth grows). Returns the
// entry's result.
int handleEntry(DirWalk *w, size_t *depth, const char *name, const WalkName &found,
                const WalkRules &rules) {
    int kind = found.kind;
    // Entering a subdirectory may move the levels: nothing refers to them
    // past that point.
    const WalkLevel &here = w->levels[*depth - 1];
    size_t pathLen = here.pathLen;
    PlatformDir *dir = here.dir;
    size_t nameLen = std::strlen(name);
    size_t len = pathLen + 1 + nameLen;
    if (len >= WALK_PATH_SIZE) {
        w->path[pathLen] = '\0';
        return rules.onEntry(rules.user, WalkEntry{w->path, name, WALK_TOO_LONG, found.nameExact});
    }
    w->path[pathLen] = '/';
    std::memcpy(w->path + pathLen + 1, name, nameLen + 1);
    if (dir != nullptr) {
        if (currentEntryKind(dir, &kind) != 0) kind = WALK_KIND_UNKNOWN;
        // Read like any other entry, so that its status leaves its result.
        if (isDotOrDotDot(name)) return kind == WALK_KIND_UNKNOWN ? -1 : 0;
    }
    int result = rules.onEntry(rules.user, WalkEntry{w->path, name, kind, found.nameExact});
    if (result != WALK_ENTER) return result;
    if (kind != ENTRY_DIR) return 0;
    // A directory's result is set when its walk ends.
    int entered = enterDirectory(w, *depth, len, rules.sorted);
    if (entered < 0) return rules.onUnwalkable(rules.user, w->path);
    if (entered == 1) ++*depth;
    return 0;
}

}  // namespace

bool isDotOrDotDot(const char *name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

int walkDirTree(DirWalk *w, const char *top, const WalkRules &rules) {
    size_t topLen = std::strlen(top);
    if (topLen >= WALK_PATH_SIZE) return -1;
    std::memcpy(w->path, top, topLen + 1);
    int entered = enterDirectory(w, 0, topLen, rules.sorted);
    if (entered < 0) return rules.onUnwalkable(rules.user, w->path);
    if (entered == 0) return 0;
    if (rules.onTop != nullptr) {
        int refused = rules.onTop(rules.user, w->path);
        if (refused != 0) {
            leaveLevel(w, w->levels[0]);
            return refused;
        }
    }
    size_t depth = 1;
    int result = 0;
    while (depth > 0) {
        size_t at = depth - 1;
        const char *name;
        WalkName found;
        if (nextEntry(w, at, &name, &found)) {
            int entryResult = handleEntry(w, &depth, name, found, rules);
            w->levels[at].result = entryResult;
            continue;
        }
        // The directory is complete: its result is its parent's entry result.
        leaveLevel(w, w->levels[at]);
        result = w->levels[at].result;
        if (--depth > 0) w->levels[depth - 1].result = result;
    }
    return result;
}

void endDirWalks(DirWalk *w) {
    std::free(w->levels);
    std::free(w->names);
    std::free(w->order);
    clearVisited(&w->visited);
    w->levels = nullptr;
    w->levelCapacity = 0;
    w->names = nullptr;
    w->namesLen = w->namesCapacity = 0;
    w->order = nullptr;
    w->orderLen = w->orderCapacity = 0;
}
