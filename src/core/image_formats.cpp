// image_formats.cpp - the table of image formats. A format is its row here
// and its reader and rewriter files: FMT_rewriter.cpp, the rewriter, and
// FMT_find.cpp, the comment finder, which walks a file as the rewriter does,
// and the picture's size reader (GIF and JPEG let both share a reader,
// gif_reader and jpg_reader, and keep their comment writers in files of
// their own).
#include "image_formats.h"

#include <cstring>

#include "embed.h"
#include "gif_format.h"
#include "jpg_markers.h"

constexpr ImageFormat IMAGE_FORMATS[IMAGE_FORMAT_COUNT] = {
    {IMG_GIF,                   // type
     "GIF",                     // name
     "GIF",                     // shortName
     {".gif"},                  // suffixes
     "GIF",                     // signature: "GIF87a" or "GIF89a" begin so
     3,                         // signatureSize
     setGifData,                // rewrite
     findGifEmojiText,          // find
     readGifSize,               // readSize
     GIF_EXAMINED_COMMENT_MIN,  // examinedCommentMin
     static_cast<size_t>(-1),   // textMax: any text, cut at tag ends
     gifCommentTextLength,      // storedLength
     GIF_TEXT_READ_MAX,         // textReadMax
     GIF_SUB_BLOCK_MAX,         // pieceMax
     // textCutFinding
     "a GIF comment cannot keep the whole text: each piece between tag ends must fit in 255 "
     "bytes"},
    {IMG_JPEG,
     "JPEG",
     "JPG",
     {".jpg", ".jpeg"},
     "\xFF\xD8\xFF",  // SOI and the first marker's 0xFF
     3,
     setJpgData,
     findJpgEmojiText,
     readJpgSize,
     JPG_EXAMINED_COMMENT_MIN,
     JPG_MAX_SEGMENT_DATA,
     jpgCommentTextLength,
     JPG_MAX_SEGMENT_DATA,  // any comment, read back whole
     0,
     nullptr},
};

namespace {

// What every row promises fits the programs' buffers. (Whether its functions
// are filled in cannot be asked at compile time in every build: an address
// is no constant under the sanitizers.)
constexpr bool rowsFit() {
    for (const ImageFormat &f : IMAGE_FORMATS)
        if (f.signatureSize > IMAGE_SIGNATURE_MAX || f.textReadMax > EMOJI_TEXT_MAX) return false;
    return true;
}
static_assert(rowsFit(), "every row's signature and text read back fit");

}  // namespace

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoreCase(const char *s, const char *lower) {
    for (; *s != '\0' && *lower != '\0'; ++s, ++lower)
        if (lowerAscii(*s) != *lower) return false;
    return *s == *lower;
}

// Appends `s` to the NUL-terminated text in `buf`, cut to fit.
void append(char *buf, size_t size, const char *s) {
    size_t n = std::strlen(buf);
    size_t add = std::strlen(s);
    if (n + add >= size) add = size - 1 - n;
    std::memcpy(buf + n, s, add);
    buf[n + add] = '\0';
}

// Joins `count` items with ", " and, before the last, `lastJoin`.
template <typename ItemAt>
const char *joinItems(char *buf, size_t size, int count, const char *lastJoin, ItemAt itemAt) {
    if (size == 0) return buf;
    buf[0] = '\0';
    for (int i = 0; i < count; i++) {
        if (i > 0) append(buf, size, i + 1 == count ? lastJoin : ", ");
        append(buf, size, itemAt(i));
    }
    return buf;
}

}  // namespace

const char *textCutProblem(const ImageFormat &format, const char *emoji) {
    if (format.textCutFinding == nullptr) return nullptr;  // it keeps any text it takes
    return format.storedLength(emoji) < std::strlen(emoji) ? format.textCutFinding : nullptr;
}

const ImageFormat *imageFormatOfType(int type) {
    for (const ImageFormat &f : IMAGE_FORMATS)
        if (f.type == type) return &f;
    return nullptr;
}

const ImageFormat *imageFormatOfSuffix(const char *dotSuffix) {
    for (const ImageFormat &f : IMAGE_FORMATS)
        for (const char *const *s = f.suffixes; s < f.suffixes + IMAGE_SUFFIXES_MAX && *s; ++s)
            if (equalsIgnoreCase(dotSuffix, *s)) return &f;
    return nullptr;
}

// Taking the suffix from a whole path gives the same answer as from its last
// name: a '.' in a directory part leaves a '/' in the suffix, which never
// matches.
const ImageFormat *imageFormatOfName(const char *name) {
    const char *dot = std::strrchr(name, '.');
    return dot == nullptr ? nullptr : imageFormatOfSuffix(dot);
}

bool isUntaggedPictureName(const char *name) {
    static const char *const untagged[] = {".png", ".webp"};
    const char *dot = std::strrchr(name, '.');
    for (const char *s : untagged)
        if (dot != nullptr && equalsIgnoreCase(dot, s)) return true;
    return false;
}

const ImageFormat *imageFormatOfHead(const unsigned char *head, size_t n) {
    for (const ImageFormat &f : IMAGE_FORMATS)
        if (n >= f.signatureSize && std::memcmp(head, f.signature, f.signatureSize) == 0) return &f;
    return nullptr;
}

const char *listImageSuffixes(char *buf, size_t size) {
    const char *all[IMAGE_SUFFIXES_MAX * IMAGE_FORMAT_COUNT];
    int count = 0;
    for (const ImageFormat &f : IMAGE_FORMATS)
        for (const char *const *s = f.suffixes; s < f.suffixes + IMAGE_SUFFIXES_MAX && *s; ++s)
            all[count++] = *s;
    return joinItems(buf, size, count, " or ", [&](int i) { return all[i]; });
}

const char *listImageFormatNames(char *buf, size_t size, const char *lastJoin) {
    return joinItems(buf, size, IMAGE_FORMAT_COUNT, lastJoin,
                     [](int i) { return IMAGE_FORMATS[i].name; });
}
