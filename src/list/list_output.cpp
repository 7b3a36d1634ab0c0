// list_output.cpp - begins and finishes the output of emojitag-list.
#include "list_output.h"

#include <cstdio>

#include "companion_report.h"

namespace {

// Lines leave the process in large blocks.
char outBuf[64 * 1024];

}  // namespace

bool beginListOutput(WholeFile *out, const char *path) {
    int reason = 0;
    int result = beginWholeFile(out, path, SAFE_BINARY | WHOLE_FILES_ONLY, &reason);
    if (result == WHOLE_NOT_FILE) reportFile(path, "not a regular file");
    if (result == WHOLE_FAILED) reportFile(path, "%s", cannotWrite(reason));
    if (result != WHOLE_DONE) return false;
    std::setvbuf(out->stream, outBuf, _IOFBF, sizeof outBuf);
    return true;
}

bool finishListOutput(WholeFile *out, bool keep) {
    if (!keep && out->path != nullptr) {
        abandonWholeFile(out);
        return true;
    }
    // Every picture refused, or a template without a group.
    int reason = 0;
    int result = finishWholeFile(out, &reason);
    const char *where = out->path != nullptr ? out->path : "standard output";
    if (result == WHOLE_EMPTY) reportFile(where, "nothing to write, left as it was");
    if (result == WHOLE_FAILED) reportFile(where, "%s", cannotWrite(reason));
    return result == WHOLE_DONE;
}
