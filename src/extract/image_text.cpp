// image_text.cpp - opens one image and reads it: its emoji text with the
// finder of its format, and, for a picture of the contact sheet, the size it
// is shown at, in the same opening of the file. Each format's size reader
// looks near the file's start.
#include <cstdio>

#include "extract.h"
#include "platform_file.h"

namespace {

// Stream buffer for the block walks: a small image arrives in one read, and
// its head is read again from it for the walk after the size. A JPEG's frame
// header is in its first few hundred bytes unless large segments (Exif, ICC
// profiles) come before it.
constexpr size_t STREAM_BUF_SIZE = 64 * 1024;
char streamBuf[STREAM_BUF_SIZE];
// The scratch of every finder and size reader the program runs, one at a time.
ImageWork work;

// The open image, or null; its identity in *id. A FIFO or device, which is
// no image (it could wait or never end), opens but is never read: `regular`
// is false.
FILE *openImage(const char *path, bool &regular, FileIdentity *id = nullptr) {
    FileInfo info;
    FILE *in = openInputFile(path, &info);  // a directory does not open
    regular = in != nullptr && info.kind == ENTRY_FILE;
    if (in != nullptr && id != nullptr) *id = info.id;
    // Buffered for every reader: an unbuffered stream of the platform's own
    // may be read a byte per call, however large the block asked.
    if (in != nullptr) std::setvbuf(in, streamBuf, _IOFBF, sizeof streamBuf);
    return in;
}

// The size from the head of an open image; 0 by 0 when it cannot be read.
bool readSize(FILE *in, int imgType, PictureSize &size) {
    const ImageFormat *format = imageFormatOfType(imgType);
    bool ok = format != nullptr && format->readSize(in, work, size.width, size.height);
    if (!ok || size.width == 0 || size.height == 0) size = PictureSize{0, 0};
    return size.width > 0;
}

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

int readEmojiText(EmojiText &text, const char *path, int imgType, PictureSize *size) {
    text.len = 0;
    text.bytes[0] = '\0';
    text.from = FileIdentity{0, 0};
    if (size != nullptr) *size = PictureSize{0, 0};
    bool regular;
    FILE *in = openImage(path, regular, &text.from);
    if (in == nullptr) return TEXT_CANNOT_OPEN;
    const ImageFormat *format = imageFormatOfType(imgType);
    int result = TEXT_MALFORMED;
    if (regular && format != nullptr) {
        bool atStart = true;
        if (size != nullptr) {
            readSize(in, imgType, *size);
            // Back to the start for the walk, from the buffer of a small image.
            atStart = std::fseek(in, 0, SEEK_SET) == 0;
            std::clearerr(in);
        }
        if (atStart) result = findEmojiText(in, *format, text);
    }
    std::fclose(in);
    if (result != TEXT_FOUND) text.len = 0;
    text.bytes[text.len] = '\0';
    return result;
}

bool readPictureSize(const char *path, int imgType, PictureSize &size) {
    size = PictureSize{0, 0};
    bool regular;
    FILE *in = openImage(path, regular);
    if (in == nullptr) return false;
    bool ok = regular && readSize(in, imgType, size);
    std::fclose(in);
    return ok;
}
