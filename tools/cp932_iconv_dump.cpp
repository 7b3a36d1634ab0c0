// cp932_iconv_dump - writes the CP932 to Unicode mapping as decoded by the C
// library's iconv, one code a line ("0xCODE<TAB>0xUNICODE"), to standard
// output. Its output is the committed tools/data/CP932.TXT, the input of the
// CP932 table generator; it is rerun only to refresh that file.
//
// Covered: every single byte and every double-byte code with lead byte
// 0x81-0x9F or 0xE0-0xFC and trail byte 0x40-0xFC that decodes to exactly one
// UTF-16 unit. The user-defined area (lead bytes 0xF0-0xF9) is left out, as
// in the published mapping; the generator maps part of it by its own rule.
#include <iconv.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr unsigned kUdaFirstLead = 0xF0;  // user-defined area, lead bytes
constexpr unsigned kUdaLastLead = 0xF9;
constexpr unsigned kTrailFirst = 0x40;
constexpr unsigned kTrailLast = 0xFC;

bool isLead(unsigned b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Decodes `len` bytes; true when they give exactly one UTF-16 unit.
bool decode(iconv_t cd, const unsigned char *bytes, size_t len, unsigned &unit) {
    char in[2];
    char out[8];
    std::memcpy(in, bytes, len);
    char *ip = in, *op = out;
    size_t inLeft = len, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &inLeft, &op, &outLeft) == static_cast<size_t>(-1)) return false;
    if (inLeft != 0 || op - out != 2) return false;
    unit = static_cast<unsigned>(static_cast<unsigned char>(out[0]) << 8 |
                                 static_cast<unsigned char>(out[1]));
    return true;
}

}  // namespace

int main() {
    iconv_t cd = iconv_open("UTF-16BE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "Error: iconv has no CP932 converter\n");
        return 1;
    }
    std::printf("# CP932 (Windows code page 932) to Unicode: \"0xCODE<TAB>0xUNICODE\".\n");
    std::printf("# Produced by tools/cp932_iconv_dump from the C library's iconv decoder\n");
    std::printf("# (CP932 to UTF-16BE). Holds the single bytes and the double-byte codes\n");
    std::printf("# with lead bytes 0x81-0x9F and 0xE0-0xFC; the user-defined area\n");
    std::printf("# (lead bytes 0xF0-0xF9) is not part of the published mapping.\n");
    std::printf("# Do not edit: rerun the dump instead.\n");
    for (unsigned b = 0; b < 0x100; b++) {
        if (isLead(b)) continue;
        unsigned char byte = static_cast<unsigned char>(b);
        unsigned unit = 0;
        if (decode(cd, &byte, 1, unit)) std::printf("0x%02X\t0x%04X\n", b, unit);
    }
    for (unsigned lead = 0x81; lead <= 0xFC; lead++) {
        if (!isLead(lead) || (lead >= kUdaFirstLead && lead <= kUdaLastLead)) continue;
        for (unsigned trail = kTrailFirst; trail <= kTrailLast; trail++) {
            unsigned char code[2] = {static_cast<unsigned char>(lead),
                                     static_cast<unsigned char>(trail)};
            unsigned unit = 0;
            if (decode(cd, code, 2, unit)) std::printf("0x%02X%02X\t0x%04X\n", lead, trail, unit);
        }
    }
    iconv_close(cd);
    return 0;
}
