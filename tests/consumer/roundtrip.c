/*
 * roundtrip.c - converts CP932 text to UTF-16BE and back through the
 * installed converter, from C: the public headers must compile as C and the
 * library must link with C linkage. Exits 0 when every case converts both
 * ways as expected, 1 otherwise.
 */
#include <stdio.h>
#include <string.h>

#include <CP932.h>
#include <qz_cc_api.h>

struct Case {
    const char *why;
    const char *cp932; /* zero-terminated CP932 text */
    const char *utf16; /* its UTF-16BE form, utf16Len bytes */
    int utf16Len;
};

static const struct Case cases[] = {
    {"one double-byte character (hiragana a)", "\x82\xA0", "\x30\x42", 2},
    {"ASCII and a kanji: single bytes pass through", "A\x88\x9F", "\x00\x41\x4E\x9C", 4},
};

static void dump(const char *label, const uint8_t *bytes, int n) {
    int i;
    fprintf(stderr, "  %s:", label);
    for (i = 0; i < n; i++)
        fprintf(stderr, " %02X", bytes[i]);
    fprintf(stderr, "\n");
}

/* Converts one case both ways; returns the number of failed directions. */
static int checkCase(const struct Case *c) {
    uint8_t utf16[64];
    uint8_t local[64];
    uint8_t unicodeIn[64] = {0}; /* the UTF-16BE form ended by a 0x0000 unit */
    int localLen = (int)strlen(c->cp932);
    int failed = 0;
    int32_t n;

    n = qz_code_convert(utf16, (const uint8_t *)c->cp932, sizeof utf16, convert_tbl, QZ_CC_UTF16BE,
                        QZ_CC_TO_UNICODE);
    if (n != c->utf16Len || memcmp(utf16, c->utf16, (size_t)c->utf16Len) != 0 ||
        utf16[c->utf16Len] != 0 || utf16[c->utf16Len + 1] != 0) {
        fprintf(stderr, "FAIL %s: CP932 to UTF-16BE gave result %d\n", c->why, (int)n);
        dump("got", utf16, c->utf16Len + 2);
        dump("want", (const uint8_t *)c->utf16, c->utf16Len);
        failed++;
    }

    memcpy(unicodeIn, c->utf16, (size_t)c->utf16Len);
    n = qz_code_convert(local, unicodeIn, sizeof local, convert_tbl, QZ_CC_UTF16BE, QZ_CC_TO_LOCAL);
    if (n != localLen || memcmp(local, c->cp932, (size_t)localLen + 1) != 0) {
        fprintf(stderr, "FAIL %s: UTF-16BE to CP932 gave result %d\n", c->why, (int)n);
        dump("got", local, localLen + 1);
        dump("want", (const uint8_t *)c->cp932, localLen);
        failed++;
    }
    return failed;
}

int main(void) {
    size_t i;
    int failed = 0;
    for (i = 0; i < sizeof cases / sizeof cases[0]; i++)
        failed += checkCase(&cases[i]);
    printf("roundtrip (C): %s\n", failed == 0 ? "ok" : "FAILED");
    return failed == 0 ? 0 : 1;
}
