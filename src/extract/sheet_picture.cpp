// sheet_picture.cpp - a picture for its card: its emoji text and its size,
// read in one opening of the file, so that the page can give every
// thumbnail its size before any picture loads. Each format's size reader
// looks near the file's start.
#include <cstdio>
#include <cstring>

#include "extract.h"
#include "html_sheet.h"
#include "platform_file.h"

namespace {

// Stream buffer: a small picture arrives in one read, and the head is read
// again from it for the walk of its format. A JPEG's frame header is in its
// first few hundred bytes unless large segments (Exif, ICC profiles) come
// before it.
constexpr size_t STREAM_BUF_SIZE = 64 * 1024;
char streamBuf[STREAM_BUF_SIZE];

// The size from the head of an open picture.
bool readSize(FILE *in, int imgType, unsigned &width, unsigned &height) {
    const ImageFormat *format = imageFormatOfType(imgType);
    bool ok = format != nullptr && format->readSize(in, readerWork(), width, height);
    if (!ok || width == 0 || height == 0) width = height = 0;
    return width > 0;
}

// The open picture, or null. A FIFO or device, which is no picture (it
// could wait or never end), opens but is never read: `regular` is false.
FILE *openPicture(const char *path, bool &regular) {
    FileInfo info;
    FILE *in = openInputFile(path, &info);  // a directory does not open
    regular = in != nullptr && info.kind == ENTRY_FILE;
    if (in != nullptr) std::setvbuf(in, streamBuf, _IOFBF, sizeof streamBuf);
    return in;
}

}  // namespace

int readSheetPicture(EmojiText &text, const char *path, int imgType, unsigned &width,
                     unsigned &height) {
    text.len = 0;
    text.bytes[0] = '\0';
    bool regular;
    FILE *in = openPicture(path, regular);
    width = height = 0;
    if (in == nullptr) return TEXT_CANNOT_OPEN;
    if (regular) readSize(in, imgType, width, height);
    // Back to the start for the walk, from the buffer of a small picture.
    bool rewound = regular && std::fseek(in, 0, SEEK_SET) == 0;
    std::clearerr(in);
    int result = TEXT_MALFORMED;
    const ImageFormat *format = imageFormatOfType(imgType);
    if (rewound && format != nullptr) result = findEmojiText(in, *format, text);
    std::fclose(in);
    if (result != TEXT_FOUND) text.len = 0;
    text.bytes[text.len] = '\0';
    return result;
}

bool readPictureSize(const char *path, int imgType, unsigned &width, unsigned &height) {
    width = height = 0;
    bool regular;
    FILE *in = openPicture(path, regular);
    if (in == nullptr) return false;
    bool ok = regular && readSize(in, imgType, width, height);
    std::fclose(in);
    return ok;
}
