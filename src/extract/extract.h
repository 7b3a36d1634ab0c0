// extract.h - emojitag-extract: reads the emoji comment of GIF and JPEG files
// back into emoji-list lines, or checks a finished batch against its list.
#ifndef EMOJITAG_EXTRACT_H
#define EMOJITAG_EXTRACT_H

#include <cstddef>
#include <cstdio>

// The longest emoji text kept: what one JPEG COM segment can hold. A GIF
// comment can be longer; beyond this it is reported as too long.
constexpr size_t EMOJI_TEXT_MAX = 65533;

// Results of reading an image's emoji text.
constexpr int TEXT_FOUND = 0;        // in emojiText, emojiTextLen bytes
constexpr int TEXT_NONE = 1;         // the file holds no emoji comment
constexpr int TEXT_MALFORMED = 2;    // the file is not one the rewriters accept
constexpr int TEXT_TOO_LONG = 3;     // the emoji comment exceeds EMOJI_TEXT_MAX
constexpr int TEXT_CANNOT_OPEN = 4;  // the file cannot be opened

// The first emoji comment's data, NUL-terminated (it may hold NULs itself).
extern char emojiText[EMOJI_TEXT_MAX + 1];
extern size_t emojiTextLen;

// Reads the image at `path` of the given type (IMG_GIF, IMG_JPEG) in one pass
// and leaves its first emoji comment in emojiText.
int readEmojiText(const char *path, int imgType);
// The walks of the two formats over an open stream; TEXT_FOUND, TEXT_NONE,
// TEXT_MALFORMED or TEXT_TOO_LONG.
int findGifEmojiText(FILE *in);
int findJpgEmojiText(FILE *in);

// "emojitag-extract: PATH: reason" on standard error; counts the problem.
// Names are shown with every control byte as '?', so that a report stays
// one line and sends nothing to the terminal.
void report(const char *path, const char *reason);
extern int problemCount;
// Writes `name` to `out` as the reports show it.
void putShown(FILE *out, const char *name);

// "-o LIST.csv": why the name cannot take a list (it does not end in ".csv",
// or it names a GIF or JPEG file), as the start of a usage error, or null.
const char *listNameProblem(const char *path);
// The list file's stream, or null (reported) when the name cannot be written.
FILE *beginListFile(const char *path);
// Puts the complete list in its place; an old list stays when nothing was
// listed or a write failed (reported).
void finishListFile(const char *path);
// Lines written so far.
extern int listedCount;

// Writes the list line of the image at `path` whose text is in emojiText to
// `out`, or reports why it cannot. With `cp932Names` the path is written in
// CP932.
void writeListLine(FILE *out, const char *path, bool cp932Names);

// Lists the image or the directory tree named by a command-line PATH.
void listPath(FILE *out, const char *path, bool cp932Names);

// --check: compares each line of the list with its image (its -out file with
// `outFiles`); returns the exit status.
int checkList(const char *listPath, bool outFiles);

#endif
