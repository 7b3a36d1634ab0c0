// list_file.cpp - the list file of "-o LIST.csv": a name that can only be a
// list, written whole (whole_file.h).
#include <cstring>

#include "extract.h"
#include "list_reader.h"
#include "platform_file.h"
#include "whole_file.h"

namespace {

// "-o names a GIF or JPEG file: "
char imageProblem[128];

}  // namespace

const char *listNameProblem(const char *path) {
    // As emojitag's lists: the name ends in exactly ".csv".
    if (!isCsvListName(path)) return "-o needs a name ending in .csv: ";
    FileInfo info;
    FILE *f = openInputFile(path, &info);
    if (f == nullptr) return nullptr;
    unsigned char head[IMAGE_SIGNATURE_MAX];
    size_t n = info.kind == ENTRY_FILE ? std::fread(head, 1, sizeof head, f) : 0;
    bool image = imageFormatOfHead(head, n) != nullptr;
    std::fclose(f);
    if (!image) return nullptr;
    char names[64];
    std::snprintf(imageProblem, sizeof imageProblem,
                  "-o names a %s file: ", listImageFormatNames(names, sizeof names, " or "));
    return imageProblem;
}

FILE *beginListFile(ExtractRun &run, const char *path) {
    int reason = 0;
    if (beginWholeFile(&run.listFile, path, SAFE_BINARY, &reason) == 0) return run.listFile.stream;
    report(run, path, cannotWrite(reason));
    return nullptr;
}

void finishListFile(ExtractRun &run, const char *path) {
    // A run that found nothing to list (every PATH mistyped, say). The list
    // has no preamble.
    int reason = 0;
    int result = finishWholeFile(&run.listFile, 0, &reason);
    if (result == WHOLE_EMPTY) report(run, path, "nothing listed, list left as it was");
    if (result == WHOLE_FAILED) report(run, path, cannotWrite(reason));
}
