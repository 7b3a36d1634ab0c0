// image_job.cpp - one image named by one list line: derive the output name,
// open both files, run the rewriter and, with "-o", put the output in the
// input's place.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "driver.h"
#include "embed.h"
#include "job_context.h"

char outfname[OUTFNAME_SIZE];

// Stream buffers of the two files of a job; large enough that a big image is
// moved in few system calls.
constexpr size_t STREAM_BUF_SIZE = 128 * 1024;
static char inStreamBuf[STREAM_BUF_SIZE];
static char outStreamBuf[STREAM_BUF_SIZE];

// Gives the finished output the input's permission bits, then renames it over
// the input. The rename is atomic: at no moment is the input's name missing,
// and on any failure the input is left as it was.
static void replaceInput(const char *path, const struct stat &inStat) {
    if (chmod(outfname, inStat.st_mode & 07777) != 0 || std::rename(outfname, path) != 0)
        std::fprintf(stderr, "Error: %d:%s: cannot replace the input\n", lineNo, imgFile);
}

// True when `name` exists and is the same file as the open input.
static bool isSameFile(const char *name, const struct stat &inStat, bool haveStat) {
    struct stat st;
    return haveStat && stat(name, &st) == 0 && st.st_dev == inStat.st_dev &&
           st.st_ino == inStat.st_ino;
}

int openImgFile(const char *path, const char *text, int imgType) {
    doWriteEmoji = 0;
    buildOutName(path);

    FILE *in = std::fopen(path, "rb");
    if (in == nullptr) {
        std::fprintf(stderr, "Error: %d:%s: not found\n", lineNo, imgFile);
        return -1;
    }
    struct stat inStat;
    bool haveStat = fstat(fileno(in), &inStat) == 0;
    // Opening the output empties it: when its name already leads to the input
    // itself (a link), that would destroy the picture before it is read.
    FILE *out = isSameFile(outfname, inStat, haveStat) ? nullptr : std::fopen(outfname, "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "Error: %d:%s: file open error\n", lineNo, outfname);
        std::fclose(in);
        return -1;
    }
    std::setvbuf(in, inStreamBuf, _IOFBF, STREAM_BUF_SIZE);
    std::setvbuf(out, outStreamBuf, _IOFBF, STREAM_BUF_SIZE);

    int fault;
    if (imgType == IMG_GIF) {
        fault = setGifData(in, out, text);
        if (fault != 0) std::fprintf(stderr, "Error: %d:%s: bad GIF file\n", lineNo, imgFile);
    } else {
        fault = setJpgData(in, out, text);
        if (fault != 0) std::fprintf(stderr, "Error: %d:%s: bad JPG file\n", lineNo, imgFile);
    }

    std::fclose(in);
    // Closing flushes the last buffered bytes: an output that could not be
    // written whole must never be reported as done or replace the input.
    bool written = !std::ferror(out);
    bool closed = std::fclose(out) == 0 && written;
    if (fault == 0 && !closed) {
        std::fprintf(stderr, "Error: %d:%s: write error\n", lineNo, outfname);
        fault = -1;
    }
    // After any fault the input stays untouched and the incomplete output
    // stays under its own name.
    if (doOverWritefile && fault == 0) {
        if (haveStat) {
            replaceInput(path, inStat);
        } else {
            std::fprintf(stderr, "Error: %d:%s: cannot replace the input\n", lineNo, imgFile);
        }
    }
    return 0;
}
