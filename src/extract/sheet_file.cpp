// sheet_file.cpp - the sheet's page, written whole (whole_file.h): its cards
// are its body, written first to a scratch file beside it and copied in
// after the head when all are done.

#include "html_sheet.h"
#include "whole_file.h"

namespace {

// The page and the cards leave the process in large blocks.
constexpr size_t SHEET_BUF_SIZE = 256 * 1024;
char pageBuf[SHEET_BUF_SIZE];
char cardsBuf[SHEET_BUF_SIZE];

}  // namespace

bool openSheetFiles(SheetFiles &f, const char *path, int *reason) {
    f.path = path;
    *reason = 0;
    if (beginWholeFile(&f.file, path, SAFE_BINARY | WHOLE_BODY_LATER, reason) != WHOLE_DONE)
        return false;
    f.page = f.file.stream;
    f.cards = f.file.body;
    std::setvbuf(f.page, pageBuf, _IOFBF, sizeof pageBuf);
    std::setvbuf(f.cards, cardsBuf, _IOFBF, sizeof cardsBuf);
    return true;
}

bool finishSheetFiles(SheetFiles &f, bool keep, int *reason) {
    *reason = 0;
    if (!keep) {
        abandonWholeFile(&f.file);
        return false;
    }
    // The page has no preamble; its head is content.
    return finishWholeFile(&f.file, reason) == WHOLE_DONE;
}
