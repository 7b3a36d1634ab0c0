// sheet_names.cpp - the names of the pictures on the page: shown in UTF-8,
// linked by URLs relative to the sheet's directory. A relative URL is worked
// out from the absolute forms of the two paths, "." and ".." resolved by
// their names as a browser resolves a URL, so the sheet can move with its
// pictures.
#include <cstring>

#include "html_sheet.h"
#include "platform_path.h"
#include "text_cp932.h"
#include "text_utf8.h"

namespace {

// Resolves an absolute path in place: '/' between names, no empty names, no
// "." and no ".." (which takes the name before it away, never the root).
// Returns the root's length.
size_t normalizePath(char *p) {
    size_t root = pathRootLength(p);
    for (size_t i = 0; i < root; i++)
        if (isPathSeparator(p[i])) p[i] = '/';
    size_t w = root;  // end of the resolved part
    for (size_t i = root; p[i] != '\0';) {
        size_t j = i;
        while (p[j] != '\0' && !isPathSeparator(p[j]))
            j++;
        size_t len = j - i;
        if (len == 2 && p[i] == '.' && p[i + 1] == '.') {
            while (w > root && p[w - 1] != '/')
                w--;
            if (w > root) w--;  // the separator before the name taken away
        } else if (len > 0 && !(len == 1 && p[i] == '.')) {
            if (w > root) p[w++] = '/';
            std::memmove(p + w, p + i, len);
            w += len;
        }
        i = p[j] == '\0' ? j : j + 1;
    }
    p[w] = '\0';
    return root;
}

// The next name of a resolved path from `i` on: its end.
size_t nameEnd(const char *p, size_t i) {
    while (p[i] != '\0' && p[i] != '/')
        i++;
    return i;
}

bool sameRoot(const char *a, size_t aLen, const char *b, size_t bLen) {
    if (aLen != bLen) return false;
    for (size_t i = 0; i < aLen; i++) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
        if (x != y) return false;
    }
    return true;
}

// The absolute form of `path`, in UTF-8 where the system's names are CP932
// (raw when a name does not convert), into n.full; null when there is none.
char *absoluteName(SheetNames &n, const char *path) {
    if (fullPath(path, n.full, sizeof n.full) != 0) return nullptr;
    if (!namesInCp932() || cp932ToUtf8(n.utf8, sizeof n.utf8, n.full) < 0) return n.full;
    return n.utf8;
}

// Appends `s` (n bytes), percent-encoded, to the URL of length *len.
bool appendUrl(SheetNames &n, size_t *len, const char *s, size_t count) {
    size_t room = sizeof n.url - 1 - *len;
    size_t added = encodeUrlPath(n.url + *len, room, s, count);
    if (added == room) return false;
    *len += added;
    n.url[*len] = '\0';
    return true;
}

}  // namespace

void setSheetBase(SheetNames &n, const char *sheetPath) {
    n.base[0] = '\0';
    n.baseRoot = 0;
    char *full = absoluteName(n, sheetPath);
    if (full == nullptr || std::strlen(full) >= sizeof n.base) return;
    std::strcpy(n.base, full);
    n.baseRoot = normalizePath(n.base);
    // The directory: the resolved path without its last name.
    char *slash = std::strrchr(n.base + n.baseRoot, '/');
    n.base[slash != nullptr ? static_cast<size_t>(slash - n.base) : n.baseRoot] = '\0';
}

bool makePictureUrl(SheetNames &n, const char *path) {
    n.url[0] = '\0';
    char *full = n.base[0] != '\0' ? absoluteName(n, path) : nullptr;
    size_t len = 0;
    if (full == nullptr) return appendUrl(n, &len, path, std::strlen(path));
    size_t root = normalizePath(full);
    if (!sameRoot(full, root, n.base, n.baseRoot)) {
        // Another drive or share: only an absolute URL leads there. A drive's
        // colon stays as it is ("file:///C:/...").
        const char *scheme = full[0] != '/' ? "file:///" : full[1] == '/' ? "file:" : "file://";
        std::strcpy(n.url, scheme);
        len = std::strlen(n.url);
        size_t drive = full[0] != '/' && full[1] == ':' ? 2 : 0;
        std::memcpy(n.url + len, full, drive);
        len += drive;
        n.url[len] = '\0';
        return appendUrl(n, &len, full + drive, std::strlen(full + drive));
    }
    // The names the two have in common, then one ".." for each name of the
    // sheet's directory beyond them, then the rest of the picture's path.
    size_t b = n.baseRoot, p = root;
    for (;;) {
        size_t be = nameEnd(n.base, b), pe = nameEnd(full, p);
        if (n.base[b] == '\0' || full[pe] == '\0' || be - b != pe - p ||
            std::memcmp(n.base + b, full + p, be - b) != 0)
            break;
        b = n.base[be] == '/' ? be + 1 : be;
        p = pe + 1;
    }
    while (n.base[b] != '\0') {
        if (!appendUrl(n, &len, "../", 3)) return false;
        size_t be = nameEnd(n.base, b);
        b = n.base[be] == '/' ? be + 1 : be;
    }
    return appendUrl(n, &len, full + p, std::strlen(full + p));
}

const char *lastPathName(SheetNames &n, const char *path) {
    char *full = absoluteName(n, path);
    if (full == nullptr)
        return namesInCp932() && cp932ToUtf8(n.utf8, sizeof n.utf8, path) >= 0 ? n.utf8 : path;
    size_t root = normalizePath(full);
    if (full[root] == '\0') return full;
    const char *slash = std::strrchr(full + root, '/');
    return slash != nullptr ? slash + 1 : full + root;
}

void writeNameText(SheetNames &n, FILE *out, const char *name, bool cp932, bool inTitle) {
    // Isolated, so that a name's own direction marks and overrides (U+202E)
    // end with it and never turn the page's text after it round. A title
    // holds text only: there the isolate is U+2068 ... U+2069.
    std::fputs(inTitle ? "\xE2\x81\xA8" : "<bdi>", out);
    const char *mark = nullptr;
    if (cp932) {
        bool exact = cp932ToUtf8(n.utf8, sizeof n.utf8, name) >= 0;
        writeHtmlText(out, n.utf8);
        if (!exact) mark = "(name not in CP932)";
    } else {
        size_t len = std::strlen(name);
        writeHtmlText(out, name, len);
        if (!isUtf8(name, len)) mark = "(name not in UTF-8)";
    }
    std::fputs(inTitle ? "\xE2\x81\xA9" : "</bdi>", out);
    if (mark == nullptr) return;
    std::fprintf(out, inTitle ? " %s" : " <span class=\"warn\">%s</span>", mark);
}
