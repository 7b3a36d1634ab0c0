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
        // Only a regular file is replaced; an existing one keeps its attributes.
        int kind = ENTRY_FILE;
        FileInfo info;
        bool exists = pathEntryKind(path, &kind) == 0;
        if (exists && kind != ENTRY_FILE) {
            reportFile(path, "not a regular file");
            return false;
        }
        bool like = exists && pathFileInfo(path, &info) == 0;
        out->stream =
            createTempFile(path, like ? &info : nullptr, out->tempName, sizeof out->tempName);
        if (out->stream == nullptr) {
            reportFile(path, "cannot write");
            return false;
        }
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
    bool written = !std::ferror(out->stream);
    bool closed = std::fclose(out->stream) == 0 && written;
    FileInfo info;
    bool like = pathFileInfo(out->path, &info) == 0;
    if (keep && closed && replaceFile(out->tempName, out->path, like ? &info : nullptr) == 0)
        return true;
    removeFile(out->tempName);
    if (!keep) return true;
    reportFile(out->path, "cannot write");
    return false;
}
