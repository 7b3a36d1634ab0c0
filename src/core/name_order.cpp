// name_order.cpp - names compared by the characters of their UTF-8 keys, the
// runs of digits by their numbers.
#include "name_order.h"

#include <cstdint>
#include <cstring>

#include "text_cp932.h"

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

size_t runOf(const char *s, char c) {
    size_t n = 0;
    while (s[n] == c)
        n++;
    return n;
}

size_t digitsOf(const char *s) {
    size_t n = 0;
    while (isDigit(s[n]))
        n++;
    return n;
}

// The keys a and b by their characters and numbers: <0, 0 or >0. Where they
// are equal so, *zeros is the sign of the first difference in leading zeros
// (fewer first), or 0.
int compareKeys(const char *a, const char *b, int *zeros) {
    *zeros = 0;
    while (*a != '\0' && *b != '\0') {
        if (!isDigit(*a) || !isDigit(*b)) {
            // A digit against anything else, too: the byte values, so that a
            // number stands where its first digit would.
            if (*a != *b)
                return static_cast<unsigned char>(*a) < static_cast<unsigned char>(*b) ? -1 : 1;
            a++;
            b++;
            continue;
        }
        size_t zerosA = runOf(a, '0'), zerosB = runOf(b, '0');
        size_t lenA = digitsOf(a + zerosA), lenB = digitsOf(b + zerosB);
        // Without its leading zeros, the longer number is the greater.
        if (lenA != lenB) return lenA < lenB ? -1 : 1;
        int digits = std::memcmp(a + zerosA, b + zerosB, lenA);
        if (digits != 0) return digits;
        if (*zeros == 0 && zerosA != zerosB) *zeros = zerosA < zerosB ? -1 : 1;
        a += zerosA + lenA;
        b += zerosB + lenB;
    }
    // A key that ends first comes first.
    if (*a != *b) return *a == '\0' ? -1 : 1;
    return 0;
}

}  // namespace

size_t cp932NameKey(const char *name, char *key, size_t cap) {
    if (cap == 0) return 0;
    key[0] = '\0';  // what stays of a conversion the converter refuses
    cp932ToUtf8(key, cap, name);
    return std::strlen(key);
}

int compareNames(const char *nameA, const char *keyA, const char *nameB, const char *keyB) {
    int zeros;
    int order = compareKeys(keyA, keyB, &zeros);
    if (order != 0) return order;
    if (zeros != 0) return zeros;
    return std::strcmp(nameA, nameB);
}
