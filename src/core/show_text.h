// show_text.h - texts as a message shows them: in the console's character
// set (UTF-8, or the local code page on a Windows console), with control
// bytes and anything that cannot be shown as '?', cut short with "..."
// beyond a screenful.
#ifndef EMOJITAG_SHOW_TEXT_H
#define EMOJITAG_SHOW_TEXT_H

#include <cstddef>

// Room for one shown text.
constexpr size_t SHOWN_SIZE = 1024;

struct Shown {
    char text[SHOWN_SIZE];
};

// A UTF-8 text (bytes that are not UTF-8 shown as '?').
const char *showUtf8(Shown *shown, const char *utf8, size_t len);
// A CP932 text.
const char *showCp932(Shown *shown, const char *cp932, size_t len);
// Bytes as they stand, in whatever the system gave (names, arguments).
const char *showBytes(Shown *shown, const char *bytes, size_t len);
// A name from an emoji list: as the file system has it where the file is
// there, otherwise as the list spells it; without a byte-order mark.
const char *showListName(Shown *shown, const char *name);

#endif
