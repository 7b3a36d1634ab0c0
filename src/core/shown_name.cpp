// shown_name.cpp - the shown form of a name.
#include "shown_name.h"

bool isControlByte(unsigned char b) {
    return b < 0x20 || b == 0x7F;
}

char shownByte(char c) {
    return isControlByte(static_cast<unsigned char>(c)) ? '?' : c;
}

void showNameBytes(char *bytes, size_t len) {
    for (size_t i = 0; i < len; i++)
        bytes[i] = shownByte(bytes[i]);
}

void putShownName(FILE *out, const char *name) {
    char chunk[256];
    size_t n = 0;
    for (; *name != '\0'; ++name) {
        chunk[n++] = shownByte(*name);
        if (n == sizeof chunk) {
            std::fwrite(chunk, 1, n, out);
            n = 0;
        }
    }
    std::fwrite(chunk, 1, n, out);
}
