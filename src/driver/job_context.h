// job_context.h - process-wide values through which the list reader, the
// command line and the image job meet; the rewriters take what they need in
// their call. One image at a time.
#ifndef EMOJITAG_JOB_CONTEXT_H
#define EMOJITAG_JOB_CONTEXT_H

// Number of the emoji-list line that named the current image (1-based).
extern int lineNo;
// The image's path exactly as written in the list (messages use it).
extern char imgFile[];
// Cleared at the start of every image job and set to 1 once its rewrite has
// placed the emoji text (the rewrite's own record of it is the call's
// `written`, which the text is written at most once by).
extern int doWriteEmoji;
// An earlier emoji comment is replaced by the new one (always 1).
extern int doOverWrite;
// "-o": the output replaces the input image after a successful job.
extern int doOverWritefile;
// "-f": a template scan was accepted; no emoji list is read.
extern int doGenFile;

#endif
