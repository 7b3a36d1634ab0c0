// visited_dirs.h - the directories a walk has entered, so that each is
// walked at most once however many links lead to it.
#ifndef EMOJITAG_VISITED_DIRS_H
#define EMOJITAG_VISITED_DIRS_H

#include <cstddef>

#include "platform_dir.h"

// An open-addressing hash set of directory identities on the heap; all zero
// is the empty set.
struct VisitedSlot {
    FileIdentity id;
    bool used;
};

struct VisitedDirs {
    VisitedSlot *slots;
    size_t capacity;  // a power of two, or 0 before the first insertion
    size_t count;
};

// Adds `id`: 1 when it was not in the set, 0 when it was, -1 when the set
// cannot grow.
int addVisited(VisitedDirs *set, const FileIdentity &id);

// Frees the slots; the set is empty again.
void clearVisited(VisitedDirs *set);

#endif
