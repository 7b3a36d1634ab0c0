// image_job.cpp - one image named by one list line: find the file the name
// stands for, open it and a new output in its directory, run the rewriter
// and, with "-o", put the output in the input's place. Jobs come in
// batches: a batch holds the directories its jobs work in and, with "-o",
// the finished replacements, which reach the disk together.
#include <cstdio>
#include <cstring>

#include "image_formats.h"
#include "image_job.h"
#include "job_context.h"
#include "platform_copy.h"
#include "platform_file.h"
#include "report.h"

char outfname[OUTFNAME_SIZE];

void buildOutName(const char *path) {
    writeOutName(outfname, path);
}

// Stream buffers of the two files of a job; large enough that a big image is
// moved in few system calls.
constexpr size_t STREAM_BUF_SIZE = 128 * 1024;
static char inStreamBuf[STREAM_BUF_SIZE];
static char outStreamBuf[STREAM_BUF_SIZE];
// The scratch every rewrite works in, one job at a time.
static ImageWork work;

// Jobs in a batch, directories it holds open, and room for the list names
// of its waiting replacements (for their messages).
constexpr int BATCH_JOBS = 128;
constexpr int BATCH_DIRS = 8;
constexpr size_t BATCH_NAMES_SIZE = 64 * 1024;

// A finished replacement that waits for the batch's flush before it takes
// the input's name.
struct WaitingReplacement {
    SafeFile file;
    FileIdentity input;  // the file it replaces
    int line;            // its list line
    size_t nameAt;       // its list name, in the batch's names
    int dir;             // the directory it is written in, of the batch's
};

// A batch. Each job opens the directory of its image once (or finds it open
// already) and names every file relative to it, so that a folder swapped on
// the path cannot split the job over two directories; a batch ends after
// BATCH_JOBS jobs, and its directories are then closed and opened anew by
// the next.
struct ImageBatch {
    WorkDir dirs[BATCH_DIRS];
    bool dirSynced[BATCH_DIRS];  // its renames have reached the disk
    int dirCount;
    int jobs;
    WaitingReplacement waiting[BATCH_JOBS];
    int waitingCount;
    char names[BATCH_NAMES_SIZE];
    size_t namesUsed;
};
static ImageBatch batch;

// Files an output must never be: the job's input and the list being read
// (reached through a hard link at NAME-out.EXT, emptying it would lose them).
static FileIdentity avoided[2];
static int listAvoided;

void rememberListFile(const FileIdentity &list) {
    avoided[1] = list;
    listAvoided = 1;
}

// Messages about the output name it as the user knows it: NAME-out.EXT of the
// name as written in the list, whichever file was written.
static void printOutputProblem(int line, const char *path, const char *problem) {
    buildOutName(path);
    reportLine(line, outfname, problem);
}

static void printReplaceProblem(int line, const char *name) {
    reportLine(line, name, "cannot replace the input");
}

// Puts the batch's waiting replacements in place and on disk and reports
// those that failed, in the order of their lines. The directories stay open
// for the job under way.
void placeWaitingImages() {
    int n = batch.waitingCount;
    if (n == 0) return;
    SafeFile *files[BATCH_JOBS] = {};
    int results[BATCH_JOBS] = {};
    for (int i = 0; i < n; i++)
        files[i] = &batch.waiting[i].file;
    placeSafeFiles(files, n, results);
    // Each directory that took a new name is synced once.
    bool synced[BATCH_DIRS];
    for (int d = 0; d < batch.dirCount; d++)
        synced[d] = true;
    for (int i = 0; i < n; i++)
        if (results[i] == SAFE_DONE) synced[batch.waiting[i].dir] = false;
    for (int d = 0; d < batch.dirCount; d++)
        synced[d] = synced[d] || syncWorkDir(&batch.dirs[d]) == 0;
    // The batch's messages come before any message of a later line.
    batch.waitingCount = 0;
    for (int i = 0; i < n; i++) {
        const WaitingReplacement &w = batch.waiting[i];
        const char *name = batch.names + w.nameAt;
        if (results[i] == SAFE_NOT_PLACED)
            printReplaceProblem(w.line, name);
        else if (results[i] != SAFE_DONE || !synced[w.dir])
            printOutputProblem(w.line, name, "write error");
    }
    batch.namesUsed = 0;
}

// Ends the batch: its replacements are placed and its directories closed.
void finishImageBatch() {
    placeWaitingImages();
    for (int d = 0; d < batch.dirCount; d++)
        closeWorkDir(&batch.dirs[d]);
    batch.dirCount = 0;
    batch.jobs = 0;
    batch.namesUsed = 0;
}

