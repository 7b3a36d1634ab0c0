// template_source.cpp - one pass over the template for its encoding, then
// back to its start.
#include "template_source.h"

#include <cstring>

#include "companion_report.h"
#include "text_encoding.h"
#include "text_utf8.h"

namespace {

constexpr size_t SCAN_BLOCK = 64 * 1024;
char scanBuf[SCAN_BLOCK];

// The byte-order marks of UTF-16, which spreadsheets write for "Unicode
// text": tab-separated, not CSV.
bool isUtf16Mark(const char *s, size_t len) {
    return len >= 2 && ((s[0] == '\xFF' && s[1] == '\xFE') || (s[0] == '\xFE' && s[1] == '\xFF'));
}

// A UTF-8 file with a few damaged bytes would read as CP932 into garbled
// text without a single fault: in CP932, nine out of ten bytes of 0x80 and
// above never fall into well-formed UTF-8 by chance.
bool isMostlyUtf8(const Utf8Scan &scan) {
    return scan.goodHigh >= 9 * scan.badHigh;
}

}  // namespace

int encodingNamed(const char *name) {
    if (std::strcmp(name, "cp932") == 0) return FROM_CP932;
    return std::strcmp(name, "utf-8") == 0 ? FROM_UTF8 : -1;
}

int encodingOfBytes(const Utf8Scan &scan) {
    if (scan.noteFault) return FROM_CP932;  // the note says so
    if (!scanEndsValid(scan)) return isMostlyUtf8(scan) ? BYTES_DAMAGED_UTF8 : FROM_CP932;
    return scan.highBytes ? FROM_UTF8 : FROM_CP932;
}

int templateEncoding(FILE *in, const char *path, int from) {
    Utf8Scan scan = startUtf8Scan();
    Cp932Scan cp932 = startCp932Scan();
    bool bom = false;
    bool first = true;
    size_t n;
    while ((n = std::fread(scanBuf, 1, sizeof scanBuf, in)) > 0) {
        if (first && isUtf16Mark(scanBuf, n)) {
            reportFile(path, "the template is in UTF-16: save it as CSV, in UTF-8 or CP932");
            return -1;
        }
        if (first) bom = n >= UTF8_BOM_SIZE && std::memcmp(scanBuf, UTF8_BOM, UTF8_BOM_SIZE) == 0;
        first = false;
        if (from != FROM_BYTES) break;  // only the mark is looked for
        scanUtf8(&scan, scanBuf, n);
        if (!bom) scanCp932(&cp932, scanBuf, n);
    }
    // Of a template read only in part, nothing is judged.
    if (std::ferror(in)) {
        reportReadError(path);
        return -1;
    }
    int encoding = from;
    if (from == FROM_BYTES) encoding = bom ? FROM_UTF8 : encodingOfBytes(scan);
    if (encoding == BYTES_DAMAGED_UTF8) {
        reportFile(path,
                   "the template is UTF-8 but for bytes on line %ld: save it again, or name its "
                   "encoding with --from",
                   scan.valid ? scan.line : scan.badLine);
        return -1;
    }
    // Both readings of bytes beyond ASCII differ: no CP932 character is
    // spelt as the same code point's UTF-8. Only a CP932 reading that looks
    // like text is worth a word.
    bool cp932Too = cp932ScanEndsValid(cp932) && !cp932.misread;
    if (from == FROM_BYTES && !bom && encoding == FROM_UTF8 && cp932Too)
        reportFile(path,
                   "reads as UTF-8 and as CP932; taken as UTF-8 (--from cp932 reads it as CP932)");
    // The mark is no text in either encoding.
    long skip = bom ? static_cast<long>(UTF8_BOM_SIZE) : 0;
    if (std::fseek(in, skip, SEEK_SET) != 0) {
        reportReadError(path);
        return -1;
    }
    return encoding;
}
