// sheet_file.cpp - every file the sheet touches: the page, written whole
// (whole_file.h), and a scratch file for the cards beside it, read back into
// the page through its own stream.

#include "html_sheet.h"
#include "whole_file.h"

namespace {

// The page and the cards leave the process in large blocks, and the cards
// come back through copyBuf.
constexpr size_t SHEET_BUF_SIZE = 256 * 1024;
char pageBuf[SHEET_BUF_SIZE];
char cardsBuf[SHEET_BUF_SIZE];
char copyBuf[64 * 1024];

// Appends the cards written so far to the page.
bool appendCards(FILE *page, FILE *cards) {
    if (std::fflush(cards) != 0 || std::ferror(cards) || std::fseek(cards, 0, SEEK_SET) != 0)
        return false;
    size_t n;
    while ((n = std::fread(copyBuf, 1, sizeof copyBuf, cards)) > 0)
        if (std::fwrite(copyBuf, 1, n, page) != n) return false;
    return !std::ferror(cards) && std::feof(cards);
}

}  // namespace

bool openSheetFiles(SheetFiles &f, const char *path) {
    f.path = path;
    int reason = 0;
    if (beginWholeFile(&f.pageFile, path, SAFE_BINARY, &reason) != 0) return false;
    if (beginSafeFile(&f.cardsFile, path, SAFE_BINARY | SAFE_READ_BACK, nullptr, nullptr) != 0) {
        abandonSafeFile(&f.pageFile);
        return false;
    }
    f.page = f.pageFile.stream;
    f.cards = f.cardsFile.stream;
    std::setvbuf(f.page, pageBuf, _IOFBF, sizeof pageBuf);
    std::setvbuf(f.cards, cardsBuf, _IOFBF, sizeof cardsBuf);
    return true;
}

bool finishSheetFiles(SheetFiles &f, bool keep) {
    bool ok = keep && appendCards(f.page, f.cards);
    abandonSafeFile(&f.cardsFile);
    if (!ok) {
        abandonSafeFile(&f.pageFile);
        return false;
    }
    // The page has no preamble; its head is content.
    int reason = 0;
    return finishWholeFile(&f.pageFile, 0, &reason) == WHOLE_DONE;
}
