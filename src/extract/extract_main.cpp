// extract_main.cpp - command line of emojitag-extract: list the emoji texts
// of images (to standard output or to a list file), or check a list.
#include <cstdio>
#include <cstring>

#include "companion_report.h"
#include "extract.h"
#include "shown_name.h"
#include "template_source.h"

namespace {

const char USAGE[] =
    "usage: emojitag-extract [--raw-names] [-o LIST.csv] PATH...\n"
    "       emojitag-extract --check LIST.csv|SET.csv [--from cp932|utf-8]\n"
    "                        [--out [--remove-checked]]\n"
    "       emojitag-extract --html SHEET.html PATH... | --check LIST.csv [--out]\n"
    "       emojitag-extract --table [--cp932] [-o SET.csv] PATH...\n"
    "       emojitag-extract --help | --version\n";

const char HELP[] =
    "Writes an emoji-list line (PATH,\"TEXT\" in CP932) for the emoji comment of\n"
    "every %s file named, or found in a named directory tree.\n"
    "\n"
    "  -o LIST.csv      write the list to LIST.csv instead of standard output\n"
    "  --raw-names      write the paths as the file system has them, not in CP932\n"
    "  --check LIST.csv compare each image named in the list with its text\n"
    "                   (or in the table, as emojitag-list would import it)\n"
    "  --from ENCODING  with --check, read the table as cp932 or utf-8, not as\n"
    "                   its bytes tell\n"
    "  --out            with --check, look at each image's NAME-out.EXT\n"
    "  --remove-checked with --check --out, remove each NAME-out.EXT found to\n"
    "                   carry its line's text\n"
    "  --html SHEET.html\n"
    "                   write a page of the pictures and their texts instead\n"
    "  --table          write a table for a spreadsheet instead: a row per picture,\n"
    "                   a column per field (UTF-8 with a byte-order mark)\n"
    "  --cp932          with --table, write the table in CP932\n"
    "  --help           show this help\n"
    "  --version        show the version\n";

struct Options {
    const char *checkList = nullptr;  // --check LIST.csv
    const char *outList = nullptr;    // -o LIST.csv
    const char *sheet = nullptr;      // --html SHEET.html
    bool table = false;               // --table
    bool tableCp932 = false;          // --cp932
    bool outFiles = false;            // --out
    bool removeChecked = false;       // --remove-checked
    int from = FROM_BYTES;            // --from
    bool fromGiven = false;
    bool cp932Names = true;   // false with --raw-names
    bool namesGiven = false;  // --raw-names or --cp932-names
    int pathCount = 0;        // PATHs, gathered at the front of argv
};

// Whether the sheet's name ends in ".html" (in any case).
bool endsInHtml(const char *name) {
    const char sfx[] = ".html";
    size_t len = std::strlen(name), n = sizeof sfx - 1;
    if (len <= n) return false;
    for (size_t i = 0; i < n; i++) {
        char c = name[len - n + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != sfx[i]) return false;
    }
    return true;
}

int usageError(const char *what, const char *arg) {
    std::fprintf(stderr, "emojitag-extract: %s", what);
    putShownName(stderr, arg);
    std::fprintf(stderr, "\n%s", USAGE);
    return EXIT_USAGE;
}

// --raw-names, or --cp932-names: the default, kept for old scripts.
int takeNames(void *user, const char *name, const char *) {
    Options &opt = *static_cast<Options *>(user);
    opt.cp932Names = name[2] == 'c';
    opt.namesGiven = true;
    return -1;
}

// --from ENCODING.
int takeFrom(void *user, const char *, const char *v) {
    Options &opt = *static_cast<Options *>(user);
    opt.from = encodingNamed(v);
    if (opt.from < 0) return usageError("--from takes cp932 or utf-8, not ", v);
    opt.fromGiven = true;
    return -1;
}

void printHelp() {
    char names[64];
    std::printf(HELP, listImageFormatNames(names, sizeof names, " and "));
}

// Reads the options; the PATHs are moved to argv[0..pathCount). Returns -1
// when the command line is complete, else the exit status to end with.
int parseOptions(int argc, char **argv, Options &opt) {
    const CliOption options[] = {
        {"--raw-names", false, nullptr, nullptr, takeNames},
        {"--cp932-names", false, nullptr, nullptr, takeNames},
        {"--out", false, nullptr, &opt.outFiles, nullptr},
        {"--remove-checked", false, nullptr, &opt.removeChecked, nullptr},
        {"-o", true, &opt.outList, nullptr, nullptr},
        {"--check", true, &opt.checkList, nullptr, nullptr},
        {"--from", true, nullptr, nullptr, takeFrom},
        {"--html", true, &opt.sheet, nullptr, nullptr},
        {"--table", false, nullptr, &opt.table, nullptr},
        {"--cp932", false, nullptr, &opt.tableCp932, nullptr},
    };
    CompanionCli cli{
        options,   sizeof options / sizeof options[0],   &opt,       USAGE,
        printHelp, "emojitag-extract " EMOJITAG_VERSION, usageError, " needs a file name"};
    int status = readCompanionOptions(cli, argc, argv, &opt.pathCount);
    if (status >= 0) return status;
    if (opt.table && (opt.checkList || opt.sheet || opt.namesGiven))
        return usageError("--table takes no --check, --html, --raw-names or --cp932-names", "");
    if (opt.tableCp932 && !opt.table) return usageError("--cp932 needs --table", "");
    if (opt.sheet != nullptr && (!endsInHtml(opt.sheet) || opt.outList || opt.namesGiven))
        return usageError("--html needs a name ending in .html, and no -o or --raw-names", "");
    if (opt.removeChecked && (opt.checkList == nullptr || !opt.outFiles || opt.sheet != nullptr))
        return usageError("--remove-checked needs --check LIST.csv --out, and no --html", "");
    if (opt.fromGiven && opt.checkList == nullptr) return usageError("--from needs --check", "");
    if (opt.checkList != nullptr) {
        if (opt.pathCount > 0 || opt.outList != nullptr || opt.namesGiven)
            return usageError("--check takes no PATH, -o or --raw-names", "");
    } else if (opt.outFiles) {
        return usageError("--out needs --check", "");
    } else if (opt.pathCount == 0) {
        return usageError("no PATH given", "");
    }
    const char *listProblem = opt.outList ? listNameProblem(opt.outList) : nullptr;
    return listProblem ? usageError(listProblem, opt.outList) : -1;
}

// The run's output: the contact sheet, the table, or list lines (a check's
// findings).
bool beginOutput(ExtractOutput &out, ExtractRun &run, char *const *paths, const Options &opt) {
    if (opt.table) return beginTableOutput(out, run, opt.outList, opt.tableCp932);
    if (opt.sheet != nullptr)
        return beginSheetOutput(out, run, opt.sheet, paths, opt.pathCount, opt.checkList,
                                opt.outFiles);
    return beginLineOutput(out, run, opt.outList, opt.cp932Names, opt.checkList != nullptr);
}

}  // namespace

int main(int argc, char **argv) {
    setCompanionName("emojitag-extract");
    Options opt;
    int status = parseOptions(argc, argv, opt);
    if (status >= 0) return status;
    static ExtractRun run;  // one per process; its text buffer is large
    ExtractOutput out;
    if (!beginOutput(out, run, argv, opt)) return EXIT_PROBLEM;
    if (opt.fromGiven && opt.checkList == nullptr) return usageError("--from needs --check", "");
    if (opt.checkList != nullptr) {
        status = checkList(run, opt.checkList, opt.from, opt.outFiles, opt.removeChecked, out);
    } else {
        for (int i = 0; i < opt.pathCount; i++)
            listPath(run, out, argv[i]);
        status = run.problems == 0 ? EXIT_OK : EXIT_PROBLEM;
    }
    return out.finish(out.user, status);
}
