// text_encoding.cpp - UTF-8 decoding and validation, CP932 character
// boundaries, and the converter's two directions between them.
#include "text_encoding.h"

#include "CP932.h"
#include "qz_cc_api.h"

namespace {

constexpr uint32_t SURROGATE_FIRST = 0xD800;
constexpr uint32_t SURROGATE_LAST = 0xDFFF;
constexpr uint32_t UNICODE_LAST = 0x10FFFF;

bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The sequence a lead byte opens: its continuation bytes, the bits it
// carries and the least code point its length may hold.
struct Lead {
    int more;
    uint32_t bits;
    uint32_t min;
};

// False for a byte that opens no sequence (a continuation byte, 0xF8 up).
bool leadOf(unsigned char b, Lead *lead) {
    if (b < 0x80) {
        *lead = Lead{0, b, 0};
    } else if ((b & 0xE0) == 0xC0) {
        *lead = Lead{1, b & 0x1Fu, 0x80};
    } else if ((b & 0xF0) == 0xE0) {
        *lead = Lead{2, b & 0x0Fu, 0x800};
    } else if ((b & 0xF8) == 0xF0) {
        *lead = Lead{3, b & 0x07u, 0x10000};
    } else {
        return false;
    }
    return true;
}

bool isScalar(uint32_t cp, uint32_t min) {
    return cp >= min && cp <= UNICODE_LAST && (cp < SURROGATE_FIRST || cp > SURROGATE_LAST);
}

// Bytes the converter reads as a character of their own.
bool isCp932Single(unsigned char b) {
    return b <= 0x80 || (b >= 0xA1 && b <= 0xDF);
}

}  // namespace

size_t decodeUtf8Char(const char *s, size_t len, uint32_t *cp) {
    Lead lead;
    if (len == 0 || !leadOf(static_cast<unsigned char>(s[0]), &lead)) return 0;
    if (static_cast<size_t>(lead.more) >= len) return 0;
    uint32_t bits = lead.bits;
    for (int i = 1; i <= lead.more; i++) {
        auto b = static_cast<unsigned char>(s[i]);
        if (!isContinuation(b)) return 0;
        bits = bits << 6 | (b & 0x3Fu);
    }
    if (!isScalar(bits, lead.min)) return 0;
    *cp = bits;
    return static_cast<size_t>(lead.more) + 1;
}

bool isUtf8(const char *s, size_t len) {
    Utf8Scan scan = startUtf8Scan();
    scanUtf8(&scan, s, len);
    return scanEndsValid(scan);
}

bool hasHighBytes(const char *s, size_t len) {
    for (size_t i = 0; i < len; i++)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return true;
    return false;
}

size_t cp932CharLength(const char *s, size_t len) {
    bool pair = !isCp932Single(static_cast<unsigned char>(s[0])) && len > 1 && s[1] != '\0';
    return pair ? 2 : 1;
}

Utf8Scan startUtf8Scan() {
    Utf8Scan scan{};
    scan.valid = true;
    scan.line = 1;
    scan.lineStart = true;
    return scan;
}

// The character so far is no character: its bytes count as faulty.
static void breakCharacter(Utf8Scan *scan) {
    if (scan->valid) scan->badLine = scan->line;
    if (scan->inNote) scan->noteFault = true;
    scan->valid = false;
    scan->badHigh += static_cast<size_t>(scan->taken);
    scan->pending = 0;
    scan->taken = 0;
}

// Follows the byte `b` of a line (not its end) for a note row's mark. The
// bytes of the mark are ASCII, so a fault before them is the previous line's.
static void followLine(Utf8Scan *scan, unsigned char b) {
    if (scan->lineStart || scan->quoteStart) scan->inNote = b == '#';
    scan->quoteStart = scan->lineStart && b == '"';
    scan->lineStart = false;
}

