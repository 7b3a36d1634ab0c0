// output_file.cpp - the output's stream and, for a named file, its temporary
// file and the replacement.
#include "output_file.h"

#include <cerrno>

#include "list_report.h"
#include "platform_dir.h"
#include "platform_file.h"
#include "whole_file.h"

namespace {

// Lines leave the process in large blocks.
constexpr size_t OUT_BUF_SIZE = 64 * 1024;
char outBuf[OUT_BUF_SIZE];

}  // namespace

bool openOutput(OutputFile *out, const char *path) {
    out->path = path;
    out->stream = stdout;
    out->contentStart = 0;
    if (path != nullptr) {
        // Only a regular file (or a link, which is replaced) is replaced; an
        // existing one keeps its attributes.
        int kind = ENTRY_FILE;
        if (pathEntryKind(path, &kind) == 0 && kind != ENTRY_FILE) {
            reportFile(path, "not a regular file");
            return false;
        }
        int reason = 0;
        if (beginWholeFile(&out->file, path, SAFE_BINARY, &reason) != 0) {
            reportFile(path, "%s", cannotWrite(reason));
            return false;
        }
        out->stream = out->file.stream;
    }
    std::setvbuf(out->stream, outBuf, _IOFBF, sizeof outBuf);
    return true;
}

void endPreamble(OutputFile *out) {
    if (out->path != nullptr) out->contentStart = wholeFileMark(&out->file);
}

bool finishOutput(OutputFile *out, bool keep) {
    if (out->path == nullptr) {
        errno = 0;
        if (std::fflush(out->stream) == 0 && !std::ferror(out->stream)) return true;
        reportFile("standard output", "%s", cannotWrite(errno));
        return false;
    }
    if (!keep) {
        abandonSafeFile(&out->file);
        return true;
    }
    // Every picture refused, or a template without a group.
    int reason = 0;
    int result = finishWholeFile(&out->file, out->contentStart, &reason);
    if (result == WHOLE_EMPTY) reportFile(out->path, "nothing to write, left as it was");
    if (result == WHOLE_FAILED) reportFile(out->path, "%s", cannotWrite(reason));
    return result == WHOLE_DONE;
}

FILE *openInput(const char *path) {
    FileInfo info;
    FILE *in = openInputFile(path, &info);
    if (in != nullptr && info.kind != ENTRY_FILE) {
        std::fclose(in);
        return nullptr;
    }
    return in;
}
