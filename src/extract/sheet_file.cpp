// sheet_file.cpp - every file the sheet touches: the page under a temporary
// name beside the sheet, a scratch file for the cards beside it, the copy of
// the cards into the page, and the page put in the sheet's place.
#include <cstring>

#include "html_sheet.h"
#include "platform_file.h"

namespace {

// The page and the cards leave the process in large blocks.
constexpr size_t SHEET_BUF_SIZE = 256 * 1024;
char pageBuf[SHEET_BUF_SIZE];
char cardsBuf[SHEET_BUF_SIZE];

// Closes a stream that was written; false when anything failed to go out.
bool closeWritten(FILE *f) {
    bool written = !std::ferror(f);
    return std::fclose(f) == 0 && written;
}

// Appends the file `path` to `out`.
bool appendFile(FILE *out, const char *path) {
    FILE *in = openInputFile(path);
    if (in == nullptr) return false;
    std::setvbuf(in, nullptr, _IONBF, 0);
    // The cards' buffer is free now: the copy goes through it.
    size_t n;
    while ((n = std::fread(cardsBuf, 1, sizeof cardsBuf, in)) > 0)
        if (std::fwrite(cardsBuf, 1, n, out) != n) break;
    bool ok = !std::ferror(in) && std::feof(in);
    std::fclose(in);
    return ok;
}

}  // namespace

bool openSheetFiles(SheetFiles &f, const char *path) {
    f.path = path;
    f.page = createTempFile(path, nullptr, f.pageTemp, sizeof f.pageTemp);
    if (f.page == nullptr) return false;
    f.cards = createTempFile(path, nullptr, f.cardsTemp, sizeof f.cardsTemp);
    if (f.cards == nullptr) {
        std::fclose(f.page);
        removeFile(f.pageTemp);
        return false;
    }
    std::setvbuf(f.page, pageBuf, _IOFBF, sizeof pageBuf);
    std::setvbuf(f.cards, cardsBuf, _IOFBF, sizeof cardsBuf);
    return true;
}

bool finishSheetFiles(SheetFiles &f, bool keep) {
    bool ok = closeWritten(f.cards) && keep;
    ok = ok && appendFile(f.page, f.cardsTemp);
    removeFile(f.cardsTemp);
    ok = closeWritten(f.page) && ok;
    if (ok && replaceFile(f.pageTemp, f.path, nullptr) == 0) return true;
    removeFile(f.pageTemp);
    return false;
}
