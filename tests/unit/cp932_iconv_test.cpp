// Cross-check of qz_code_convert with `convert_tbl` against the C library's
// iconv CP932 converter, an independent implementation: every single byte and
// double-byte code to UTF-16BE, and every UTF-16 code unit to CP932. Where the
// table differs on purpose, the difference is listed below with its reason;
// any other disagreement fails.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "CP932.h"
#include "qz_cc_api.h"

namespace {

constexpr int kNone = -1;  // no conversion

// The iconv converters, one per direction, opened once per test. run()
// converts `len` bytes and gives the result as one number (a code unit, or
// one or two output bytes high byte first), kNone on any error.
struct Oracle {
    iconv_t decoder = iconv_open("UTF-16BE", "CP932");
    iconv_t encoder = iconv_open("CP932", "UTF-16BE");
    ~Oracle() {
        iconv_close(decoder);
        iconv_close(encoder);
    }
    int run(iconv_t cd, const uint8_t *in, size_t len) {
        char ib[4], ob[8];
        std::memcpy(ib, in, len);
        char *ip = ib, *op = ob;
        size_t il = len, ol = sizeof ob;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        size_t r = iconv(cd, &ip, &il, &op, &ol);
        size_t n = static_cast<size_t>(op - ob);
        if (r == static_cast<size_t>(-1) || il != 0 || n == 0 || n > 2) return kNone;
        return n == 1 ? static_cast<uint8_t>(ob[0])
                      : static_cast<uint8_t>(ob[0]) << 8 | static_cast<uint8_t>(ob[1]);
    }
};

// Our conversion of one CP932 character (one or two bytes) to one code unit.
int oursToUnicode(const uint8_t *in, size_t len) {
    uint8_t input[4] = {0, 0, 0, 0};
    std::memcpy(input, in, len);
    uint8_t out[16];
    int32_t r =
        qz_code_convert(out, input, sizeof out, convert_tbl, QZ_CC_UTF16BE, QZ_CC_TO_UNICODE);
    if (r != 2) return kNone;
    return out[0] << 8 | out[1];
}

// Our conversion of one code unit to CP932 (one or two bytes as a number).
int oursToLocal(unsigned unit) {
    uint8_t input[4] = {static_cast<uint8_t>(unit >> 8), static_cast<uint8_t>(unit), 0, 0};
    uint8_t out[16];
    int32_t r = qz_code_convert(out, input, sizeof out, convert_tbl, QZ_CC_UTF16BE, QZ_CC_TO_LOCAL);
    if (r == 1) return out[0];
    if (r == 2) return out[0] << 8 | out[1];
    return kNone;
}

// A deliberate difference: over [first, last] the table gives `ours` where
// iconv gives `theirs` (kNone = no conversion; kAny = whatever that side
// gives, as long as the other side gives kNone).
constexpr int kAny = -3;
struct Difference {
    unsigned first, last;
    int ours, theirs;
    const char *why;
};

// The mapped part of the user-defined area (the rest is left unmapped).
bool isMappedUserDefined(unsigned code) {
    unsigned lead = code >> 8, trail = code & 0xFF;
    if (lead == 0xF8) return trail >= 0x9F && trail <= 0xFC;
    if (lead != 0xF9 || trail == 0x7F) return false;
    return (trail >= 0x40 && trail <= 0x49) || (trail >= 0x50 && trail <= 0x52) ||
           (trail >= 0x55 && trail <= 0x57) || (trail >= 0x5B && trail <= 0x5E) ||
           (trail >= 0x72 && trail <= 0xFC);
}

const Difference kDecodeDifferences[] = {
    {0xF040, 0xF9FC, kNone, kAny,
     "user-defined area: only 0xF89F-0xF9FC minus the gaps of lead 0xF9 are mapped; iconv "
     "maps the whole area to the private use area"},
};

const Difference kEncodeDifferences[] = {
    {0x00A1, 0x00A1, 0x21, kNone, "best fit: inverted exclamation mark to '!'"},
    {0x00A6, 0x00A6, 0x7C, kNone, "best fit: broken bar to '|'"},
    {0x00A9, 0x00AB, kAny, kNone, "best fit: copyright sign, ordinal, guillemet"},
    {0x00AD, 0x00AF, kAny, kNone, "best fit: soft hyphen, registered sign, macron"},
    {0x00B2, 0x00B3, kAny, kNone, "best fit: superscript digits"},
    {0x00B5, 0x00B5, 0x83CA, kNone, "best fit: micro sign to Greek mu"},
    {0x00B7, 0x00BB, kAny, kNone,
     "best fit: middle dot, cedilla, superscript one, ordinal, "
     "guillemet"},
    {0x00C0, 0x00D6, kAny, kNone, "best fit: Latin-1 capitals to ASCII"},
    {0x00D8, 0x00F6, kAny, kNone, "best fit: Latin-1 letters to ASCII"},
    {0x00F8, 0x00FF, kAny, kNone, "best fit: Latin-1 small letters to ASCII"},
    {0x2014, 0x2014, kNone, 0x815C, "em dash: the table's 0x815C is U+2015, kept one-to-one"},
    {0x2016, 0x2016, kNone, 0x8161,
     "double vertical line: 0x8161 is U+2225; the JIS reading is not taken"},
    {0x203E, 0x203E, kNone, 0x7E, "overline: type 22 keeps 0x7E as ASCII tilde"},
    {0x2212, 0x2212, kNone, 0x817C, "minus sign: 0x817C is U+FF0D; the JIS reading is not taken"},
    {0x301C, 0x301C, kNone, 0x8160, "wave dash: 0x8160 is U+FF5E; the JIS reading is not taken"},
    {0x3094, 0x3094, 0x8394, kNone, "best fit: hiragana vu to katakana vu"},
    {0xE000, 0xE757, kNone, kAny,
     "private use area: only U+E63E-U+E757 of the mapped "
     "user-defined codes convert"},
};

// The difference that covers `value` and explains the pair, if any.
const Difference *explained(const Difference *list, size_t n, unsigned value, int ours,
                            int theirs) {
    for (size_t i = 0; i < n; i++) {
        const Difference &d = list[i];
        if (value < d.first || value > d.last) continue;
        bool oursOk = d.ours == kAny ? ours != kNone : ours == d.ours;
        bool theirsOk = d.theirs == kAny ? theirs != kNone : theirs == d.theirs;
        if (oursOk && theirsOk) return &d;
    }
    return nullptr;
}

TEST(Cp932VersusIconv, OracleIsAvailable) {
    Oracle oracle;
    ASSERT_NE(oracle.decoder, reinterpret_cast<iconv_t>(-1)) << "iconv has no CP932";
    ASSERT_NE(oracle.encoder, reinterpret_cast<iconv_t>(-1)) << "iconv has no CP932";
    const uint8_t a[] = {0x82, 0xA0};
    ASSERT_EQ(oracle.run(oracle.decoder, a, 2), 0x3042);
    const uint8_t wave[] = {0x81, 0x60};
    ASSERT_EQ(oracle.run(oracle.decoder, wave, 2), 0xFF5E)
        << "this iconv decodes 0x8160 as the wave dash: it is not the CP932 of the tables";
}

TEST(Cp932VersusIconv, EveryCodeToUnicode) {
    Oracle oracle;
    unsigned agreed = 0, differed = 0, mismatches = 0;
    std::vector<unsigned> codes;
    for (unsigned b = 0x01; b <= 0xFF; b++)
        codes.push_back(b);
    for (unsigned lead = 0x81; lead <= 0xFC; lead++) {
        if (lead >= 0xA0 && lead <= 0xDF) continue;  // single bytes
        for (unsigned trail = 0x40; trail <= 0xFF; trail++)
            codes.push_back(lead << 8 | trail);
    }
    for (unsigned code : codes) {
        uint8_t in[2] = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)};
        const uint8_t *start = code < 0x100 ? in + 1 : in;
        size_t len = code < 0x100 ? 1 : 2;
        int ours = oursToUnicode(start, len), theirs = oracle.run(oracle.decoder, start, len);
        if (ours == theirs) {
            agreed++;
        } else if (!isMappedUserDefined(code) &&
                   explained(kDecodeDifferences, std::size(kDecodeDifferences), code, ours,
                             theirs)) {
            differed++;
        } else if (++mismatches <= 20) {
            ADD_FAILURE() << std::hex << "0x" << code << ": ours " << ours << ", iconv " << theirs;
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(differed, 1880u - 252u) << "user-defined codes left unmapped";
    EXPECT_GT(agreed, 7976u);
}

// Every code unit but U+0000, which ends the text and is no character. Lone
// surrogates are errors for iconv and substitutions for us: both "none".
TEST(Cp932VersusIconv, EveryCodeUnitToCp932) {
    Oracle oracle;
    unsigned mismatches = 0;
    std::vector<unsigned> used(std::size(kEncodeDifferences), 0);
    for (unsigned unit = 0x0001; unit <= 0xFFFF; unit++) {
        uint8_t in[2] = {static_cast<uint8_t>(unit >> 8), static_cast<uint8_t>(unit)};
        int ours = oursToLocal(unit), theirs = oracle.run(oracle.encoder, in, 2);
        if (ours == theirs) continue;
        const Difference *d =
            explained(kEncodeDifferences, std::size(kEncodeDifferences), unit, ours, theirs);
        if (d != nullptr) {
            used[static_cast<size_t>(d - kEncodeDifferences)]++;
        } else if (++mismatches <= 20) {
            ADD_FAILURE() << std::hex << "U+" << unit << ": ours " << ours << ", iconv " << theirs;
        }
    }
    EXPECT_EQ(mismatches, 0u);
    for (size_t i = 0; i < used.size(); i++)
        EXPECT_GT(used[i], 0u) << "difference never seen: " << kEncodeDifferences[i].why;
}

}  // namespace
