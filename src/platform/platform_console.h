// platform_console.h - the character set in which messages reach the user:
// what a terminal on POSIX shows (UTF-8) and the console's code page on
// Windows. One implementation per platform (posix_console.cpp,
// win32_console.cpp), chosen by the build.
#ifndef EMOJITAG_PLATFORM_CONSOLE_H
#define EMOJITAG_PLATFORM_CONSOLE_H

constexpr int CONSOLE_UTF8 = 0;
// The local code page, which on Japanese Windows is CP932 and which file
// names and command-line arguments are in.
constexpr int CONSOLE_LOCAL = 1;

// CONSOLE_UTF8 or CONSOLE_LOCAL.
int consoleEncoding();

// Makes standard input deliver its bytes as they come, as a list file is
// read: Windows otherwise turns CR LF into LF and ends the input at a
// Ctrl-Z byte.
void readStandardInputAsBytes();
// Makes standard output take its bytes as they are written: Windows otherwise
// turns each LF into CR LF, and a table's CR LF into CR CR LF.
void writeStandardOutputAsBytes();

#endif
