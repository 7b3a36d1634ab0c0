// text_encoding.cpp - whole-file UTF-8 and CP932 validation, and the marks
// of UTF-8 read as CP932.
#include "text_encoding.h"

#include "text_cp932.h"
#include "text_utf8.h"

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
        if (scan->pending > 0 && isUtf8Continuation(b)) {
            scan->cp = scan->cp << 6 | (b & 0x3Fu);
            scan->taken++;
            if (--scan->pending > 0) continue;
            if (isUtf8Scalar(scan->cp, scan->min)) {
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
        Utf8Lead lead;
        if (b < 0x80) continue;
        scan->taken = 1;
        if (!utf8LeadOf(b, &lead) || lead.more == 0) {
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
