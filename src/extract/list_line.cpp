// list_line.cpp - one emoji-list line from an image's emoji text: the text in
// CP932, quoted unless it holds a double quote. A line is written only when
// emojitag's reader will take it back to the same name and text, and the
// picture's comment writer will store that text whole.
#include <cstring>

#include "extract.h"
#include "img_path.h"
#include "list_name.h"
#include "list_reader.h"
#include "qz_cc_api.h"
#include "text_cp932.h"
#include "text_utf8.h"
#include "utf8.h"

namespace {

// Scratch buffers of one line, refilled by each. CP932 never takes more
// bytes than the UTF-8 it comes from.
char cp932Text[EMOJI_TEXT_MAX + 1];
char cp932Name[LINE_BUF_SIZE];
// What the reader's conversion makes of a CP932 text.
char readBack[UTF8_BUF_SIZE];

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

}  // namespace

// A name that is not UTF-8 is in the local code page
// already (CP932 on Japanese Windows, or unpacked from a Windows archive) and
// goes in as the file system has it.
const char *listLineName(ExtractRun &run, const char *path, bool cp932Names) {
    const char *name = path;
    size_t len = std::strlen(path);
    if (cp932Names && hasHighBytes(path, len) && isUtf8(path, len)) {
        if (utf8ToCp932(cp932Name, sizeof cp932Name, path) < 0 || !readsBackAs(cp932Name, path)) {
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
    if (!canListName(name, std::strlen(name))) {
        report(run, path, "name cannot be listed");
        return nullptr;
    }
    return name;
}

void writeListLine(ExtractRun &run, FILE *out, const char *path, int imgType, bool cp932Names) {
    const char *name = listLineName(run, path, cp932Names);
    const EmojiText &text = run.text;
    if (name == nullptr) return;
    if (std::strlen(text.bytes) != text.len) return report(run, path, "text holds a zero byte");
    if (std::strpbrk(text.bytes, "\r\n") != nullptr)
        return report(run, path, "text holds a line break");

    int32_t converted = utf8ToCp932(cp932Text, sizeof cp932Text, text.bytes);
    if (converted == QZ_CC_OUTPUT_FULL) return report(run, path, "text too long for a list line");
    size_t textLen = std::strlen(cp932Text);
    // Quoted, the text runs to the next double quote; unquoted, to the line
    // end, and a leading quote or an empty field would be read otherwise.
    bool quoted = std::memchr(cp932Text, '"', textLen) == nullptr;
    if (!quoted && (textLen == 0 || cp932Text[0] == '"'))
        return report(run, path, "text cannot be listed");
    size_t lineLen = std::strlen(name) + 1 + textLen + (quoted ? 2 : 0) + 1;
    if (lineLen > READER_LINE_MAX || cp932Characters(cp932Text, textLen) > READER_TEXT_UNITS)
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
