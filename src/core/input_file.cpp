// input_file.cpp - a named input, opened without waiting.
#include "input_file.h"

#include "platform_file.h"

FILE *openInput(const char *path) {
    FileInfo info;
    FILE *in = openInputFile(path, &info);
    if (in != nullptr && info.kind != ENTRY_FILE) {
        std::fclose(in);
        return nullptr;
    }
    return in;
}
