// job_context.h - process-wide values through which the list reader, the
// command line, the image job and the rewriters meet. One image at a time.
#ifndef EMOJITAG_JOB_CONTEXT_H
#define EMOJITAG_JOB_CONTEXT_H

// Number of the emoji-list line that named the current image (1-based).
extern int lineNo;
// The image's path exactly as written in the list (messages use it).
extern char imgFile[];
// Set by a comment writer once the emoji text is in the output; cleared at
// the start of every image job, so the text is written at most once.
extern int doWriteEmoji;
// An earlier emoji comment is replaced by the new one (always 1).
extern int doOverWrite;
// "-o": the output replaces the input image after a successful job.
extern int doOverWritefile;
// "-f": a template scan was accepted; no emoji list is read.
extern int doGenFile;

#endif
