// csv_reader.h - the emoji list reader: the list's name, its lines, the
// checks of a line in the order they are reported, and the conversion of the
// text field before the image job.
#ifndef EMOJITAG_CSV_READER_H
#define EMOJITAG_CSV_READER_H

#include <cstdio>

// Line buffer of the emoji list: one read takes at most 32767 bytes plus NUL.
constexpr int LINE_BUF_SIZE = 32768;
// Room for the suffix: 15 characters plus NUL.
constexpr int SFX_SIZE = 16;

// Runs the embedding run on the list at `path`: 0; -1 when the list is not
// opened (reported); LIST_READ_ERROR when reading it failed (reported), the
// lines before the failure done.
constexpr int LIST_READ_ERROR = -2;
int openCsvFile(const char *path);
// The list's name ends in exactly ".csv".
bool isCsvListName(const char *path);
// Checks the list's name and opens it for reading; prints the message and
// returns null when the name is refused or the file cannot be opened or is
// not a regular file.
FILE *openCsvList(const char *path);
// Every line of the list through its image job: 0, or -1 when reading the
// list failed before its end.
int getCsvData(FILE *fp);
// Reads and checks the next line of the list, counting it in lineNo: -1 at
// the end of the file, 0 for a refused line (its message printed), otherwise
// the image type, with imgFile and emoji filled.
int nextCsvLine(FILE *fp);
// The image type a name's suffix gives (a suffix of the format table in any
// case), or 0.
int imageTypeOfName(const char *name);
// White space is 0x09-0x0D and 0x20 only; no locale is consulted.
bool isSpaceByte(unsigned char c);
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
constexpr int CSV_BAD_SUFFIX = 4;  // no suffix of the format table
constexpr int CSV_NO_TEXT = 5;     // nothing after the comma
constexpr int CSV_OPEN_QUOTE = 6;  // the text's quote is never closed
// Checks one list line as checkCsvLine does, without a word: the image type,
// or 0 with the reason in *refusal.
int takeCsvLine(char *line, int *refusal);
// The reader's message for a refusal of takeCsvLine (nothing for
// CSV_TAKEN), with lineNo and the name in imgFile as the line left them.
void reportCsvRefusal(int refusal);
// Checks one list line in the order the reader reports problems, fills
// imgFile and emoji, and returns the image type; prints the line's message
// and returns 0 when the line is refused.
int checkCsvLine(char *line);
// The text field of the line (CP932, in `emoji`) to UTF-16BE and then UTF-8
// in emojiUtf8 (convertCp932Text on the reader's buffers); the converter's
// result, which the embedding run does not look at.
int convertEmojiText();
extern char emoji[LINE_BUF_SIZE];

#endif
