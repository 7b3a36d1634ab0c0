// win32_console.cpp - a console set to UTF-8 (chcp 65001) shows UTF-8, any
// other the local code page; without a console the ANSI code page decides,
// the one in which the program also gets its file names and arguments.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform_console.h"

int consoleEncoding() {
    UINT page = GetConsoleOutputCP();
    if (page == 0) page = GetACP();  // no console
    return page == CP_UTF8 ? CONSOLE_UTF8 : CONSOLE_LOCAL;
}

void readStandardInputAsBytes() {
    _setmode(_fileno(stdin), _O_BINARY);
}

void writeStandardOutputAsBytes() {
    _setmode(_fileno(stdout), _O_BINARY);
}