static void reportOutput(const char *path, const char *problem) {
    printOutputProblem(lineNo, path, problem);
}

static void reportBadImage(const ImageFormat &format) {
    char message[64];
    std::snprintf(message, sizeof message, "bad %s file", format.shortName);
    reportLine(lineNo, imgFile, message);
}

// What the comment writer met on the way, in the order it meets them.
static void reportNotes(unsigned notes) {
    if (notes & NOTE_NO_TAG_END) reportLine(lineNo, imgFile, "cannot find tag-end");
    if (notes & NOTE_TAG_TOO_LONG) reportLine(lineNo, imgFile, "tag too long");
}

static void reportNotFound() {
    reportLine(lineNo, imgFile, "not found");
}

// A rewrite that stopped at a failed write is a write error, not a bad image.
static void reportFault(const char *path, FILE *out, const ImageFormat &format) {
    if (std::ferror(out))
        reportOutput(path, "write error");
    else
        reportBadImage(format);
}

// The directory of the batch that `src` lies in, opened now when the batch
// has not opened it yet; -1 when it cannot be opened.
static int batchDirOf(const char *src) {
    size_t len = directoryPartLength(src);
    for (int d = 0; d < batch.dirCount; d++)
        if (std::strncmp(batch.dirs[d].path, src, len) == 0 && batch.dirs[d].path[len] == '\0')
            return d;
    if (batch.dirCount == BATCH_DIRS) finishImageBatch();
    int d = batch.dirCount;
    if (openWorkDir(&batch.dirs[d], src) != 0) return -1;
    batch.dirCount++;
    return d;
}

static bool waitsForReplacement(const FileIdentity &id) {
    for (int i = 0; i < batch.waitingCount; i++)
        if (sameIdentity(batch.waiting[i].input, id)) return true;
    return false;
}

// Opens the job's input in its directory of the batch. An input that a
// waiting replacement is to replace (the list names it twice) is read once
// that replacement is in place.
static FILE *openInput(const char *src, int *dir, FileInfo *info) {
    *dir = batchDirOf(src);
    if (*dir < 0) return nullptr;
    const char *name = src + directoryPartLength(src);
    FILE *in = openInputFileIn(&batch.dirs[*dir], name, info);  // a directory does not open
    if (in == nullptr || !waitsForReplacement(info->id)) return in;
    std::fclose(in);
    finishImageBatch();
    *dir = batchDirOf(src);
    return *dir < 0 ? nullptr : openInputFileIn(&batch.dirs[*dir], name, info);
}

// With "-o" the output is a new file of the tool's own, beside the input and
// with its attributes, so that NAME-out.EXT, whatever it is, stays untouched
// and two runs at once never write the same file; it is begun in the
// batch's next waiting place. Without, NAME-out.EXT, when it is the tool's to
// write (see openOutputFileIn).
static FILE *openOutput(const char *src, int dir, FILE *in, const FileInfo &info) {
    const char *name = src + directoryPartLength(src);
    if (doOverWritefile) {
        SafeFile *sf = &batch.waiting[batch.waitingCount].file;
        int flags = SAFE_BINARY | SAFE_READ_BACK;  // read back to compare with the input
        return beginSafeFileIn(sf, &batch.dirs[dir], name, flags, in, &info) == 0 ? sf->stream
                                                                                  : nullptr;
    }
    buildOutName(name);
    avoided[0] = info.id;
    return openOutputFileIn(&batch.dirs[dir], outfname, in, &info, avoided, 1 + listAvoided);
}

// Whether the finished output of "-o" holds exactly the input's bytes: the
// same size first, then both read from the start through their streams and
// compared block by block. Anything that cannot
// be read or examined counts as a difference, so that the input is replaced
// as ever. The output's stream is left at its end.
static bool outputMatchesInput(FILE *in, FILE *out, unsigned long long size) {
    FileInfo written;
    if (std::fflush(out) != 0 || std::ferror(out) || streamFileInfo(out, &written) != 0 ||
        written.size != size || std::fseek(out, 0, SEEK_SET) != 0)
        return false;
    // Read through the stream even when the input is mapped: the walk has
    // given the mapping's pages back, and the program's memory stays small.
    if (std::fseek(in, 0, SEEK_SET) != 0) return false;
    // The scratch of the finished rewrite holds the two blocks.
    constexpr size_t BLOCK = sizeof work.field;
    static_assert(sizeof work.input >= BLOCK, "the input's block fits the scratch");
    unsigned long long done = 0;
    bool same = true;
    while (same) {
        size_t n = std::fread(work.field, 1, BLOCK, out);
        if (n == 0) break;
        same = std::fread(work.input, 1, n, in) == n && std::memcmp(work.field, work.input, n) == 0;
        done += n;
    }
    same = same && done == size && !std::ferror(out) && !std::ferror(in);
    if (std::fseek(out, 0, SEEK_END) != 0) same = false;
    return same;
}

