// Shared by the rewriter stand-ins: copies the rest of `in` to `out`.
#ifndef EMOJITAG_COPY_STANDIN_H
#define EMOJITAG_COPY_STANDIN_H

#include <cstdio>

inline int copyStandin(FILE *in, FILE *out) {
    static char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, in)) > 0) {
        if (std::fwrite(block, 1, n, out) != n) return -1;
    }
    return std::ferror(in) ? -1 : 0;
}

#endif
