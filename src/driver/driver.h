// driver.h - the batch driver: emoji list reader, UTF-8 step, image job and
// template list.
#ifndef EMOJITAG_DRIVER_H
#define EMOJITAG_DRIVER_H

#include <cstdint>
#include <cstdio>

#include "platform_dir.h"

// Line buffer of the emoji list: one read takes at most 32767 bytes plus NUL.
constexpr int LINE_BUF_SIZE = 32768;
// Output size handed to the converter, in bytes (it keeps 2 for the terminator).
constexpr int UTF16_CONVERT_SIZE = 32772;
// UTF-16 units the UTF-8 step reads at most.
constexpr int UTF16_MAX_UNITS = 32772;
// Three bytes for each of UTF16_MAX_UNITS units, plus the NUL.
constexpr int UTF8_BUF_SIZE = 98317;
// Room for the suffix: 15 characters plus NUL.
constexpr int SFX_SIZE = 16;
// The output name is the input path plus "-out".
constexpr int OUTFNAME_SIZE = LINE_BUF_SIZE + 4;

// Image types handed from the reader to the image job.
constexpr int IMG_GIF = 1;
constexpr int IMG_JPEG = 2;

// Emoji list reader.
int openCsvFile(const char *path);
// The list's name ends in exactly ".csv".
bool isCsvListName(const char *path);
// Checks the list's name and opens it for reading; prints the message and
// returns null when the name is refused or the file cannot be opened or is
// not a regular file.
FILE *openCsvList(const char *path);
int getCsvData(FILE *fp);
// Reads and checks the next line of the list, counting it in lineNo: -1 at
// the end of the file, 0 for a refused line (its message printed), otherwise
// the image type, with imgFile and emoji filled.
int nextCsvLine(FILE *fp);
// The image type a name's suffix gives (".gif", ".jpg", ".jpeg" in any
// case), or 0.
int imageTypeOfName(const char *name);
char *skipSpace(char *s);
char *findComma(char *s);
int trimStr(char *s);
// Why the reader refuses a line, in the order it looks (emojitag reports
// the blank line, the missing comma, the missing text and the open quote all
// as an input error).
constexpr int CSV_TAKEN = 0;
constexpr int CSV_BLANK = 1;       // nothing but white space
constexpr int CSV_NO_COMMA = 2;    // no comma after the name
constexpr int CSV_NO_DOT = 3;      // the name has no '.'
constexpr int CSV_BAD_SUFFIX = 4;  // not ".gif", ".jpg" or ".jpeg"
constexpr int CSV_NO_TEXT = 5;     // nothing after the comma
constexpr int CSV_OPEN_QUOTE = 6;  // the text's quote is never closed
// Checks one list line as checkCsvLine does, without a word: the image type,
// or 0 with the reason in *refusal.
int takeCsvLine(char *line, int *refusal);
// Checks one list line in the order the reader reports problems, fills
// imgFile and emoji, and returns the image type; prints the line's message
// and returns 0 when the line is refused.
int checkCsvLine(char *line);
// The text field of the line (CP932, in `emoji`) to UTF-16BE and then UTF-8;
// the converter's result (a count, QZ_CC_SUBSTITUTED or QZ_CC_OUTPUT_FULL),
// which the embedding run does not look at.
int convertEmojiText();
extern char emoji[LINE_BUF_SIZE];

// UTF-16BE text in emojiUtf16 to UTF-8 in emojiUtf8.
extern uint8_t emojiUtf16[2 * UTF16_MAX_UNITS];
extern char emojiUtf8[UTF8_BUF_SIZE];
void encodeUtf8();

// Image job.
extern char outfname[OUTFNAME_SIZE];
int openImgFile(const char *path, const char *text, int imgType);
// Tells the image job which file is the list being read, so that no output
// is ever written into it.
void rememberListFile(const FileIdentity &list);
// The path to open for a list name: the name itself when it names an existing
// file; else, for a name with bytes of 0x80 or above that converts from CP932
// to UTF-8 without substitution into the name of an existing file, that UTF-8
// name (static storage, valid until the next call); else the name itself.
const char *resolveImgPath(const char *name);
// Writes `path` with "-out" before its last '.' into outfname.
void buildOutName(const char *path);

// Template list ("-f").
int startSearchGif(const char *dir, const char *listPath);
int searchGif(const char *dir, FILE *list);

#endif