void scanUtf8(Utf8Scan *scan, const char *s, size_t len) {
    for (size_t i = 0; i < len; i++) {
        auto b = static_cast<unsigned char>(s[i]);
        bool lineEnd = b == '\n' || b == '\r';
        if (b == '\n') scan->line++;
        if (!lineEnd) followLine(scan, b);
        if (b >= 0x80) scan->highBytes = true;
        if (scan->pending > 0 && isContinuation(b)) {
            scan->cp = scan->cp << 6 | (b & 0x3Fu);
            scan->taken++;
            if (--scan->pending > 0) continue;
            if (isScalar(scan->cp, scan->min)) {
                scan->goodHigh += static_cast<size_t>(scan->taken);
                scan->taken = 0;
            } else {
                breakCharacter(scan);
            }
            continue;
        }
        if (scan->pending > 0) breakCharacter(scan);  // b may begin the next one
        if (lineEnd) {
            scan->lineStart = true;
            scan->quoteStart = false;
            scan->inNote = false;
        }
        Lead lead;
        if (b < 0x80) continue;
        scan->taken = 1;
        if (!leadOf(b, &lead) || lead.more == 0) {
            breakCharacter(scan);
            continue;
        }
        scan->pending = lead.more;
        scan->cp = lead.bits;
        scan->min = lead.min;
    }
}

bool scanEndsValid(const Utf8Scan &scan) {
    return scan.valid && scan.pending == 0;
}

// The kinds of character the marks of misread UTF-8 are told by.
constexpr int KIND_OTHER = 0;
constexpr int KIND_DOUBLE = 1;  // a double-byte character
constexpr int KIND_LETTER = 2;  // an ASCII letter or digit
constexpr int KIND_KANA = 3;    // a half-width katakana

Cp932Scan startCp932Scan() {
    return Cp932Scan{true, false, 0, KIND_OTHER, false};
}

// The character `ch` (NUL-terminated) converts exactly.
static bool isCp932Char(const char *ch) {
    char utf8[8];
    return cp932ToUtf8(utf8, sizeof utf8, ch) >= 0;
}

static int singleKind(unsigned char b) {
    if (b >= 0xA1 && b <= 0xDF) return KIND_KANA;
    bool letter = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    return letter ? KIND_LETTER : KIND_OTHER;
}

void scanCp932(Cp932Scan *scan, const char *s, size_t len) {
    for (size_t i = 0; i < len && scan->valid; i++) {
        auto b = static_cast<unsigned char>(s[i]);
        int kind = KIND_DOUBLE;
        if (scan->pending) {
            // A lead before a NUL stands alone, as the converter takes it.
            char ch[3] = {scan->lead, static_cast<char>(b), '\0'};
            scan->valid = isCp932Char(ch);
            scan->pending = false;
        } else if (b >= 0x80 && !isCp932Single(b)) {
            scan->pending = true;
            scan->lead = static_cast<char>(b);
            continue;
        } else {
            char ch[2] = {static_cast<char>(b), '\0'};
            if (b >= 0x80) scan->valid = isCp932Char(ch);
            kind = singleKind(b);
        }
        if (kind == KIND_KANA && (scan->before == KIND_DOUBLE || scan->before == KIND_LETTER))
            scan->misread = true;
        scan->before = kind;
    }
}

bool cp932ScanEndsValid(const Cp932Scan &scan) {
    return scan.valid && !scan.pending;
}

int32_t cp932ToUtf8(char *out, size_t cap, const char *cp932) {
    return qz_code_convert(reinterpret_cast<uint8_t *>(out),
                           reinterpret_cast<const uint8_t *>(cp932), static_cast<uint32_t>(cap),
                           convert_tbl, QZ_CC_UTF8, QZ_CC_TO_UNICODE);
}

int32_t utf8ToCp932(char *out, size_t cap, const char *utf8) {
    return qz_code_convert(reinterpret_cast<uint8_t *>(out),
                           reinterpret_cast<const uint8_t *>(utf8), static_cast<uint32_t>(cap),
                           convert_tbl, QZ_CC_UTF8, QZ_CC_TO_LOCAL);
}
