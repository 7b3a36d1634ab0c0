// output_file.cpp - the output's stream and, for a named file, its temporary
// file and the replacement.
#include "output_file.h"

#include "list_report.h"
#include "platform_dir.h"
#include "platform_file.h"

namespace {

// Lines leave the process in large blocks.
constexpr size_t OUT_BUF_SIZE = 64 * 1024;
char outBuf[OUT_BUF_SIZE];

}  // namespace

bool openOutput(OutputFile *out, const char *path) {
    out->path = path;
    out->stream = stdout;
    if (path != nullptr) {
        // Only a regular file (or a link, which is replaced) is replaced; an
        // existing one keeps its attributes.
        int kind = ENTRY_FILE;
        if (pathEntryKind(path, &kind) == 0 && kind != ENTRY_FILE) {
            reportFile(path, "not a regular file");
            return false;
        }
        if (beginSafeFile(&out->file, path, SAFE_BINARY, nullptr, nullptr) != 0) {
            reportFile(path, "cannot write");
            return false;
        }
        out->stream = out->file.stream;
    }
    std::setvbuf(out->stream, outBuf, _IOFBF, sizeof outBuf);
    return true;
}

bool finishOutput(OutputFile *out, bool keep) {
    if (out->path == nullptr) {
        if (std::fflush(out->stream) == 0 && !std::ferror(out->stream)) return true;
        reportFile("standard output", "cannot write");
        return false;
    }
    if (!keep) {
        abandonSafeFile(&out->file);
        return true;
    }
    // Every picture refused, or a template without a group: an empty file
    // would take the place of a list or template that may hold hours of work.
    if (std::ftell(out->stream) == 0) {
        abandonSafeFile(&out->file);
        reportFile(out->path, "nothing to write, left as it was");
        return false;
    }
    if (commitSafeFile(&out->file) == SAFE_DONE) return true;
    reportFile(out->path, "cannot write");
    return false;
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
