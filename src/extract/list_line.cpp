// list_line.cpp - one emoji-list line from an image's emoji text: the text in
// CP932, quoted unless it holds a double quote. A line is written only when
// emojitag's reader will take it back to the same name and text, and the
// picture's comment writer will store that text whole.
#include <cstring>

#include "CP932.h"
#include "extract.h"
#include "image_job.h"
#include "list_reader.h"
#include "qz_cc_api.h"
#include "text_encoding.h"
#include "utf8.h"

namespace {

// Scratch buffers of one line, refilled by each. CP932 never takes more
// bytes than the UTF-8 it comes from.
char cp932Text[EMOJI_TEXT_MAX + 1];
char cp932Name[LINE_BUF_SIZE];
// What the reader's conversion makes of a CP932 text.
char readBack[UTF8_BUF_SIZE];

// UTF-8 to CP932 into `out`; the converter's result (bytes, or -1 with
// substitutions, -2 when it does not fit).
int32_t toCp932(char *out, size_t cap, const char *utf8) {
    return qz_code_convert(reinterpret_cast<uint8_t *>(out),
                           reinterpret_cast<const uint8_t *>(utf8), static_cast<uint32_t>(cap),
                           convert_tbl, QZ_CC_UTF8, QZ_CC_TO_LOCAL);
}

// True when the reader's own conversion takes the CP932 text back to `utf8`;
// what it makes of the text is left in readBack.
bool readsBackAs(const char *cp932, const char *utf8) {
    size_t len = std::strlen(cp932);
    if (len >= LINE_BUF_SIZE) {
        readBack[0] = '\0';
        return false;
    }
    convertCp932Text(cp932, len, readBack, sizeof readBack);
    return std::strcmp(readBack, utf8) == 0;
}

// Characters, as the reader's converter counts them: a lead byte takes its
// trail byte with it, other bytes stand alone.
size_t cp932Chars(const char *s, size_t len) {
    size_t count = 0;
    for (size_t i = 0; i < len; count++) {
        auto b = static_cast<unsigned char>(s[i]);
        bool single = b < 0x80 || b == 0x80 || (b >= 0xA1 && b <= 0xDF);
        i += single ? 1 : 2;
    }
    return count;
}

// The name as it goes into the list, or null (reported) when the list cannot
// carry it: the reader skips leading blanks, ends the name at the first comma
// and the line at its end. A name that is not UTF-8 is in the local code page
// already (CP932 on Japanese Windows, or unpacked from a Windows archive) and
// goes in as the file system has it.
const char *listName(ExtractRun &run, const char *path, bool cp932Names) {
    const char *name = path;
    size_t len = std::strlen(path);
    if (cp932Names && hasHighBytes(path, len) && isUtf8(path, len)) {
        if (toCp932(cp932Name, sizeof cp932Name, path) < 0 || !readsBackAs(cp932Name, path)) {
            report(run, path, "name has characters not in CP932");
            return nullptr;
        }
        // Read back, the name as written wins over its UTF-8 spelling: when
        // the CP932 spelling names a file of its own, the line would tag it.
        if (std::strcmp(resolveImgPath(cp932Name), path) != 0) {
            report(run, path, "CP932 name leads to another file");
            return nullptr;
        }
        name = cp932Name;
    }
    if (isSpaceByte(static_cast<unsigned char>(name[0])) ||
        std::strpbrk(name, ",\r\n") != nullptr) {
        report(run, path, "name cannot be listed");
        return nullptr;
    }
    return name;
}

}  // namespace

void writeListLine(ExtractRun &run, FILE *out, const char *path, int imgType, bool cp932Names) {
    const char *name = listName(run, path, cp932Names);
    const EmojiText &text = run.text;
    if (name == nullptr) return;
    if (std::strlen(text.bytes) != text.len) return report(run, path, "text holds a zero byte");
    if (std::strpbrk(text.bytes, "\r\n") != nullptr)
        return report(run, path, "text holds a line break");

    int32_t converted = toCp932(cp932Text, sizeof cp932Text, text.bytes);
    if (converted == QZ_CC_OUTPUT_FULL) return report(run, path, "text too long for a list line");
    size_t textLen = std::strlen(cp932Text);
    // Quoted, the text runs to the next double quote; unquoted, to the line
    // end, and a leading quote or an empty field would be read otherwise.
    bool quoted = std::memchr(cp932Text, '"', textLen) == nullptr;
    if (!quoted && (textLen == 0 || cp932Text[0] == '"'))
        return report(run, path, "text cannot be listed");
    size_t lineLen = std::strlen(name) + 1 + textLen + (quoted ? 2 : 0) + 1;
    if (lineLen > READER_LINE_MAX || cp932Chars(cp932Text, textLen) > READER_TEXT_UNITS)
        return report(run, path, "text too long for a list line");
    // What emojitag makes of the line is what its comment writer gets: a
    // text it would store only in part (or not at all) is not listed.
    bool exact = readsBackAs(cp932Text, text.bytes);
    const char *cut = textCutProblem(*imageFormatOfType(imgType), readBack);
    if (cut != nullptr) return report(run, path, cut);

    std::fputs(name, out);
    std::fputs(quoted ? ",\"" : ",", out);
    std::fwrite(cp932Text, 1, textLen, out);
    std::fputs(quoted ? "\"\n" : "\n", out);
    run.listed++;

    // Written either way, so that the user sees what the list would embed.
    if (converted == QZ_CC_SUBSTITUTED) {
        report(run, path, "characters not in CP932");
    } else if (!exact) {
        report(run, path, "text changes in CP932");
    }
}
