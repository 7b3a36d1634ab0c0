// image_job.h - one image named by one list line, and the names it uses:
// the file a list name stands for and the output beside it.
#ifndef EMOJITAG_IMAGE_JOB_H
#define EMOJITAG_IMAGE_JOB_H

#include "list_reader.h"
#include "platform_dir.h"

// The output name is the input path plus "-out".
constexpr int OUTFNAME_SIZE = LINE_BUF_SIZE + 4;
extern char outfname[OUTFNAME_SIZE];

// Runs the rewriter of the format `imgType` (a type of the format table) on
// the image at `path` with the UTF-8 `text`.
int openImgFile(const char *path, const char *text, int imgType);
// The replacements that wait in the batch of image jobs take their inputs'
// places and reach the disk, and their failures are reported. Called before
// any message of a later line, so that messages keep the order of the lines.
void placeWaitingImages();
// Ends the batch (after the last line): its replacements are placed, and the
// directories it holds are closed.
void finishImageBatch();
// Tells the image job which file is the list being read, so that no output
// is ever written into it.
void rememberListFile(const FileIdentity &list);
// The path to open for a list name: the name itself when it names an existing
// file; else, for a name with bytes of 0x80 or above that converts from CP932
// to UTF-8 without substitution into the name of an existing file, that UTF-8
// name (static storage, valid until the next call); else the name itself.
const char *resolveImgPath(const char *name);
// Writes `path` with "-out" before its last '.' into `out` (OUTFNAME_SIZE
// bytes), or into outfname.
void writeOutName(char *out, const char *path);
void buildOutName(const char *path);

#endif
