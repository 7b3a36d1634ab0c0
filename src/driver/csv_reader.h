// csv_reader.h - emojitag's embedding run over the emoji list: the list
// reader (list_reader.h) on the process-wide buffers through which the
// reader, the image job and the rewriters meet (job_context.h).
#ifndef EMOJITAG_CSV_READER_H
#define EMOJITAG_CSV_READER_H

#include <cstdio>

#include "list_reader.h"

// Runs the embedding run on the list at `path`: 0; -1 when the list is not
// opened (reported); LIST_READ_ERROR when reading it failed (reported), the
// lines before the failure done.
constexpr int LIST_READ_ERROR = -2;
int openCsvFile(const char *path);
// Every line of the list through its image job, with lineNo counting the
// lines and imgFile, emoji and emojiUtf8 holding the current one's fields:
// 0, or -1 when reading the list failed before its end.
int getCsvData(FILE *fp);
// The text field of the current line, still in CP932.
extern char emoji[LINE_BUF_SIZE];

#endif
