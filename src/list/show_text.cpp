// show_text.cpp - texts for messages, one character at a time into the
// console's character set.
#include "show_text.h"

#include <cstdint>
#include <cstring>

#include "image_job.h"
#include "platform_console.h"
#include "platform_dir.h"
#include "shown_name.h"
#include "text_encoding.h"

namespace {

constexpr char CUT_MARK[] = "...";

// Fills a Shown piece by piece; a piece that does not fit ends it with
// CUT_MARK.
struct ShowWriter {
    Shown *shown;
    size_t used;
    bool cut;
};

bool put(ShowWriter &w, const char *piece, size_t n) {
    if (w.cut) return false;
    if (w.used + n + sizeof CUT_MARK > SHOWN_SIZE) {
        std::memcpy(w.shown->text + w.used, CUT_MARK, sizeof CUT_MARK - 1);
        w.used += sizeof CUT_MARK - 1;
        w.cut = true;
        return false;
    }
    std::memcpy(w.shown->text + w.used, piece, n);
    w.used += n;
    return true;
}

const char *finish(ShowWriter &w) {
    w.shown->text[w.used] = '\0';
    return w.shown->text;
}

// The piece for one byte that stands for itself.
bool putByte(ShowWriter &w, char c) {
    char shown = shownByte(c);
    return put(w, &shown, 1);
}

}  // namespace

const char *showUtf8(Shown *shown, const char *utf8, size_t len) {
    ShowWriter w{shown, 0, false};
    bool local = consoleEncoding() == CONSOLE_LOCAL;
    for (size_t i = 0; i < len;) {
        uint32_t cp;
        size_t n = decodeUtf8Char(utf8 + i, len - i, &cp);
        bool more;
        if (n == 0) {
            more = put(w, "?", 1);
            n = 1;
        } else if (cp < 0x80) {
            more = putByte(w, utf8[i]);
        } else if (!local) {
            more = put(w, utf8 + i, n);
        } else {
            char one[5] = {};
            char cp932[8];
            std::memcpy(one, utf8 + i, n);
            int32_t r = utf8ToCp932(cp932, sizeof cp932, one);
            more = r > 0 ? put(w, cp932, static_cast<size_t>(r)) : put(w, "?", 1);
        }
        if (!more) break;
        i += n;
    }
    return finish(w);
}

const char *showCp932(Shown *shown, const char *cp932, size_t len) {
    if (consoleEncoding() == CONSOLE_LOCAL) return showBytes(shown, cp932, len);
    ShowWriter w{shown, 0, false};
    for (size_t i = 0; i < len;) {
        size_t n = cp932CharLength(cp932 + i, len - i);
        bool more;
        if (static_cast<unsigned char>(cp932[i]) < 0x80) {
            more = putByte(w, cp932[i]);
        } else {
            char one[3] = {};
            char utf8[8];
            std::memcpy(one, cp932 + i, n);
            int32_t r = cp932ToUtf8(utf8, sizeof utf8, one);
            more = r > 0 ? put(w, utf8, static_cast<size_t>(r)) : put(w, "?", 1);
        }
        if (!more) break;
        i += n;
    }
    return finish(w);
}

const char *showBytes(Shown *shown, const char *bytes, size_t len) {
    ShowWriter w{shown, 0, false};
    for (size_t i = 0; i < len && putByte(w, bytes[i]); i++) {
    }
    return finish(w);
}

const char *showListName(Shown *shown, const char *name) {
    if (std::strncmp(name, UTF8_BOM, UTF8_BOM_SIZE) == 0) name += UTF8_BOM_SIZE;
    const char *path = resolveImgPath(name);
    int kind;
    if (pathEntryKind(path, &kind) == 0) return showBytes(shown, path, std::strlen(path));
    return showCp932(shown, name, std::strlen(name));
}
