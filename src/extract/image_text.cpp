// image_text.cpp - opens one image and finds its emoji text with the walk of
// its format.
#include <cstdio>

#include "driver.h"
#include "extract.h"
#include "platform_file.h"

// Stream buffer for the block walks: a small image arrives in one read.
constexpr size_t STREAM_BUF_SIZE = 64 * 1024;
static char streamBuf[STREAM_BUF_SIZE];

int readEmojiText(EmojiText &text, const char *path, int imgType) {
    text.len = 0;
    text.bytes[0] = '\0';
    FileInfo info;
    FILE *in = openInputFile(path, &info);  // a directory does not open
    if (in == nullptr) return TEXT_CANNOT_OPEN;
    int result;
    if (info.kind != ENTRY_FILE) {
        // A FIFO or device is no image; it is never read, so never waited on.
        result = TEXT_MALFORMED;
    } else {
        // Buffered for both formats: the stream is the platform's own, and
        // without a buffer it would be read a byte at a time.
        std::setvbuf(in, streamBuf, _IOFBF, sizeof streamBuf);
        result = imgType == IMG_GIF ? findGifEmojiText(in, text) : findJpgEmojiText(in, text);
    }
    std::fclose(in);
    if (result != TEXT_FOUND) text.len = 0;
    text.bytes[text.len] = '\0';
    return result;
}
