// win32_copy.cpp - the file moves of platform_copy.h on Windows: nothing is
// mapped, so every byte of a picture is read and written through its streams.
#include "platform_copy.h"

bool mapInput(FILE *, unsigned long long) {
    return false;
}

bool mappedInput(FILE *, const unsigned char **, size_t *) {
    return false;
}

bool unmapInput(FILE *) {
    return true;
}

size_t moveInputBytes(FILE *, size_t, FILE *, size_t) {
    return 0;
}

void finishInputMoves(FILE *, FILE *) {}

void releaseInputBytes(FILE *, size_t) {}
