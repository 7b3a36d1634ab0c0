// bench_convert - throughput of CP932 <-> UTF-16BE conversion with
// qz_code_convert and `convert_tbl`, side by side with the C library's iconv
// and ICU doing the same conversion in the same process.
//
// The text is generated here: Japanese prose of about 200-byte lines mixing
// ASCII (words, digits, mark-up), hiragana, katakana, kanji, full-width
// punctuation and half-width katakana, all drawn from codes that the three
// converters map alike. Two modes: one call per line into a 32,772-byte output
// buffer (as the tool converts its list lines), and one call on the whole
// text. Every converter's output is compared with ours before timing.
//
// Prints a Markdown table (input MB/s and ratios) on standard output.
// Usage: bench_convert [MEGABYTES]   (default 4)
#include <iconv.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CP932.h"
#include "qz_cc_api.h"

namespace {

constexpr uint32_t kLineBuffer = 32772;  // the tool's output buffer per list line
constexpr size_t kLineTarget = 200;      // bytes per generated line, about
constexpr int kRounds = 5;               // best of this many timed rounds
constexpr double kRoundSeconds = 0.25;   // minimum length of one round

// Deterministic text generator (a 64-bit LCG; the text is the same every run).
struct Rng {
    uint64_t s = 0x9E3779B97F4A7C15ull;
    unsigned next(unsigned n) {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>((s >> 33) % n);
    }
};

void putCode(std::string &out, unsigned code) {
    if (code >= 0x100) out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

// A kanji of JIS level 1 from rows 16-46 (0x889F-0x97FC), the first rows
// more often.
unsigned kanji(Rng &r) {
    unsigned row = 16 + (r.next(4) == 0 ? r.next(31) : r.next(8));
    unsigned lead = 0x80 + (row + 1) / 2, trail;
    if (row % 2 == 1) {  // odd row: trails 0x40-0x9E without 0x7F
        trail = 0x40 + r.next(94);
        if (trail >= 0x7F) trail++;
    } else {  // even row: trails 0x9F-0xFC
        trail = 0x9F + r.next(94);
    }
    return lead << 8 | trail;
}

void appendWord(std::string &out, Rng &r) {
    static const char *const ascii[] = {"emoji", "GIF",    "JPEG",  "2024",    "OK",   "No.", "ID:",
                                        "<tag>", "</tag>", "smile", "http://", "v1.2", "(",   ")"};
    unsigned kind = r.next(100);
    if (kind < 38) {  // hiragana run
        for (unsigned i = 0, n = 1 + r.next(5); i < n; i++)
            putCode(out, 0x829F + r.next(83));
    } else if (kind < 66) {  // kanji compound
        for (unsigned i = 0, n = 1 + r.next(3); i < n; i++)
            putCode(out, kanji(r));
    } else if (kind < 74) {  // katakana word
        for (unsigned i = 0, n = 2 + r.next(4); i < n; i++) {
            unsigned code = 0x8340 + r.next(86);
            putCode(out, code >= 0x837F ? code + 1 : code);
        }
    } else if (kind < 80) {  // half-width katakana word
        for (unsigned i = 0, n = 2 + r.next(5); i < n; i++)
            putCode(out, 0xA6 + r.next(56));
    } else if (kind < 92) {  // ASCII word with a space
        out += ascii[r.next(sizeof ascii / sizeof ascii[0])];
        out += ' ';
    } else {  // full-width punctuation: 、。「」・ー
        static const unsigned punct[] = {0x8141, 0x8142, 0x8175, 0x8176, 0x8145, 0x815B};
        putCode(out, punct[r.next(6)]);
    }
}

// Lines of about kLineTarget bytes, each without its terminator.
std::vector<std::string> makeLines(size_t totalBytes) {
    Rng r;
    std::vector<std::string> lines;
    size_t total = 0;
    while (total < totalBytes) {
        std::string line;
        size_t target = kLineTarget - 20 + r.next(41);
        while (line.size() < target)
            appendWord(line, r);
        total += line.size();
        lines.push_back(line);
    }
    return lines;
}

// One text as lines (each zero-terminated, as the converters need it) and
// as one whole zero-terminated buffer.
struct Text {
    std::vector<std::string> lines;  // each with its terminator(s)
    std::string whole;               // all lines joined, then the terminator(s)
    size_t bytes = 0;                // input bytes without terminators
};

Text makeText(const std::vector<std::string> &lines, size_t terminator) {
    Text t;
    for (const std::string &l : lines) {
        t.lines.push_back(l + std::string(terminator, '\0'));
        t.whole += l;
        t.bytes += l.size();
    }
    t.whole += std::string(terminator, '\0');
    return t;
}

// --- the three converters; each returns the output bytes written ---------

size_t oursRun(uint8_t *out, size_t outSize, const std::string &in, uint16_t direction) {
    int32_t n =
        qz_code_convert(out, reinterpret_cast<const uint8_t *>(in.data()),
                        static_cast<uint32_t>(outSize), convert_tbl, QZ_CC_UTF16BE, direction);
    return n < 0 ? 0 : static_cast<size_t>(n);
}

size_t iconvRun(iconv_t cd, uint8_t *out, size_t outSize, const std::string &in, size_t term) {
    char *ip = const_cast<char *>(in.data());
    size_t il = in.size() - term;
    char *op = reinterpret_cast<char *>(out);
    size_t ol = outSize;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) return 0;
    return outSize - ol;
}

// ICU converts between CP932 and its native UTF-16; the byte order is turned
// in a separate pass, which is part of its cost for UTF-16BE.
size_t icuToUnicode(UConverter *cv, std::vector<UChar> &pivot, uint8_t *out, size_t outSize,
                    const std::string &in) {
    ucnv_reset(cv);
    UErrorCode err = U_ZERO_ERROR;
    const char *src = in.data();
    UChar *dst = pivot.data();
    ucnv_toUnicode(cv, &dst, pivot.data() + pivot.size(), &src, in.data() + in.size() - 1, nullptr,
                   1, &err);
    if (U_FAILURE(err)) return 0;
    size_t n = static_cast<size_t>(dst - pivot.data());
    if (2 * n > outSize) return 0;
    for (size_t i = 0; i < n; i++) {
        out[2 * i] = static_cast<uint8_t>(pivot[i] >> 8);
        out[2 * i + 1] = static_cast<uint8_t>(pivot[i]);
    }
    return 2 * n;
}

size_t icuToLocal(UConverter *cv, std::vector<UChar> &pivot, uint8_t *out, size_t outSize,
                  const std::string &in) {
    size_t n = (in.size() - 2) / 2;
    const uint8_t *s = reinterpret_cast<const uint8_t *>(in.data());
    for (size_t i = 0; i < n; i++)
        pivot[i] = static_cast<UChar>(s[2 * i] << 8 | s[2 * i + 1]);
    ucnv_reset(cv);
    UErrorCode err = U_ZERO_ERROR;
    const UChar *src = pivot.data();
    char *dst = reinterpret_cast<char *>(out);
    ucnv_fromUnicode(cv, &dst, dst + outSize, &src, pivot.data() + n, nullptr, 1, &err);
    if (U_FAILURE(err)) return 0;
    return static_cast<size_t>(dst - reinterpret_cast<char *>(out));
}

// --- timing ------------------------------------------------------------------

// kClear is no converter: it only clears the output buffer, as our converter
// must on every call, to show what that costs on its own.
enum Peer { kOurs, kIconv, kIcu, kClear };

struct Setup {
    uint16_t direction;
    iconv_t cd;
    UConverter *cv;
    std::vector<UChar> pivot;
};

// Converts every input of `inputs` once with `peer`; returns the output bytes.
size_t pass(Peer peer, Setup &s, const std::vector<const std::string *> &inputs,
            std::vector<uint8_t> &out, std::string *collect) {
    size_t term = s.direction == QZ_CC_TO_UNICODE ? 1 : 2, total = 0;
    for (const std::string *in : inputs) {
        size_t n = 0;
        if (peer == kClear) {
            std::memset(out.data(), 0, out.size());
            n = out[out.size() - 1];  // read back, so the clearing is not dropped
        } else if (peer == kOurs) {
            n = oursRun(out.data(), out.size(), *in, s.direction);
        } else if (peer == kIconv) {
            n = iconvRun(s.cd, out.data(), out.size(), *in, term);
        } else {
            n = s.direction == QZ_CC_TO_UNICODE
                    ? icuToUnicode(s.cv, s.pivot, out.data(), out.size(), *in)
                    : icuToLocal(s.cv, s.pivot, out.data(), out.size(), *in);
        }
        if (collect != nullptr) collect->append(reinterpret_cast<char *>(out.data()), n);
        total += n;
    }
    return total;
}

// Best input throughput in MB/s over kRounds rounds.
double measure(Peer peer, Setup &s, const std::vector<const std::string *> &inputs,
               std::vector<uint8_t> &out, size_t inputBytes) {
    using Clock = std::chrono::steady_clock;
    double best = 0;
    volatile size_t sink = 0;
    for (int round = 0; round < kRounds; round++) {
        size_t passes = 0;
        auto start = Clock::now();
        double seconds = 0;
        do {
            sink = sink + pass(peer, s, inputs, out, nullptr);
            passes++;
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
        } while (seconds < kRoundSeconds);
        best = std::max(best, static_cast<double>(inputBytes) * passes / seconds / 1e6);
    }
    return best;
}

struct Row {
    const char *what;
    double mbps[4];  // by Peer; kClear only per line
    bool agree;
    double lineBytes;  // input bytes a line, per line only
};

Row runMode(const char *what, Setup &s, const Text &text, bool perLine) {
    std::vector<const std::string *> inputs;
    if (perLine) {
        for (const std::string &l : text.lines)
            inputs.push_back(&l);
    } else {
        inputs.push_back(&text.whole);
    }
    size_t outSize = perLine ? kLineBuffer : 2 * text.whole.size() + 4;
    std::vector<uint8_t> out(outSize);
    s.pivot.assign(std::max(text.whole.size() + 4, static_cast<size_t>(kLineBuffer)), 0);
    Row row{what, {0, 0, 0, 0}, true, perLine ? double(text.bytes) / text.lines.size() : 0};
    std::string expected, got;
    pass(kOurs, s, inputs, out, &expected);
    for (Peer p : {kIconv, kIcu}) {
        got.clear();
        pass(p, s, inputs, out, &got);
        if (got != expected) row.agree = false;
    }
    for (Peer p : {kOurs, kIconv, kIcu})
        row.mbps[p] = measure(p, s, inputs, out, text.bytes);
    if (perLine) row.mbps[kClear] = measure(kClear, s, inputs, out, text.bytes);
    return row;
}

}  // namespace

