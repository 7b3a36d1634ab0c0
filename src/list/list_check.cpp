// list_check.cpp - emojitag-list --check: reads a list line by line with
// emojitag's own reader and prints what emojitag would store otherwise than
// the line says.
#include "companion_report.h"
#include "input_file.h"
#include "line_findings.h"
#include "list_modes.h"
#include "list_reader.h"
#include "platform_file.h"

int checkListFile(const char *path) {
    if (!isCsvListName(path)) {
        reportFile(path, "emojitag reads only a list whose name ends in .csv");
        return EXIT_PROBLEM;
    }
    FILE *in = openInput(path);
    if (in == nullptr) {
        reportFile(path, "cannot open");
        return EXIT_PROBLEM;
    }
    static ListSpace space;
    ListReader reader;
    startListRead(&reader, in, listBuffersOf(&space));
    int found = 0;
    while (readListLine(&reader) > 0) {
        const ListLine &line = reader.line;
        if (line.type != PICTURE_NONE) convertListText(&reader);
        LineFindings findings;
        findLineFindings(line, reader.lineNo, true, &findings);
        printFindings(stdout, reader.lineNo, line, findings);
        found += findings.count;
    }
    bool readOk = !std::ferror(in);
    if (!readOk) reportReadError(path);
    std::fclose(in);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        reportFile("standard output", "cannot write");
        return EXIT_PROBLEM;
    }
    return readOk && found == 0 ? EXIT_OK : EXIT_PROBLEM;
}
