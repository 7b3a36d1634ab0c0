// table_reader_test_util.h - a plain reader of conversion tables for the
// table tests. It finds values by counting bitmap bits one by one and by
// scanning records in order, so it shares no shortcut with the converter's
// running counts and binary searches.
#ifndef EMOJITAG_TABLE_READER_TEST_UTIL_H
#define EMOJITAG_TABLE_READER_TEST_UTIL_H

#include <cstddef>
#include <cstdint>

namespace tablereader {

constexpr int kNotFound = -1;
constexpr uint8_t kKindRange = 1;

inline unsigned u16(const uint8_t *t, size_t at) {
    return t[at] << 8 | t[at + 1];
}
inline uint32_t u32(const uint8_t *t, size_t at) {
    return static_cast<uint32_t>(u16(t, at)) << 16 | u16(t, at + 2);
}

// Size of a bitmap that starts its values at `lowest`.
inline size_t bitmapSize(unsigned lowest) {
    return (256 - lowest) / 64 * 9;
}

inline bool bitSet(const uint8_t *bitmap, unsigned lowest, unsigned v) {
    if (v < lowest) return false;
    unsigned r = v - lowest;
    uint32_t word = u32(bitmap, r / 64 * 9 + (r % 64) / 32 * 4);
    return (word >> (31 - r % 32)) & 1;
}

// Number of present values below v, counted bit by bit.
inline unsigned rankByCounting(const uint8_t *bitmap, unsigned lowest, unsigned v) {
    unsigned rank = 0;
    for (unsigned w = lowest; w < v; w++)
        rank += bitSet(bitmap, lowest, w);
    return rank;
}

// One second-level lookup: a block at `block` keyed by `key`; kNotFound if absent.
inline int lookupBlock(const uint8_t *block, uint8_t kind, unsigned lowest, unsigned key) {
    if (kind == kKindRange) {
        unsigned count = block[0];
        for (unsigned i = 0; i < count; i++) {
            const uint8_t *rec = block + 1 + 4 * i;
            if (key >= rec[0] && key < rec[0] + static_cast<unsigned>(rec[3]))
                return static_cast<int>((u16(rec, 1) + key - rec[0]) & 0xFFFF);
        }
        return kNotFound;
    }
    if (!bitSet(block, lowest, key)) return kNotFound;
    return static_cast<int>(
        u16(block, bitmapSize(lowest) + 2 * rankByCounting(block, lowest, key)));
}

// Two-level lookup through the index at `indexPos` and the area at `dataPos`.
inline int lookupLevels(const uint8_t *t, uint32_t indexPos, uint32_t dataPos, unsigned firstLowest,
                        unsigned secondLowest, unsigned first, unsigned second) {
    const uint8_t *index = t + indexPos - 1;
    if (!bitSet(index, firstLowest, first)) return kNotFound;
    const uint8_t *rec =
        index + bitmapSize(firstLowest) + 3 * rankByCounting(index, firstLowest, first);
    const uint8_t *block = t + dataPos - 1 + u16(rec, 0) - 1;
    return lookupBlock(block, rec[2], secondLowest, second);
}

// A fallback list at position `pos` (0 = none), scanned in order.
inline int lookupFallback(const uint8_t *t, uint32_t pos, unsigned key) {
    if (pos == 0) return kNotFound;
    unsigned count = u16(t, pos - 1);
    for (unsigned i = 0; i < count; i++) {
        size_t rec = pos + 1 + 4 * i;
        if (u16(t, rec) == key) return static_cast<int>(u16(t, rec + 2));
    }
    return kNotFound;
}

// Multi-byte table (26-byte header): double-byte local code to Unicode, main
// sections first, then the fbu list.
inline int localToUnicode(const uint8_t *t, unsigned code) {
    int u = lookupLevels(t, u32(t, 2), u32(t, 6), 0x80, 0x40, code >> 8, code & 0xFF);
    return u != kNotFound ? u : lookupFallback(t, u32(t, 22), code);
}

// Main Unicode-to-local sections only (any multi-byte type).
inline int unicodeToLocalMain(const uint8_t *t, unsigned unit) {
    return lookupLevels(t, u32(t, 10), u32(t, 14), 0x00, 0x00, unit >> 8, unit & 0xFF);
}

// Multi-byte table (26-byte header): code unit to local code, then the fub list.
inline int unicodeToLocal(const uint8_t *t, unsigned unit) {
    int c = unicodeToLocalMain(t, unit);
    return c != kNotFound ? c : lookupFallback(t, u32(t, 18), unit);
}

}  // namespace tablereader

#endif
