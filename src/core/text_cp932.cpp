// text_cp932.cpp - CP932 characters and the converter's calls on them.
#include "text_cp932.h"

#include <cstring>

#include "CP932.h"
#include "qz_cc_api.h"

size_t cp932CharLength(const char *s, size_t len) {
    bool pair = !isCp932Single(static_cast<unsigned char>(s[0])) && len > 1 && s[1] != '\0';
    return pair ? 2 : 1;
}

size_t cp932Characters(const char *s, size_t len) {
    size_t count = 0;
    for (size_t i = 0; i < len; count++)
        i += cp932CharLength(s + i, len - i);
    return count;
}

namespace {

// The most output the `len` bytes of a text can take, terminator included.
size_t mostOutput(size_t len, uint16_t form, uint16_t direction) {
    if (direction == QZ_CC_TO_LOCAL) return len + 1;
    return form == QZ_CC_UTF8 ? 3 * len + 1 : 2 * len + 2;
}

}  // namespace

int32_t convertCp932(char *out, size_t cap, const char *in, size_t inLen, uint16_t form,
                     uint16_t direction) {
    auto *o = reinterpret_cast<uint8_t *>(out);
    const auto *i = reinterpret_cast<const uint8_t *>(in);
    size_t room = mostOutput(inLen, form, direction);
    int32_t result = QZ_CC_OUTPUT_FULL;
    if (room < cap)
        result = qz_code_convert(o, i, static_cast<uint32_t>(room), convert_tbl, form, direction);
    if (result == QZ_CC_OUTPUT_FULL)
        result = qz_code_convert(o, i, static_cast<uint32_t>(cap), convert_tbl, form, direction);
    return result;
}

int32_t cp932ToUtf8(char *out, size_t cap, const char *cp932) {
    return convertCp932(out, cap, cp932, std::strlen(cp932), QZ_CC_UTF8, QZ_CC_TO_UNICODE);
}

int32_t utf8ToCp932(char *out, size_t cap, const char *utf8) {
    return convertCp932(out, cap, utf8, std::strlen(utf8), QZ_CC_UTF8, QZ_CC_TO_LOCAL);
}
