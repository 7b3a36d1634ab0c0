// input_file.h - a named input read by a companion: a regular file only.
#ifndef EMOJITAG_INPUT_FILE_H
#define EMOJITAG_INPUT_FILE_H

#include <cstdio>

// Opens a named input for reading: a regular file only (a directory, FIFO
// or device is null at once, never waited on).
FILE *openInput(const char *path);

#endif
