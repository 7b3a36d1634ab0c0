// qz_code_convert with `convert_tbl` over whole sets: every code of the
// round-trip set (and every single byte) converts to Unicode and back to
// itself in UTF-16BE and in UTF-8; every fbu code converts to a Unicode value
// that converts back to another code; every fub pair gives its code. The sets
// are taken from the table's own sections.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "CP932.h"
#include "qz_cc_api.h"
#include "table_reader_test_util.h"

namespace {

using tablereader::u16;
using tablereader::u32;

// Local text (1 or 2 bytes) through Unicode form `form` and back; the bytes
// that come back, or a note on what went wrong.
std::string roundTrip(unsigned code, uint16_t form) {
    uint8_t local[3] = {0, 0, 0};
    if (code < 0x100) {
        local[0] = static_cast<uint8_t>(code);
    } else {
        local[0] = static_cast<uint8_t>(code >> 8);
        local[1] = static_cast<uint8_t>(code);
    }
    uint8_t unicode[16], back[16];
    int32_t n =
        qz_code_convert(unicode, local, sizeof unicode, convert_tbl, form, QZ_CC_TO_UNICODE);
    if (n <= 0) return "to Unicode: " + std::to_string(n);
    int32_t m = qz_code_convert(back, unicode, sizeof back, convert_tbl, form, QZ_CC_TO_LOCAL);
    if (m <= 0) return "back: " + std::to_string(m);
    return std::string(reinterpret_cast<char *>(back), static_cast<size_t>(m));
}

std::string localBytes(unsigned code) {
    std::string s;
    if (code >= 0x100) s += static_cast<char>(code >> 8);
    s += static_cast<char>(code & 0xFF);
    return s;
}

// The double-byte codes of the main local-to-Unicode sections.
std::vector<unsigned> roundTripCodes() {
    std::vector<unsigned> codes;
    for (unsigned code = 0x8140; code <= 0xFCFF; code++)
        if (tablereader::lookupLevels(convert_tbl, u32(convert_tbl, 2), u32(convert_tbl, 6), 0x80,
                                      0x40, code >> 8, code & 0xFF) != tablereader::kNotFound)
            codes.push_back(code);
    return codes;
}

TEST(Cp932RoundTrip, EveryRoundTripCodeInBothUnicodeForms) {
    std::vector<unsigned> codes = roundTripCodes();
    ASSERT_EQ(codes.size(), 7578u);
    for (unsigned b = 0x01; b <= 0x7F; b++)
        codes.push_back(b);  // ASCII
    for (unsigned b = 0xA1; b <= 0xDF; b++)
        codes.push_back(b);  // half-width katakana
    for (uint16_t form : {QZ_CC_UTF16BE, QZ_CC_UTF8}) {
        unsigned failures = 0;
        for (unsigned code : codes) {
            std::string back = roundTrip(code, form);
            if (back != localBytes(code) && ++failures <= 10)
                ADD_FAILURE() << "form " << form << std::hex << " 0x" << code << ": " << back;
        }
        EXPECT_EQ(failures, 0u) << "form " << form;
    }
}

TEST(Cp932RoundTrip, FbuCodesComeBackAsOtherCodes) {
    size_t pos = u32(convert_tbl, 22);
    unsigned count = u16(convert_tbl, pos - 1);
    ASSERT_EQ(count, 398u);
    for (unsigned i = 0; i < count; i++) {
        unsigned code = u16(convert_tbl, pos + 1 + 4 * i);
        std::string back = roundTrip(code, QZ_CC_UTF16BE);
        EXPECT_EQ(back.size(), 2u) << std::hex << code << ": " << back;
        EXPECT_NE(back, localBytes(code)) << std::hex << code;
    }
}

TEST(Cp932RoundTrip, FubPairsGiveTheirCodes) {
    size_t pos = u32(convert_tbl, 18);
    unsigned count = u16(convert_tbl, pos - 1);
    ASSERT_EQ(count, 83u);
    for (unsigned i = 0; i < count; i++) {
        unsigned unit = u16(convert_tbl, pos + 1 + 4 * i), code = u16(convert_tbl, pos + 3 + 4 * i);
        uint8_t in[4] = {static_cast<uint8_t>(unit >> 8), static_cast<uint8_t>(unit), 0, 0};
        uint8_t out[8];
        int32_t n =
            qz_code_convert(out, in, sizeof out, convert_tbl, QZ_CC_UTF16BE, QZ_CC_TO_LOCAL);
        ASSERT_GT(n, 0) << std::hex << unit;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(out), static_cast<size_t>(n)),
                  localBytes(code))
            << std::hex << unit;
    }
}

}  // namespace
