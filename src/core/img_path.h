// img_path.h - the names of an image job: the file a list name stands for,
// and the name of the output written beside it.
#ifndef EMOJITAG_IMG_PATH_H
#define EMOJITAG_IMG_PATH_H

#include "list_reader.h"

// The output name is the input path plus "-out".
constexpr int OUTFNAME_SIZE = LINE_BUF_SIZE + 4;

// The path to open for a list name: the name itself when it names an existing
// file; else, for a name with bytes of 0x80 or above that converts from CP932
// to UTF-8 without substitution into the name of an existing file, that UTF-8
// name (static storage, valid until the next call); else the name itself.
const char *resolveImgPath(const char *name);
// Writes `path` with "-out" before its last '.' into `out` (OUTFNAME_SIZE
// bytes).
void writeOutName(char *out, const char *path);

#endif
