// img_path.cpp - the names of an image job: which file a list name stands for
// (the name as written, or its UTF-8 spelling where the file system names
// files in UTF-8 and the list is CP932) and the output's name beside it.
#include <cstring>

#include "CP932.h"
#include "image_job.h"
#include "platform_file.h"
#include "qz_cc_api.h"

// The UTF-8 spelling of a list name. A name that does not fit is longer than
// any path a system accepts, so it is simply not converted.
static char utf8Name[LINE_BUF_SIZE];

static bool exists(const char *path) {
    FileInfo info;
    return pathFileInfo(path, &info) == 0;
}

static bool hasHighBytes(const char *name) {
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; p++)
        if (*p >= 0x80) return true;
    return false;
}

const char *resolveImgPath(const char *name) {
    // An ASCII name reads the same in CP932 and UTF-8: no file status needed.
    if (!hasHighBytes(name) || exists(name)) return name;
    int32_t n = qz_code_convert(reinterpret_cast<uint8_t *>(utf8Name),
                                reinterpret_cast<const uint8_t *>(name), sizeof utf8Name,
                                convert_tbl, QZ_CC_UTF8, QZ_CC_TO_UNICODE);
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

void buildOutName(const char *path) {
    writeOutName(outfname, path);
}
