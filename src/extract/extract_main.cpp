// extract_main.cpp - command line of emojitag-extract: list the emoji texts
// of images (to standard output or to a list file), or check a list.
#include <cstdio>
#include <cstring>

#include "extract.h"
#include "shown_name.h"

namespace {

const char USAGE[] =
    "usage: emojitag-extract [--raw-names] [-o LIST.csv] PATH...\n"
    "       emojitag-extract --check LIST.csv [--out]\n"
    "       emojitag-extract --html SHEET.html PATH... | --check LIST.csv [--out]\n"
    "       emojitag-extract --help | --version\n";

const char HELP[] =
    "Writes an emoji-list line (PATH,\"TEXT\" in CP932) for the emoji comment of\n"
    "every %s file named, or found in a named directory tree.\n"
    "\n"
    "  -o LIST.csv      write the list to LIST.csv instead of standard output\n"
    "  --raw-names      write the paths as the file system has them, not in CP932\n"
    "  --check LIST.csv compare each image named in the list with its text\n"
    "  --out            with --check, look at each image's NAME-out.EXT\n"
    "  --html SHEET.html\n"
    "                   write a page of the pictures and their texts instead\n"
    "  --help           show this help\n"
    "  --version        show the version\n";

// Output buffer: lines leave the process in large blocks.
constexpr size_t OUT_BUF_SIZE = 64 * 1024;
char outBuf[OUT_BUF_SIZE];

struct Options {
    const char *checkList = nullptr;  // --check LIST.csv
    const char *outList = nullptr;    // -o LIST.csv
    const char *sheet = nullptr;      // --html SHEET.html
    bool outFiles = false;            // --out
    bool cp932Names = true;           // false with --raw-names
    bool namesGiven = false;          // --raw-names or --cp932-names
    int pathCount = 0;                // PATHs, gathered at the front of argv
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

// Reads the options; the PATHs are moved to argv[0..pathCount). Returns -1
// when the command line is complete, else the exit status to end with.
int parseOptions(int argc, char **argv, Options &opt) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (optionsEnded || a[0] != '-' || a[1] == '\0') {
            argv[opt.pathCount++] = argv[i];
        } else if (std::strcmp(a, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(a, "--help") == 0) {
            std::fputs(USAGE, stdout);
            char names[64];
            std::printf(HELP, listImageFormatNames(names, sizeof names, " and "));
            return EXIT_OK;
        } else if (std::strcmp(a, "--version") == 0) {
            std::puts("emojitag-extract " EMOJITAG_VERSION);
            return EXIT_OK;
        } else if (std::strcmp(a, "--raw-names") == 0 || std::strcmp(a, "--cp932-names") == 0) {
            opt.cp932Names = a[2] == 'c';  // --cp932-names: the default, kept for old scripts
            opt.namesGiven = true;
        } else if (std::strcmp(a, "--out") == 0) {
            opt.outFiles = true;
        } else if (std::strcmp(a, "-o") == 0 || std::strcmp(a, "--check") == 0 ||
                   std::strcmp(a, "--html") == 0) {
            if (i + 1 == argc) return usageError(a, " needs a file name");
            (a[1] == 'o' ? opt.outList : a[2] == 'c' ? opt.checkList : opt.sheet) = argv[++i];
        } else {
            return usageError("unknown option ", a);
        }
    }
    if (opt.sheet != nullptr && (!endsInHtml(opt.sheet) || opt.outList || opt.namesGiven))
        return usageError("--html needs a name ending in .html, and no -o or --raw-names", "");
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

void listAll(ExtractRun &run, char **paths, const Options &opt) {
    FILE *out = opt.outList != nullptr ? beginListFile(run, opt.outList) : stdout;
    if (out == nullptr) return;  // reported; nothing is walked
    std::setvbuf(out, outBuf, _IOFBF, sizeof outBuf);
    for (int i = 0; i < opt.pathCount; i++)
        listPath(ListTarget{&run, out, opt.cp932Names, nullptr}, paths[i]);
    if (opt.outList != nullptr) return finishListFile(run, opt.outList);
    if (std::fflush(out) != 0 || std::ferror(out)) report(run, "standard output", "cannot write");
}

}  // namespace

int main(int argc, char **argv) {
    Options opt;
    int status = parseOptions(argc, argv, opt);
    if (status >= 0) return status;
    static ExtractRun run;  // one per process; its text buffer is large
    if (opt.sheet != nullptr)
        return writeSheet(run, opt.sheet, argv, opt.pathCount, opt.checkList, opt.outFiles);
    if (opt.checkList != nullptr) {
        status = checkList(run, opt.checkList, opt.outFiles, nullptr);
        if (status < 0 || std::fflush(stdout) != 0) status = EXIT_PROBLEM;
        return status;
    }
    listAll(run, argv, opt);
    return run.problems == 0 ? EXIT_OK : EXIT_PROBLEM;
}
