// jpg_segments.cpp - length fields and the end of entropy-coded data.
#include "jpg_segments.h"

#include <cstring>

#include "jpg_markers.h"

bool jpgSegmentDataSize(const unsigned char *field, size_t &dataSize) {
    size_t length = static_cast<size_t>(field[0]) << 8 | field[1];
    if (length < JPG_LENGTH_SIZE) return false;
    dataSize = length - JPG_LENGTH_SIZE;
    return true;
}

bool jpgContinuesData(unsigned char code) {
    return code == M_STUFF || (code >= M_RST0 && code <= M_RST7);
}

// memchr finds each 0xFF; a stuffed zero or a restart marker after it is data
// and stays in the run, so a whole block is passed over in few calls.
const unsigned char *findJpgRunEnd(const unsigned char *p, const unsigned char *end) {
    while (p < end) {
        const auto *ff = static_cast<const unsigned char *>(
            std::memchr(p, M_PREFIX, static_cast<size_t>(end - p)));
        if (ff == nullptr) return nullptr;
        if (ff + 1 == end || !jpgContinuesData(ff[1])) return ff;
        p = ff + 2;
    }
    return nullptr;
}
