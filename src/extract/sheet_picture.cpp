// sheet_picture.cpp - a picture for its card: its emoji text and its size,
// read in one opening of the file, so that the page can give every
// thumbnail its size before any picture loads. The size is a GIF's logical
// screen or a JPEG's frame header (SOFn), both near the file's start.
#include <cstdio>
#include <cstring>

#include "driver.h"
#include "html_sheet.h"
#include "jpg_markers.h"
#include "platform_file.h"

namespace {

// "GIF87a" or "GIF89a", then the logical screen's width and height
// (little-endian).
constexpr size_t GIF_SIGNATURE_SIZE = 6;
constexpr size_t GIF_SIZE_END = 10;

// Markers looked at before giving up on a JPEG's frame header.
constexpr int JPG_MARKERS_MAX = 256;
// Frame header data: sample precision (1 byte), height, width (big-endian).
constexpr size_t SOF_SIZE_END = 5;

// Stream buffer: a small picture arrives in one read, and the head is read
// again from it for the walk of its format. A JPEG's frame header is in its
// first few hundred bytes unless large segments (Exif, ICC profiles) come
// before it.
constexpr size_t STREAM_BUF_SIZE = 64 * 1024;
char streamBuf[STREAM_BUF_SIZE];

// SOF0..SOF15 begin a frame; 0xC4 (DHT), 0xC8 (JPG) and 0xCC (DAC) share
// the range but are tables and a reserved code.
bool isFrameHeader(int code) {
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// Passes over `n` bytes: through the buffer while they are in it (a seek
// costs a system call), by a seek beyond it.
bool skipBytes(FILE *in, long n) {
    if (n > static_cast<long>(STREAM_BUF_SIZE)) return std::fseek(in, n, SEEK_CUR) == 0;
    for (; n > 0; n--)
        if (std::getc(in) == EOF) return false;
    return true;
}

bool readGifSize(FILE *in, unsigned &width, unsigned &height) {
    unsigned char head[GIF_SIZE_END];
    if (std::fread(head, 1, sizeof head, in) != sizeof head) return false;
    if (std::memcmp(head, "GIF8", 4) != 0) return false;
    width = head[GIF_SIGNATURE_SIZE] | head[GIF_SIGNATURE_SIZE + 1] << 8;
    height = head[GIF_SIGNATURE_SIZE + 2] | head[GIF_SIGNATURE_SIZE + 3] << 8;
    return true;
}

bool readJpgSize(FILE *in, unsigned &width, unsigned &height) {
    if (std::getc(in) != M_PREFIX || std::getc(in) != M_SOI) return false;
    for (int i = 0; i < JPG_MARKERS_MAX; i++) {
        int code = std::getc(in);
        if (code != M_PREFIX) return false;
        while (code == M_PREFIX)  // fill bytes may pad before a marker's code
            code = std::getc(in);
        if (code == EOF || code == M_SOS || code == M_EOI) return false;
        if (code == M_TEM || (code >= M_RST0 && code <= M_RST7)) continue;  // no length field
        unsigned char field[JPG_LENGTH_SIZE + SOF_SIZE_END];
        if (std::fread(field, 1, JPG_LENGTH_SIZE, in) != JPG_LENGTH_SIZE) return false;
        long length = field[0] << 8 | field[1];
        if (length < static_cast<long>(JPG_LENGTH_SIZE)) return false;
        if (isFrameHeader(code)) {
            if (std::fread(field + JPG_LENGTH_SIZE, 1, SOF_SIZE_END, in) != SOF_SIZE_END)
                return false;
            height = field[3] << 8 | field[4];
            width = field[5] << 8 | field[6];
            return true;
        }
        if (!skipBytes(in, length - static_cast<long>(JPG_LENGTH_SIZE))) return false;
    }
    return false;
}

// The size from the head of an open picture.
bool readSize(FILE *in, int imgType, unsigned &width, unsigned &height) {
    bool ok = imgType == IMG_GIF ? readGifSize(in, width, height) : readJpgSize(in, width, height);
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
    if (rewound)
        result = imgType == IMG_GIF ? findGifEmojiText(in, text) : findJpgEmojiText(in, text);
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
