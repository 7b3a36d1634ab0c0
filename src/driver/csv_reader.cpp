// csv_reader.cpp - reads the emoji list line by line and runs one image job
// for every line that passes its checks.
#include "csv_reader.h"

#include "image_job.h"
#include "job_context.h"
#include "platform_dir.h"
#include "report.h"
#include "utf8.h"

static char buf[LINE_BUF_SIZE];  // the current line (or piece of a long line)
char emoji[LINE_BUF_SIZE];       // the text field, still in CP932

int openCsvFile(const char *path) {
    FileIdentity id;
    FILE *fp = openListFile(path, &id);
    if (fp == nullptr) return -1;
    rememberListFile(id);
    int result = getCsvData(fp);
    finishImageBatch();
    std::fclose(fp);
    if (result == 0) return 0;
    reportPath(path, "read error");
    return LIST_READ_ERROR;
}

int getCsvData(FILE *fp) {
    ListReader reader;
    startListRead(&reader, fp, ListBuffers{buf, imgFile, emoji, emojiUtf8});
    lineNo = 0;
    int read;
    while ((read = readListLine(&reader)) > 0) {
        lineNo = reader.lineNo;
        const ListLine &line = reader.line;
        reportListRefusal(line, lineNo);
        if (line.type == PICTURE_NONE) continue;
        convertListText(&reader);
        openImgFile(imgFile, emojiUtf8, line.type);
    }
    // A line cut by a read error is not taken; the lines before it are done.
    return read < 0 ? -1 : 0;
}
