// image_job.cpp - one image named by one list line: find the file the name
// stands for, open it and a new output, run the rewriter and, with "-o", put
// the output in the input's place.
#include <cstdio>

#include "image_formats.h"
#include "image_job.h"
#include "job_context.h"
#include "platform_copy.h"
#include "platform_file.h"

char outfname[OUTFNAME_SIZE];

// Stream buffers of the two files of a job; large enough that a big image is
// moved in few system calls.
constexpr size_t STREAM_BUF_SIZE = 128 * 1024;
static char inStreamBuf[STREAM_BUF_SIZE];
static char outStreamBuf[STREAM_BUF_SIZE];
// With "-o", the new file that takes the input's place.
static SafeFile replacement;
// Files an output must never be: the job's input and the list being read
// (reached through a hard link at NAME-out.EXT, emptying it would lose them).
static FileIdentity avoided[2];
static int listAvoided;

void rememberListFile(const FileIdentity &list) {
    avoided[1] = list;
    listAvoided = 1;
}

// With "-o" the output is a new file of the tool's own, beside the input and
// with its attributes, so that NAME-out.EXT, whatever it is, stays untouched
// and two runs at once never write the same file. Without, NAME-out.EXT,
// when it is the tool's to write (see openOutputFile).
static FILE *openOutput(const char *src, FILE *in, const FileInfo &info) {
    if (doOverWritefile)
        return beginSafeFile(&replacement, src, SAFE_BINARY, in, &info) == 0 ? replacement.stream
                                                                             : nullptr;
    buildOutName(src);
    avoided[0] = info.id;
    return openOutputFile(outfname, &info, avoided, 1 + listAvoided);
}

// Messages about the output name it as the user knows it: NAME-out.EXT of the
// name as written in the list, whichever file was written.
static void reportOutput(const char *path, const char *problem) {
    buildOutName(path);
    std::fprintf(stderr, "Error: %d:%s: %s\n", lineNo, outfname, problem);
}

static void reportBadImage(const ImageFormat &format) {
    std::fprintf(stderr, "Error: %d:%s: %s\n", lineNo, imgFile, format.badImageMessage);
}

// A rewrite that stopped at a failed write is a write error, not a bad image.
static void reportFault(const char *path, FILE *out, const ImageFormat &format) {
    if (std::ferror(out))
        reportOutput(path, "write error");
    else
        reportBadImage(format);
}

// The finished output takes the input's place in one rename: at no moment is
// the input's name missing. After any fault the new file goes and the input
// stays as it was.
static void finishReplacement(const char *path, int fault, const ImageFormat &format) {
    if (fault != 0) {
        reportFault(path, replacement.stream, format);
        abandonSafeFile(&replacement);
        return;
    }
    int placed = commitSafeFile(&replacement);
    if (placed == SAFE_WRITE_FAILED) reportOutput(path, "write error");
    if (placed == SAFE_NOT_PLACED)
        std::fprintf(stderr, "Error: %d:%s: cannot replace the input\n", lineNo, imgFile);
}

// Closing flushes the last buffered bytes: an output that could not be
// written whole must never be reported as done.
static void finishOutput(const char *path, FILE *out, int fault, const ImageFormat &format) {
    if (fault != 0) reportFault(path, out, format);
    bool written = !std::ferror(out);
    bool closed = std::fclose(out) == 0;
    if (fault == 0 && !(written && closed)) reportOutput(path, "write error");
}

int openImgFile(const char *path, const char *text, int imgType) {
    doWriteEmoji = 0;
    // The reader passes only the types of the format table.
    const ImageFormat *format = imageFormatOfType(imgType);
    if (format == nullptr) return -1;
    const char *src = resolveImgPath(path);

    FileInfo info;
    FILE *in = openInputFile(src, &info);  // a directory does not open
    if (in == nullptr) {
        std::fprintf(stderr, "Error: %d:%s: not found\n", lineNo, imgFile);
        return -1;
    }
    // A FIFO or device is no image: it is never read (it could wait or never
    // end), and no output is made for it.
    if (info.kind != ENTRY_FILE) {
        reportBadImage(*format);
        std::fclose(in);
        return -1;
    }
    FILE *out = openOutput(src, in, info);
    if (out == nullptr) {
        reportOutput(path, "file open error");
        std::fclose(in);
        return -1;
    }
    std::setvbuf(in, inStreamBuf, _IOFBF, STREAM_BUF_SIZE);
    std::setvbuf(out, outStreamBuf, _IOFBF, STREAM_BUF_SIZE);

    // An input larger than its stream buffer is mapped, so that the runs
    // that pass unchanged go out without a copy through the program. One
    // cut short meanwhile fails as a short read would.
    bool mapped = info.size > STREAM_BUF_SIZE && mapInput(in, info.size);
    int fault = format->rewrite(in, out, text);
    if (mapped && !unmapInput(in)) fault = -1;
    std::fclose(in);
    if (doOverWritefile)
        finishReplacement(path, fault, *format);
    else
        finishOutput(path, out, fault, *format);
    return 0;
}
