// embed_run.h - one rewrite as the image job makes it: a fresh call over the
// tests' one scratch.
#ifndef EMOJITAG_TEST_EMBED_RUN_H
#define EMOJITAG_TEST_EMBED_RUN_H

#include <cstdio>

#include "embed.h"

inline ImageWork &testWork() {
    static ImageWork work;
    return work;
}

struct EmbedRun {
    int result;
    bool written;  // the comment writer placed the text
    unsigned notes;
};

inline EmbedRun runRewriter(int (*rewrite)(FILE *, FILE *, EmbedCall &), FILE *in, FILE *out,
                            const char *emoji) {
    EmbedCall call = startEmbedCall(emoji, testWork());
    int result = rewrite(in, out, call);
    return {result, call.written, call.notes};
}

#endif