int main(int argc, char **argv) {
    double megabytes = argc > 1 ? std::atof(argv[1]) : 4.0;
    if (megabytes <= 0) megabytes = 4.0;
    std::vector<std::string> lines = makeLines(static_cast<size_t>(megabytes * 1e6));
    Text local = makeText(lines, 1);

    // The same text in UTF-16BE, converted by our converter (checked below
    // against the peers as part of the first rows).
    std::vector<std::string> unicodeLines;
    std::vector<uint8_t> buf(kLineBuffer);
    for (const std::string &l : local.lines) {
        size_t n = oursRun(buf.data(), buf.size(), l, QZ_CC_TO_UNICODE);
        unicodeLines.emplace_back(reinterpret_cast<char *>(buf.data()), n);
    }
    Text unicode = makeText(unicodeLines, 2);

    UErrorCode err = U_ZERO_ERROR;
    UConverter *cv = ucnv_open("windows-31j", &err);
    iconv_t toU = iconv_open("UTF-16BE", "CP932"), toL = iconv_open("CP932", "UTF-16BE");
    if (U_FAILURE(err) || toU == reinterpret_cast<iconv_t>(-1) ||
        toL == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "Error: iconv or ICU has no CP932 converter\n");
        return 1;
    }
    Setup s1{QZ_CC_TO_UNICODE, toU, cv, {}};
    Setup s2{QZ_CC_TO_LOCAL, toL, cv, {}};
    Row rows[] = {
        runMode("CP932 to UTF-16BE, per line", s1, local, true),
        runMode("CP932 to UTF-16BE, whole text", s1, local, false),
        runMode("UTF-16BE to CP932, per line", s2, unicode, true),
        runMode("UTF-16BE to CP932, whole text", s2, unicode, false),
    };
    std::printf(
        "Text: %.2f MB of CP932 in %zu lines (%.0f bytes a line on average), "
        "%.2f MB as UTF-16BE. ICU converter: %s.\n\n",
        local.bytes / 1e6, lines.size(), static_cast<double>(local.bytes) / lines.size(),
        unicode.bytes / 1e6, ucnv_getName(cv, &err));
    std::printf(
        "| Conversion | ours MB/s | iconv MB/s | ICU MB/s | ours / iconv | ours / ICU "
        "| outputs equal |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---|\n");
    for (const Row &r : rows)
        std::printf("| %s | %.0f | %.0f | %.0f | %.2f | %.2f | %s |\n", r.what, r.mbps[kOurs],
                    r.mbps[kIconv], r.mbps[kIcu], r.mbps[kOurs] / r.mbps[kIconv],
                    r.mbps[kOurs] / r.mbps[kIcu], r.agree ? "yes" : "NO");
    // Per line, the time of one line, and how much of ours is the clearing
    // of the 32,772-byte buffer that every call must do.
    std::printf(
        "\n| Per line, µs a line | ours | iconv | ICU | clear only | ours less clearing "
        "| 2 x iconv would need |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    for (const Row &r : rows) {
        if (r.lineBytes == 0) continue;
        double us[4];
        for (int p = 0; p < 4; p++)
            us[p] = r.lineBytes / r.mbps[p];  // bytes / (MB/s) = µs
        std::printf("| %s | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f |\n", r.what, us[kOurs],
                    us[kIconv], us[kIcu], us[kClear], us[kOurs] - us[kClear], us[kIconv] / 2);
    }
    ucnv_close(cv);
    iconv_close(toU);
    iconv_close(toL);
    return 0;
}
