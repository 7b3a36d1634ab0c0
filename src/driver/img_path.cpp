// img_path.cpp - the names an image job works with: the path to open for a
// list name, and the output's name beside it.
#include <cstring>

#include "driver.h"

const char *resolveImgPath(const char *name) {
    return name;
}

// The input path with "-out" before its last '.' (the reader guarantees one).
void buildOutName(const char *path) {
    const char *dot = std::strrchr(path, '.');
    size_t stem = dot ? static_cast<size_t>(dot - path) : std::strlen(path);
    std::memcpy(outfname, path, stem);
    std::memcpy(outfname + stem, "-out", 4);
    std::strcpy(outfname + stem + 4, path + stem);
}
