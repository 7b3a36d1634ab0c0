// table_builder.h - builds conversion tables in the converter's format from
// mappings. Used offline by the CP932 generator and by the tests, which need
// made-up tables of every type.
#ifndef EMOJITAG_TABLE_BUILDER_H
#define EMOJITAG_TABLE_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

namespace tablebuilder {

// One mapping between a local code and a UTF-16 code unit. A local code
// below 0x100 is a single byte; from 0x100 up it is a lead byte (high 8 bits)
// and a trail byte (low 8 bits).
struct Pair {
    uint16_t local;
    uint16_t unicode;
};

// A bitmap over the byte values from `lowest` (0x80, 0x40 or 0x00) up to
// 0xFF: groups of 64 values, each two uint32 BE words (most significant bit
// first) and a running count of the set bits so far, stored modulo 256.
// Values below `lowest` are ignored.
std::vector<uint8_t> buildBitmap(unsigned lowest, const std::vector<uint8_t> &present);

// How second-level blocks are encoded.
enum class BlockChoice {
    Smaller,  // a range list exactly where it is smaller than a bitmap block
    AlwaysBitmap,
    AlwaysRange,
};

// A multi-byte table (type below 50, not 13) with a 26-byte header.
// `roundTrip` pairs convert both ways: double-byte ones go to both sides,
// single-byte ones (local below 0x100) to the Unicode-to-local side only.
// `fbu`: local codes that convert to Unicode but not back (local-to-Unicode
// fallbacks); `fub`: Unicode values that convert to a local code but not back.
// An empty fallback list gets position 0 (absent). On equal sizes a block is
// written as a bitmap block. Returns an empty vector when the mapping cannot
// be laid out: a key given twice in one list, a double-byte code with a lead
// byte below 0x80 or a trail byte below 0x40, or a second-level area beyond
// the reach of two-byte block positions.
std::vector<uint8_t> buildMultiByte(uint16_t typeCode, const std::vector<Pair> &roundTrip,
                                    const std::vector<Pair> &fbu, const std::vector<Pair> &fub,
                                    BlockChoice choice = BlockChoice::Smaller);

// One run of four-byte sequences: `length` consecutive sequences (in the
// linear numbering) from `first` map to consecutive code units from `unicode`.
struct Run4b {
    uint8_t first[4];
    uint16_t unicode;
    uint16_t length;
};

// A type-13 table (22-byte header, no fallback sections) with the four-byte
// run section, sorted by first sequence. Empty when the runs overlap or do
// not ascend on both sides, or on the round-trip faults above.
std::vector<uint8_t> buildType13(const std::vector<Pair> &roundTrip, const std::vector<Run4b> &runs,
                                 BlockChoice choice = BlockChoice::Smaller);

// One run of a single-byte table: `length` bytes from `first` (0x80-0xFF) map
// to consecutive code units from `unicode`.
struct Run8859 {
    uint8_t first;
    uint16_t unicode;
    uint8_t length;
};

// A single-byte table (type 50 and above, 6-byte header): the run section in
// the order given and the Unicode index derived from it (one record per run,
// ascending by Unicode value, holding the run's 1-based number). The run
// section comes first. Empty with more than 255 runs.
std::vector<uint8_t> buildSingleByte(uint16_t typeCode, const std::vector<Run8859> &runs);

// A C++ source unit defining `const uint8_t NAME[SIZE]` with C linkage,
// with a banner that names the generator and its input, 16 bytes a row and
// an offset comment per row. `header`, when given, is included instead of
// <stdint.h> so that the definition is checked against its declaration.
std::string emitCppSource(const std::vector<uint8_t> &table, const std::string &name,
                          const std::string &banner, const std::string &header = "");

}  // namespace tablebuilder

#endif
