// text_encoding.h - the two encodings a spreadsheet saves a CSV file in
// (UTF-8 and CP932), told apart over a whole file: one scan for each, block
// after block, on the character rules of text_utf8.h and text_cp932.h.
#ifndef EMOJITAG_TEXT_ENCODING_H
#define EMOJITAG_TEXT_ENCODING_H

#include <cstddef>
#include <cstdint>

// Whole-file UTF-8 validation, one block after another. After a fault the
// scan goes on from the next byte, counting the bytes of 0x80 and above that
// belong to well-formed characters and those that do not. A line that begins
// with '#' (or with '"#', as spreadsheets quote a cell) is a note row of a CSV
// file; a fault within one is told apart.
struct Utf8Scan {
    int pending;      // continuation bytes still due
    int taken;        // bytes of the character so far
    uint32_t cp;      // the code point so far
    uint32_t min;     // the least code point its length may hold
    bool valid;       // no fault so far
    bool highBytes;   // a byte of 0x80 or above was seen
    size_t goodHigh;  // such bytes in well-formed characters
    size_t badHigh;   // and in anything else
    long line;        // the line being scanned, from 1
    long badLine;     // the line of the first fault
    bool lineStart;   // the next byte begins a line
    bool quoteStart;  // the line so far is a double quote
    bool inNote;      // the line is a note row
    bool noteFault;   // a fault fell within a note row
};
// A scan at the start of a file.
Utf8Scan startUtf8Scan();
void scanUtf8(Utf8Scan *scan, const char *s, size_t len);
// Valid UTF-8 also at the end (no character left open).
bool scanEndsValid(const Utf8Scan &scan);

// Whole-file CP932 validation, one block after another: every character is
// one the converter takes exactly. It also looks for the marks of UTF-8 read
// as CP932: a character of three UTF-8 bytes comes out as a double-byte
// character and a half-width katakana, a letter of two bytes as half-width
// katakana right after the Latin letters of its word. Japanese text seldom
// puts half-width katakana right after either.
struct Cp932Scan {
    bool valid;    // no fault so far
    bool pending;  // `lead` waits for the byte that ends its character
    char lead;
    int before;    // the kind of the character before (see text_encoding.cpp)
    bool misread;  // half-width katakana right after a double-byte character or a letter
};
// A scan at the start of a file.
Cp932Scan startCp932Scan();
void scanCp932(Cp932Scan *scan, const char *s, size_t len);
// Valid CP932 also at the end (no lead byte left alone).
bool cp932ScanEndsValid(const Cp932Scan &scan);

#endif
