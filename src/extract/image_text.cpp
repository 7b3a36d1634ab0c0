// image_text.cpp - opens one image and finds its emoji text with the finder
// of its format.
#include <cstdio>

#include "extract.h"
#include "platform_file.h"

namespace {

// Stream buffer for the block walks: a small image arrives in one read.
constexpr size_t STREAM_BUF_SIZE = 64 * 1024;
char streamBuf[STREAM_BUF_SIZE];
// The scratch of every finder and size reader the program runs, one at a time.
ImageWork work;

}  // namespace

ImageWork &readerWork() {
    return work;
}

int findEmojiText(FILE *in, const ImageFormat &format, EmojiText &text) {
    FoundText found{reinterpret_cast<unsigned char *>(text.bytes), 0, format.textReadMax};
    int result = format.find(in, &found, work);
    text.len = found.length;
    return result;
}

int readEmojiText(EmojiText &text, const char *path, int imgType) {
    text.len = 0;
    text.bytes[0] = '\0';
    const ImageFormat *format = imageFormatOfType(imgType);
    FileInfo info;
    FILE *in = openInputFile(path, &info);  // a directory does not open
    if (in == nullptr) return TEXT_CANNOT_OPEN;
    int result;
    if (info.kind != ENTRY_FILE || format == nullptr) {
        // A FIFO or device is no image; it is never read, so never waited on.
        result = TEXT_MALFORMED;
    } else {
        // Buffered for every finder: an unbuffered stream of the platform's
        // own may be read a byte per call, however large the block asked.
        std::setvbuf(in, streamBuf, _IOFBF, sizeof streamBuf);
        result = findEmojiText(in, *format, text);
    }
    std::fclose(in);
    if (result != TEXT_FOUND) text.len = 0;
    text.bytes[text.len] = '\0';
    return result;
}
