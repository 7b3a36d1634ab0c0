// image_job.cpp - one image named by one list line: find the file the name
// stands for, open it and a new output, run the rewriter and, with "-o", put
// the output in the input's place.
#include <cstdio>

#include "driver.h"
#include "embed.h"
#include "job_context.h"
#include "platform_file.h"

char outfname[OUTFNAME_SIZE];

// Stream buffers of the two files of a job; large enough that a big image is
// moved in few system calls.
constexpr size_t STREAM_BUF_SIZE = 128 * 1024;
static char inStreamBuf[STREAM_BUF_SIZE];
static char outStreamBuf[STREAM_BUF_SIZE];
// With "-o", the temporary output beside the input: the input's directory, a
// name derived from the input's and a few random characters.
static char tempName[OUTFNAME_SIZE + 16];
// Files an output must never be: the job's input and the list being read
// (reached through a hard link at NAME-out.EXT, emptying it would lose them).
static FileIdentity avoided[2];
static int listAvoided;

void rememberListFile(FILE *list) {
    FileInfo info;
    listAvoided = streamFileInfo(list, &info) == 0;
    if (listAvoided) avoided[1] = info.id;
}

// With "-o" the output is a new file of the tool's own, beside the input and
// with its attributes, so that NAME-out.EXT, whatever it is, stays untouched
// and two runs at once never write the same file. Without, NAME-out.EXT,
// never reached through a link, never anything but a regular file, and never
// the input itself.
static FILE *openOutput(const char *src, const FileInfo &info) {
    if (doOverWritefile) return createTempFile(src, &info, tempName, sizeof tempName);
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

// The finished temporary output takes the input's place in one rename: at no
// moment is the input's name missing. After any fault the temporary file goes
// and the input stays as it was.
static void finishReplacement(const char *src, const FileInfo &info, bool done) {
    if (done && replaceFile(tempName, src, &info) == 0) return;
    if (done) std::fprintf(stderr, "Error: %d:%s: cannot replace the input\n", lineNo, imgFile);
    removeFile(tempName);
}

int openImgFile(const char *path, const char *text, int imgType) {
    doWriteEmoji = 0;
    const char *src = resolveImgPath(path);

    FILE *in = openInputFile(src);
    if (in == nullptr) {
        std::fprintf(stderr, "Error: %d:%s: not found\n", lineNo, imgFile);
        return -1;
    }
    FileInfo info;
    FILE *out = streamFileInfo(in, &info) == 0 ? openOutput(src, info) : nullptr;
    if (out == nullptr) {
        reportOutput(path, "file open error");
        std::fclose(in);
        return -1;
    }
    std::setvbuf(in, inStreamBuf, _IOFBF, STREAM_BUF_SIZE);
    std::setvbuf(out, outStreamBuf, _IOFBF, STREAM_BUF_SIZE);

    int fault = imgType == IMG_GIF ? setGifData(in, out, text) : setJpgData(in, out, text);
    std::fclose(in);
    // Closing flushes the last buffered bytes: an output that could not be
    // written whole must never be reported as done or replace the input. A
    // rewrite that stopped at a failed write is a write error, not a bad image.
    bool written = !std::ferror(out);
    bool closed = std::fclose(out) == 0 && written;
    if (fault != 0 && written) {
        std::fprintf(
            stderr,
            imgType == IMG_GIF ? "Error: %d:%s: bad GIF file\n" : "Error: %d:%s: bad JPG file\n",
            lineNo, imgFile);
    } else if (!closed) {
        reportOutput(path, "write error");
        fault = -1;
    }
    if (doOverWritefile) finishReplacement(src, info, fault == 0);
    return 0;
}
