// png_rewriter.cpp - a PNG is refused: it gets no emoji comment.
#include <cstring>

#include "embed.h"

int setPngData(FILE *, FILE *, EmbedCall &) {
    return REWRITE_FAULT;
}

size_t pngCommentTextLength(const char *) {
    return 0;
}
