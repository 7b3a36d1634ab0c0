// visited_dirs.cpp - the set of directories a walk has entered:
// linear probing in a table kept at most half full.
#include "visited_dirs.h"

#include <cstdlib>

namespace {

constexpr size_t FIRST_CAPACITY = 64;

// Device and inode numbers are dense and small; mixing spreads them over
// the table.
size_t hashOf(const FileIdentity &id) {
    uint64_t h = id.volume * 0x9E3779B97F4A7C15ull ^ id.index;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return static_cast<size_t>(h);
}

// The slot that holds `id`, or the empty slot where it belongs.
VisitedSlot *findSlot(VisitedSlot *slots, size_t capacity, const FileIdentity &id) {
    size_t i = hashOf(id) & (capacity - 1);
    while (slots[i].used && !sameIdentity(slots[i].id, id))
        i = (i + 1) & (capacity - 1);
    return &slots[i];
}

int grow(VisitedDirs *set) {
    size_t capacity = set->capacity == 0 ? FIRST_CAPACITY : 2 * set->capacity;
    auto *slots = static_cast<VisitedSlot *>(std::calloc(capacity, sizeof(VisitedSlot)));
    if (slots == nullptr) return -1;
    for (size_t i = 0; i < set->capacity; ++i) {
        if (set->slots[i].used) *findSlot(slots, capacity, set->slots[i].id) = set->slots[i];
    }
    std::free(set->slots);
    set->slots = slots;
    set->capacity = capacity;
    return 0;
}

}  // namespace

int addVisited(VisitedDirs *set, const FileIdentity &id) {
    if (2 * (set->count + 1) > set->capacity && grow(set) != 0) return -1;
    VisitedSlot *slot = findSlot(set->slots, set->capacity, id);
    if (slot->used) return 0;
    slot->id = id;
    slot->used = true;
    ++set->count;
    return 1;
}

void clearVisited(VisitedDirs *set) {
    std::free(set->slots);
    *set = VisitedDirs{};
}
