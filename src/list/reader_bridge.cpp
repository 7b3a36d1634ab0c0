// reader_bridge.cpp - the reader's per-line code on the reader's own buffers:
// the checks of takeCsvLine, the reader's conversion and the name rules of
// the image job. The one file that knows the driver's globals.
#include "reader_bridge.h"

#include <cstring>

#include "csv_reader.h"
#include "image_job.h"
#include "job_context.h"
#include "utf8.h"

static_assert(READER_LINE_MAX == LINE_BUF_SIZE - 1, "the reader's line buffer");
static_assert(READER_TEXT_UNITS == (UTF16_CONVERT_SIZE - 2) / 2, "the converter's output");
static_assert(REFUSED_NOT == CSV_TAKEN && REFUSED_BLANK == CSV_BLANK &&
                  REFUSED_NO_COMMA == CSV_NO_COMMA && REFUSED_NO_DOT == CSV_NO_DOT &&
                  REFUSED_BAD_SUFFIX == CSV_BAD_SUFFIX && REFUSED_NO_TEXT == CSV_NO_TEXT &&
                  REFUSED_OPEN_QUOTE == CSV_OPEN_QUOTE,
              "refusals");

namespace {

// The piece being read, with room for its NUL.
char lineBuf[LINE_BUF_SIZE];
// The text of the line converted last.
char utf8Buf[UTF8_BUF_SIZE];

}  // namespace

// As fgets fills the reader's buffer: up to and including a LF, at most
// READER_LINE_MAX bytes; unlike fgets it tells how many bytes came, so that a
// NUL byte inside the line can be seen.
bool readerNextLine(FILE *list, ReaderLine *line) {
    size_t n = 0;
    int c = 0;
    while (n < READER_LINE_MAX && (c = std::getc(list)) != EOF) {
        lineBuf[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    // A piece cut by a read error is no line: reading again after the error
    // would go on from the middle of the line.
    if (n == 0 || std::ferror(list)) return false;
    lineBuf[n] = '\0';
    readerTakeLine(lineBuf, n, line);
    return true;
}

void readerTakeLine(char *bytes, size_t length, ReaderLine *line) {
    line->bytes = bytes;
    line->length = length;
    line->type = takeCsvLine(bytes, &line->refusal);
    line->name = imgFile;
    line->text = emoji;
    line->utf8 = "";
    line->converted = 0;
    // A refusal before the name is taken leaves the name of an earlier line.
    if (line->refusal == REFUSED_BLANK || line->refusal == REFUSED_NO_COMMA) line->name = "";
    if (line->type == PICTURE_NONE) line->text = "";
}

void readerReportRefusal(const ReaderLine &line, int number) {
    lineNo = number;
    reportCsvRefusal(line.refusal);
}

void readerConvert(ReaderLine *line) {
    line->converted =
        convertCp932Text(line->text, std::strlen(line->text), utf8Buf, sizeof utf8Buf);
    line->utf8 = utf8Buf;
}

const char *readerImagePath(const char *name) {
    return resolveImgPath(name);
}

int readerPictureType(const char *name) {
    return imageTypeOfName(name);
}

const char *readerOutName(const char *path) {
    buildOutName(path);
    return outfname;
}

bool readerListName(const char *path) {
    return isCsvListName(path);
}

bool readerIsSpace(unsigned char c) {
    return isSpaceByte(c);
}
