// list_file.cpp - the list file of "-o LIST.csv": a name that can only be a
// list, written as a new file that takes the name once it is complete and
// holds at least one line.
#include <cstring>

#include "extract.h"
#include "platform_file.h"

namespace {

// The first bytes of a GIF ("GIF") and of a JPEG (SOI and a marker).
bool startsLikeImage(const unsigned char *head) {
    return std::memcmp(head, "GIF", 3) == 0 ||
           (head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF);
}

}  // namespace

const char *listNameProblem(const char *path) {
    // As emojitag's lists: the name ends in exactly ".csv".
    const char *dot = std::strrchr(path, '.');
    if (dot == nullptr || std::strcmp(dot, ".csv") != 0) return "-o needs a name ending in .csv: ";
    FileInfo info;
    FILE *f = openInputFile(path, &info);
    if (f == nullptr) return nullptr;
    unsigned char head[3];
    bool image = info.kind == ENTRY_FILE && std::fread(head, 1, sizeof head, f) == sizeof head &&
                 startsLikeImage(head);
    std::fclose(f);
    return image ? "-o names a GIF or JPEG file: " : nullptr;
}

FILE *beginListFile(ExtractRun &run, const char *path) {
    if (beginSafeFile(&run.listFile, path, SAFE_BINARY, nullptr, nullptr) == 0)
        return run.listFile.stream;
    report(run, path, "cannot write");
    return nullptr;
}

void finishListFile(ExtractRun &run, const char *path) {
    // A run that found nothing to list (every PATH mistyped, say) leaves an
    // old list as it was.
    if (run.listed == 0) {
        abandonSafeFile(&run.listFile);
        return report(run, path, "nothing listed, list left as it was");
    }
    if (commitSafeFile(&run.listFile) != SAFE_DONE) report(run, path, "cannot write");
}
