// platform_copy.h - moving the bytes of a picture that pass unchanged without
// a copy through the program where the system allows it: the input is
// mapped whole, its fields are read from the mapping, and long runs go from
// the input file to the output inside the system. Where it does not (another
// system, a stream on no file, a file system that cannot), nothing is mapped
// and every byte is read and written as ever. One implementation per platform
// (posix_copy.cpp, win32_copy.cpp), chosen by the build.
#ifndef EMOJITAG_PLATFORM_COPY_H
#define EMOJITAG_PLATFORM_COPY_H

#include <cstddef>
#include <cstdio>

// Maps the `size` bytes of the regular file `in` stands on, which has not
// been read from yet; false when it is not mapped (and is read as ever). One
// input is mapped at a time.
bool mapInput(FILE *in, unsigned long long size);

// The mapping of `in` made by mapInput, if any: its bytes and their number.
bool mappedInput(FILE *in, const unsigned char **data, size_t *size);

// Ends the mapping of `in` (nothing when there is none). False when the file
// turned out shorter than mapped while it was read (the bytes past its new
// end read as zeros), or a move was left unmade: the rewrite is to fail as on
// a short read.
bool unmapInput(FILE *in);

// Moves up to `n` bytes of the mapped input from `offset` to `out` at its
// position, inside the system, after what `out` holds buffered; returns how
// many it takes, from 0 (not possible here: the caller writes them itself)
// to `n`, and sets `out` past them. The move may still be under way: until
// finishInputMoves nothing else reads, closes or cuts `out`.
size_t moveInputBytes(FILE *in, size_t offset, FILE *out, size_t n);

// Waits until every move from the mapped input `in` to `out` is made. What
// the system could not move is written by `out` in its place, so that a
// failure sets `out`'s error flag as the caller's own write would have.
// Due after the last move, before `out` is read, closed or given up.
void finishInputMoves(FILE *in, FILE *out);

// The walk of the mapped input `in` is done with its bytes before `upTo`:
// the system may take back the memory they hold (nothing when `in` is not
// mapped, or where the system cannot).
void releaseInputBytes(FILE *in, size_t upTo);

#endif
