// posix_console.cpp - terminals are taken to show UTF-8, as file names are
// written; no locale is consulted.
#include "platform_console.h"

int consoleEncoding() {
    return CONSOLE_UTF8;
}

void readStandardInputAsBytes() {}

void writeStandardOutputAsBytes() {}
