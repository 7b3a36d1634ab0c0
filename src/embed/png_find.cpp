// png_find.cpp - a PNG holds no emoji comment the programs know, and its size
// is not read.
#include "embed.h"

int findPngEmojiText(FILE *, FoundText *, ImageWork &) {
    return TEXT_NONE;
}

bool readPngSize(FILE *, ImageWork &, unsigned &, unsigned &) {
    return false;
}
