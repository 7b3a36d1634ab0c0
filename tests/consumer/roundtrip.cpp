// roundtrip.cpp - converts CP932 text to Unicode (UTF-16BE and UTF-8) and
// back through the installed converter, from C++. Exits 0 when every case
// converts both ways as expected, 1 otherwise.
#include <CP932.h>
#include <qz_cc_api.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace {

struct Case {
    const char *why;
    std::string cp932;    // CP932 text
    std::string unicode;  // its form in `form`
    uint16_t form;
};

const Case cases[] = {
    {"one double-byte character (hiragana a) as UTF-16BE", "\x82\xA0", std::string("\x30\x42", 2),
     QZ_CC_UTF16BE},
    {"ASCII and a kanji as UTF-16BE", "A\x88\x9F", std::string("\x00\x41\x4E\x9C", 4),
     QZ_CC_UTF16BE},
    {"one double-byte character as three UTF-8 bytes", "\x82\xA0", "\xE3\x81\x82", QZ_CC_UTF8},
};

// Runs one conversion; returns its result and keeps the output's first bytes.
int32_t convert(const std::string &text, uint16_t form, uint16_t direction,
                std::array<uint8_t, 64> &out) {
    std::array<uint8_t, 64> in{};  // zero-filled: ends the text in every form
    std::copy(text.begin(), text.end(), in.begin());
    return qz_code_convert(out.data(), in.data(), out.size(), convert_tbl, form, direction);
}

std::string hex(const uint8_t *bytes, size_t n) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < n; i++) {
        std::snprintf(b, sizeof b, " %02X", bytes[i]);
        s += b;
    }
    return s;
}

// Checks one direction: the result is the byte count of `want`, the output
// holds `want` and then its terminator (two zero bytes as UTF-16BE, else one).
int check(const Case &c, const std::string &from, const std::string &want, uint16_t direction) {
    std::array<uint8_t, 64> out{};
    int32_t result = convert(from, c.form, direction, out);
    size_t terminator = direction == QZ_CC_TO_UNICODE && c.form == QZ_CC_UTF16BE ? 2 : 1;
    std::string expected = want + std::string(terminator, '\0');
    if (result == static_cast<int32_t>(want.size()) &&
        std::equal(expected.begin(), expected.end(), out.begin(),
                   [](char e, uint8_t o) { return static_cast<uint8_t>(e) == o; }))
        return 0;
    std::fprintf(stderr, "FAIL %s (%s): result %d, got%s, want%s\n", c.why,
                 direction == QZ_CC_TO_UNICODE ? "to Unicode" : "to CP932",
                 static_cast<int>(result), hex(out.data(), expected.size()).c_str(),
                 hex(reinterpret_cast<const uint8_t *>(expected.data()), expected.size()).c_str());
    return 1;
}

}  // namespace

int main() {
    int failed = 0;
    for (const Case &c : cases) {
        failed += check(c, c.cp932, c.unicode, QZ_CC_TO_UNICODE);
        failed += check(c, c.unicode, c.cp932, QZ_CC_TO_LOCAL);
    }
    std::printf("roundtrip (C++): %s\n", failed == 0 ? "ok" : "FAILED");
    return failed == 0 ? 0 : 1;
}
