#include "job_context.h"

#include "csv_reader.h"

int lineNo;
char imgFile[LINE_BUF_SIZE];
int doWriteEmoji;
int doOverWrite = 1;
int doOverWritefile;
int doGenFile;