// The finished output waits in the batch to take the input's place in one
// rename: at no moment is the input's name missing. After any fault the new
// file goes and the input stays as it was. An output that holds the input's
// bytes goes too: the input stays, untouched, and nothing is reported.
static void finishReplacement(const char *path, int dir, const FileInfo &info, int fault,
                              bool unchanged, const ImageFormat &format) {
    WaitingReplacement &w = batch.waiting[batch.waitingCount];
    if (fault == 0 && unchanged) {
        abandonSafeFile(&w.file);
        return;
    }
    if (fault != 0) {
        bool writeFailed = std::ferror(w.file.stream) != 0;
        abandonSafeFile(&w.file);
        if (writeFailed)
            reportOutput(path, "write error");
        else
            reportBadImage(format);
        return;
    }
    int done = completeSafeFile(&w.file);
    if (done != SAFE_DONE) {
        if (done == SAFE_NOT_PLACED)
            printReplaceProblem(lineNo, imgFile);
        else
            reportOutput(path, "write error");
        return;
    }
    w.input = info.id;
    w.line = lineNo;
    w.dir = dir;
    w.nameAt = batch.namesUsed;
    size_t nameLen = std::strlen(path) + 1;
    std::memcpy(batch.names + batch.namesUsed, path, nameLen);
    batch.namesUsed += nameLen;
    batch.waitingCount++;
}

// Closing flushes the last buffered bytes: an output that could not be
// written whole must never be reported as done.
static void finishOutput(const char *path, FILE *out, int fault, const ImageFormat &format) {
    if (fault != 0) reportFault(path, out, format);
    bool written = !std::ferror(out);
    bool closed = closeOutputFile(out) == 0;
    if (fault == 0 && !(written && closed)) reportOutput(path, "write error");
}

int openImgFile(const char *path, const char *text, int imgType) {
    // The reader passes only the types of the format table.
    const ImageFormat *format = imageFormatOfType(imgType);
    if (format == nullptr) return -1;
    // A batch ends after its last job, or where it has no room for one more
    // waiting replacement and its name.
    if (batch.jobs == BATCH_JOBS || batch.namesUsed + std::strlen(path) + 1 > sizeof batch.names)
        finishImageBatch();
    // Every message first puts the waiting replacements in place.
    setMessageHook(placeWaitingImages);
    batch.jobs++;
    const char *src = resolveImgPath(path);

    FileInfo info;
    int dir;
    FILE *in = openInput(src, &dir, &info);
    if (in == nullptr) {
        reportNotFound();
        return -1;
    }
    // A FIFO or device is no image: it is never read (it could wait or never
    // end), and no output is made for it.
    if (info.kind != ENTRY_FILE) {
        reportBadImage(*format);
        std::fclose(in);
        return -1;
    }
    FILE *out = openOutput(src, dir, in, info);
    if (out == nullptr) {
        std::fclose(in);
        reportOutput(path, "file open error");
        return -1;
    }
    std::setvbuf(in, inStreamBuf, _IOFBF, STREAM_BUF_SIZE);
    std::setvbuf(out, outStreamBuf, _IOFBF, STREAM_BUF_SIZE);

    // An input larger than its stream buffer is mapped, so that the runs
    // that pass unchanged go out without a copy through the program. One
    // cut short meanwhile fails as a short read would.
    bool mapped = info.size > STREAM_BUF_SIZE && mapInput(in, info.size);
    doWriteEmoji = 0;
    EmbedCall call = startEmbedCall(text, work);
    call.replaceOld = doOverWrite != 0;
    int fault = format->rewrite(in, out, call) == REWRITE_DONE ? 0 : -1;
    if (mapped) {
        finishInputMoves(in, out);
        if (!unmapInput(in)) fault = -1;
    }
    doWriteEmoji = call.written ? 1 : 0;
    reportNotes(call.notes);
    // With "-o", a picture that would come out as it is stays as it is.
    bool unchanged = doOverWritefile && fault == 0 && outputMatchesInput(in, out, info.size);
    std::fclose(in);
    if (doOverWritefile)
        finishReplacement(path, dir, info, fault, unchanged, *format);
    else
        finishOutput(path, out, fault, *format);
    return 0;
}
