// Stand-in for the converter until the table-driven implementation lands:
// clears the output, passes bytes 0x01-0x7F through as UTF-16BE units and
// substitutes '?' for everything else. Only the form the tool uses (local to
// UTF-16BE) is served; other arguments are rejected.
#include "qz_cc_api.h"

#include <cstring>

extern "C" int32_t qz_code_convert(uint8_t *output, const uint8_t *input, uint32_t output_size,
                                   const uint8_t *table, uint16_t unicode_form,
                                   uint16_t direction) {
    if (output != nullptr) std::memset(output, 0, output_size);
    if (output == nullptr || input == nullptr || output_size == 0 || table == nullptr ||
        unicode_form != 0 || direction != 0)
        return -3;
    int32_t result = 0;
    uint32_t o = 0;
    for (uint32_t i = 0; input[i] != 0; i++) {
        if (o + 4 > output_size) return -2;
        uint8_t c = input[i] < 0x80 ? input[i] : 0x3F;
        if (input[i] >= 0x80) result = -1;
        output[o++] = 0;
        output[o++] = c;
    }
    return result < 0 ? result : static_cast<int32_t>(o);
}
