// Stand-in for the template walk until it lands: checks the list's name and
// creates it empty; no directory is walked.
#include <cstdio>
#include <cstring>

#include "driver.h"

int searchGif(const char *, FILE *) {
    return 0;
}

int startSearchGif(const char *dir, const char *listPath) {
    const char *dot = std::strrchr(listPath, '.');
    if (dot == nullptr || std::strcmp(dot, ".csv") != 0) {
        std::fprintf(stderr, "Error: %s: not csv file\n", listPath);
        return -1;
    }
    FILE *list = std::fopen(listPath, "w");
    if (list == nullptr) {
        std::fprintf(stderr, "Error: %s: cannot write open\n", listPath);
        return -1;
    }
    int result = searchGif(dir, list);
    std::fclose(list);
    return result;
}
