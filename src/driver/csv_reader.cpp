// csv_reader.cpp - reads the emoji list line by line and runs one image job
// for every line that passes its checks.
#include <cstring>

#include "csv_reader.h"

#include "image_formats.h"
#include "image_job.h"
#include "job_context.h"
#include "platform_file.h"
#include "report.h"
#include "utf8.h"

static char buf[LINE_BUF_SIZE];  // the current line (or piece of a long line)
static char sfx[SFX_SIZE];       // the name's suffix, lower-cased
char emoji[LINE_BUF_SIZE];       // the text field, still in CP932

bool isSpaceByte(unsigned char c) {
    return c == 0x20 || (c >= 0x09 && c <= 0x0D);
}

char *skipSpace(char *s) {
    while (isSpaceByte(static_cast<unsigned char>(*s)))
        s++;
    return s;
}

char *findComma(char *s) {
    return std::strchr(s, ',');
}

// Cuts the text before its first CR or LF that is not its first byte.
int trimStr(char *s) {
    size_t n = std::strlen(s);
    for (size_t i = n; i-- > 1;) {
        if (s[i] == '\r' || s[i] == '\n') s[i] = '\0';
    }
    return 0;
}

bool isCsvListName(const char *path) {
    const char *dot = std::strrchr(path, '.');
    return dot != nullptr && std::strcmp(dot, ".csv") == 0;
}

FILE *openCsvList(const char *path) {
    if (!isCsvListName(path)) {
        reportPath(path, "not csv file");
        return nullptr;
    }
    // Only a regular file is a list: a directory holds no lines, and a FIFO
    // would keep the run waiting for a writer.
    FileInfo info;
    FILE *fp = openInputFile(path, &info);
    if (fp != nullptr && info.kind != ENTRY_FILE) {
        std::fclose(fp);
        fp = nullptr;
    }
    if (fp == nullptr) {
        reportPath(path, "not found");
        return nullptr;
    }
    rememberListFile(info.id);
    return fp;
}

int openCsvFile(const char *path) {
    FILE *fp = openCsvList(path);
    if (fp == nullptr) return -1;
    int result = getCsvData(fp);
    finishImageBatch();
    std::fclose(fp);
    if (result == 0) return 0;
    reportPath(path, "read error");
    return LIST_READ_ERROR;
}

// Image type of a lower-cased suffix, or 0 when it is not supported.
static int imageTypeOf(const char *suffix) {
    const ImageFormat *format = imageFormatOfSuffix(suffix);
    return format == nullptr ? 0 : format->type;
}

static void lowerSuffix(const char *dot) {
    int i = 0;
    for (; i < SFX_SIZE - 1 && dot[i] != '\0'; i++) {
        char c = dot[i];
        sfx[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    sfx[i] = '\0';
}

int imageTypeOfName(const char *name) {
    const char *dot = std::strrchr(name, '.');
    if (dot == nullptr) return 0;
    lowerSuffix(dot);
    return imageTypeOf(sfx);
}

// Copies the text field into `emoji`: a leading double quote takes the text
// up to the next double quote; otherwise the field runs to the line end.
// Returns false for an opening quote that is never closed on the line.
static bool takeTextField(const char *field) {
    size_t len;
    if (*field == '"') {
        field++;
        const char *close = std::strchr(field, '"');
        if (close == nullptr) return false;
        len = static_cast<size_t>(close - field);
    } else {
        len = std::strlen(field);
    }
    std::memcpy(emoji, field, len);
    emoji[len] = '\0';
    trimStr(emoji);
    return true;
}

static int refuse(int *refusal, int why) {
    *refusal = why;
    return 0;
}

int takeCsvLine(char *line, int *refusal) {
    char *start = skipSpace(line);
    if (*start == '\0') return refuse(refusal, CSV_BLANK);
    char *comma = findComma(start);
    if (comma == nullptr) return refuse(refusal, CSV_NO_COMMA);
    size_t nameLen = static_cast<size_t>(comma - start);
    std::memcpy(imgFile, start, nameLen);
    imgFile[nameLen] = '\0';

    const char *dot = std::strrchr(imgFile, '.');
    if (dot == nullptr) return refuse(refusal, CSV_NO_DOT);
    lowerSuffix(dot);
    int type = imageTypeOf(sfx);
    if (type == 0) return refuse(refusal, CSV_BAD_SUFFIX);
    const char *field = comma + 1;
    if (*field == '\0') return refuse(refusal, CSV_NO_TEXT);
    if (!takeTextField(field)) return refuse(refusal, CSV_OPEN_QUOTE);
    *refusal = CSV_TAKEN;
    return type;
}

void reportCsvRefusal(int refusal) {
    if (refusal == CSV_NO_DOT) {
        reportLine(lineNo, imgFile, "bad file name");
    } else if (refusal == CSV_BAD_SUFFIX) {
        reportLine(lineNo, imgFile, "sfx not supported.");
    } else if (refusal != CSV_TAKEN) {
        reportBareLine(lineNo, "input error");
    }
}

int checkCsvLine(char *line) {
    int refusal = CSV_TAKEN;
    int type = takeCsvLine(line, &refusal);
    reportCsvRefusal(refusal);
    return type;
}

int convertEmojiText() {
    return convertCp932Text(emoji, std::strlen(emoji), emojiUtf8, sizeof emojiUtf8);
}

int nextCsvLine(FILE *fp) {
    // A line longer than the buffer arrives in pieces, each counted as a line.
    if (std::fgets(buf, LINE_BUF_SIZE, fp) == nullptr) return -1;
    lineNo++;
    return checkCsvLine(buf);
}

int getCsvData(FILE *fp) {
    lineNo = 0;
    for (int type; (type = nextCsvLine(fp)) != -1;) {
        if (type != 0) {
            convertEmojiText();
            openImgFile(imgFile, emojiUtf8, type);
        }
    }
    // fgets ends a line cut by a read error as at the end of the file; the
    // cut line is not taken.
    return std::ferror(fp) ? -1 : 0;
}
