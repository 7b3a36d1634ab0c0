// img_path.cpp - the names of an image job: which file a list name stands for
// (the name as written, or its UTF-8 spelling where the file system names
// files in UTF-8 and the list is CP932) and the output's name beside it.
#include <cstring>

#include "img_path.h"
#include "platform_file.h"
#include "text_cp932.h"
#include "text_utf8.h"

// The UTF-8 spelling of a list name. A name that does not fit is longer than
// any path a system accepts, so it is simply not converted.
static char utf8Name[LINE_BUF_SIZE];

static bool exists(const char *path) {
    FileInfo info;
    return pathFileInfo(path, &info) == 0;
}

const char *resolveImgPath(const char *name) {
    // An ASCII name reads the same in CP932 and UTF-8: no file status needed.
    if (!hasHighBytes(name, std::strlen(name)) || exists(name)) return name;
    int32_t n = cp932ToUtf8(utf8Name, sizeof utf8Name, name);
    // Only an exact conversion counts: a '?' in place of a character could
    // name some other file.
    if (n < 0 || !exists(utf8Name)) return name;
    return utf8Name;
}

// The path with "-out" before its last '.' (the reader guarantees one).
void writeOutName(char *out, const char *path) {
    const char *dot = std::strrchr(path, '.');
    size_t stem = dot ? static_cast<size_t>(dot - path) : std::strlen(path);
    std::memcpy(out, path, stem);
    std::memcpy(out + stem, "-out", 4);
    std::strcpy(out + stem + 4, path + stem);
}
