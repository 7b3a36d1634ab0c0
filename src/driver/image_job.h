// image_job.h - one image named by one list line, and the batch that puts
// the replacements of `-o` in place.
#ifndef EMOJITAG_IMAGE_JOB_H
#define EMOJITAG_IMAGE_JOB_H

#include "img_path.h"
#include "platform_dir.h"

// The output's name, as buildOutName leaves it.
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
// Writes the output name of `path` into outfname.
void buildOutName(const char *path);

#endif
