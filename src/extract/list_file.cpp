// list_file.cpp - the list-line output: a listing's lines to standard output
// or to the list file of "-o LIST.csv" (a name that can only be a list,
// written whole, whole_file.h); a check's findings to standard output.
#include <cstring>

#include "extract.h"
#include "line_findings.h"
#include "list_reader.h"
#include "platform_file.h"
#include "whole_file.h"

namespace {

// "-o names a GIF or JPEG file: "
char imageProblem[128];

// Output buffer: lines leave the process in large blocks.
constexpr size_t OUT_BUF_SIZE = 64 * 1024;
char outBuf[OUT_BUF_SIZE];

// The output's state, one per run.
struct LineOutput {
    ExtractRun *run;
    bool cp932Names;
    bool checking;  // findings of a check, not a list
};
LineOutput lineOutput;

FILE *beginListFile(ExtractRun &run, const char *path) {
    int reason = 0;
    if (beginWholeFile(&run.listFile, path, SAFE_BINARY, &reason) == WHOLE_DONE)
        return run.listFile.stream;
    report(run, path, cannotWrite(reason));
    return nullptr;
}

// Puts the complete list in its place; an old list stays when nothing was
// listed or a write failed. False when that is reported.
bool finishListFile(ExtractRun &run) {
    // A run that found nothing to list (every PATH mistyped, say). The list
    // has no preamble.
    int reason = 0;
    int result = finishWholeFile(&run.listFile, &reason);
    const char *path = run.listFile.path;
    if (path == nullptr) {
        if (result == WHOLE_DONE) return true;
        report(run, "standard output", cannotWrite(reason));
        return false;
    }
    if (result == WHOLE_EMPTY) report(run, path, "nothing listed, list left as it was");
    if (result == WHOLE_FAILED) report(run, path, cannotWrite(reason));
    return result == WHOLE_DONE;
}

int writeImageLine(void *user, const char *path, int imgType) {
    const LineOutput &o = *static_cast<LineOutput *>(user);
    int result = readEmojiText(o.run->text, path, imgType);
    if (result == TEXT_FOUND)
        writeListLine(*o.run, o.run->listFile.stream, path, imgType, o.cp932Names);
    return result;
}

void writeFindings(void *, const ListLine &line, const LineResult &r) {
    printFindings(stdout, r.lineNo, line, *r.findings);
    // As emojitag would say it, beside the finding.
    reportListRefusal(line, r.lineNo);
}

int finishLines(void *user, int status) {
    const LineOutput &o = *static_cast<LineOutput *>(user);
    if (o.checking) return status < 0 || std::fflush(stdout) != 0 ? EXIT_PROBLEM : status;
    return finishListFile(*o.run) ? status : EXIT_PROBLEM;
}

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

bool beginLineOutput(ExtractOutput &out, ExtractRun &run, const char *listPath, bool cp932Names,
                     bool checking) {
    lineOutput = LineOutput{&run, cp932Names, checking};
    out = ExtractOutput{&lineOutput, writeImageLine, writeFindings, finishLines};
    if (checking) return true;
    FILE *stream = beginListFile(run, listPath);
    if (stream == nullptr) return false;  // reported; nothing is walked
    std::setvbuf(stream, outBuf, _IOFBF, sizeof outBuf);
    return true;
}
