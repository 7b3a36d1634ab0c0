// main.cpp - command line: "-o", "-f DIR LIST.csv", then the emoji list.
#include <cstring>

#include "csv_reader.h"
#include "job_context.h"
#include "report.h"
#include "template_list.h"

int main(int argc, char **argv) {
    int i = 1;
    while (i < argc) {
        if (std::strcmp(argv[i], "-o") == 0) {
            doOverWritefile = 1;
            i += 1;
        } else if (std::strcmp(argv[i], "-f") == 0) {
            // Scans of earlier "-f" options have run already; their lists stay.
            if (i + 2 >= argc) {
                reportUsage("no file for -f");
                return -1;
            }
            doGenFile = 1;
            startSearchGif(argv[i + 1], argv[i + 2]);
            i += 3;
        } else {
            break;  // the first non-option names the emoji list
        }
    }
    if (doGenFile) return 0;
    if (i == argc) {
        reportUsage("no file");
        return -1;
    }
    // Words after the list's name are never examined. A list that could not
    // be read to its end is a failed run.
    return openCsvFile(argv[i]) == LIST_READ_ERROR ? 1 : 0;
}
