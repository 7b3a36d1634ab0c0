// html_sheet.h - the contact sheet's own pieces: text and URLs into HTML,
// the names of pictures as the page shows and links them, the elements of an
// emoji text, the page's files and the page itself.
#ifndef EMOJITAG_HTML_SHEET_H
#define EMOJITAG_HTML_SHEET_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "extract.h"
#include "platform_file.h"

// html_text.cpp: text into HTML.

// With this flag the three references "&amp;", "&lt;" and "&gt;" show as the
// characters they stand for (the values of an emoji text are written so).
constexpr int HTML_KEEP_ENTITIES = 1;

// Writes `n` bytes of UTF-8 as HTML text, fit for an attribute value too:
// & < > " ' as references, control characters as their visible pictures
// (U+2400 on), every byte that is not part of a UTF-8 character as U+FFFD.
void writeHtmlText(FILE *out, const char *s, size_t n, int flags = 0);
void writeHtmlText(FILE *out, const char *s);
// Puts the bytes of a URL path into `dst` (capacity `cap`, three bytes for
// each at most): '/' and the unreserved characters (letters, digits, - . _ ~)
// as they are, every other byte as %XX. The length, or `cap` when it does
// not fit.
size_t encodeUrlPath(char *dst, size_t cap, const char *s, size_t n);

// sheet_names.cpp: the names of pictures as the page shows and links them.

// Longest name handled, in UTF-8 (three bytes for each CP932 byte at most).
constexpr size_t SHEET_NAME_MAX = 3 * 8192;

struct SheetNames {
    // The sheet's directory, absolute and in UTF-8, "." and ".." resolved,
    // '/' between names, its root taking the first baseRoot bytes; empty
    // when it cannot be found (the pictures are then linked as named).
    char base[SHEET_NAME_MAX];
    size_t baseRoot;
    char full[SHEET_NAME_MAX];     // scratch: a picture's absolute path
    char utf8[SHEET_NAME_MAX];     // scratch: a name in UTF-8
    char url[3 * SHEET_NAME_MAX];  // the last picture's URL, percent-encoded
};

// Finds the directory of the sheet at `sheetPath`, against which the
// pictures are linked.
void setSheetBase(SheetNames &n, const char *sheetPath);
// The URL of the picture at `path` (a name as the system takes it) into
// n.url, NUL-terminated: relative to the sheet's directory, or absolute
// ("file:") when the two share no root; false when it cannot be made.
bool makePictureUrl(SheetNames &n, const char *path);
// Writes a name as the page shows it: UTF-8 as it is, CP932 converted
// (`cp932`), HTML-escaped, isolated from the text around it (a <bdi>, or
// `inTitle` Unicode's isolate characters); a name that is neither is
// followed by a marker.
void writeNameText(SheetNames &n, FILE *out, const char *name, bool cp932, bool inTitle = false);
// The last name of the folder or file at `path` ("." and ".." resolved, so
// "." is the current folder's own name), in UTF-8 where the system's names
// convert; the root where there is no name, `path` itself when its absolute
// form cannot be found (converted where it can be).
const char *lastPathName(SheetNames &n, const char *path);

// sheet_file.cpp: the page's files. The cards are written to a scratch file
// while the pictures are read; when all are done the page is written, the
// cards copied into it, and the page put in the sheet's place.

struct SheetFiles {
    const char *path;  // the sheet's name
    FILE *page;        // the page, under a temporary name until finished
    FILE *cards;       // the cards, in a scratch file
    WholeFile file;    // the page, its body the cards
};

// False when the page cannot be begun, with the system's reason in *reason
// (an errno value, 0 when none is known).
bool openSheetFiles(SheetFiles &f, const char *path, int *reason);
// With `keep`: appends the cards to the page and puts the page in the
// sheet's place; false when that fails, with the reason as above. Either way
// every temporary file goes and an old sheet stays as it was unless replaced.
bool finishSheetFiles(SheetFiles &f, bool keep, int *reason);

// html_sheet.cpp: the page.

// How many cards of each kind there were: by what the card says about the
// picture's text when listing, by finding when checking a list.
constexpr int SHEET_KINDS_MAX = 16;
struct SheetKind {
    const char *label;
    int count;
};

// An entry of the problem list: the card it links to, the name it shows and
// what is wrong. Kept until the page is written, ahead of the cards.
struct SheetProblem {
    int card;          // the card's number, or the list line's
    std::string name;  // as the system (or, with cp932, the list) spells it
    bool cp932;
    std::string flag;
};

struct HtmlSheet {
    ExtractRun *run;
    SheetFiles files;
    char *const *paths;  // the PATHs listed
    int pathCount;
    SheetNames names;
    const char *checkedList;  // the list whose lines are the cards, or null
    bool outFiles;            // ... compared with the -out copies
    int cards;                // cards written
    SheetKind kinds[SHEET_KINDS_MAX];
    int kindCount;
    std::vector<SheetProblem> problems;
    std::vector<std::string> passedOver;  // pictures of the formats not tagged
};

#endif
