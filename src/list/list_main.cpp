// list_main.cpp - command line of emojitag-list: a filled-in template or a
// table to the emoji list, a list back to a template, or the check of a list.
#include <cstdio>
#include <cstring>

#include "companion_cli.h"
#include "companion_report.h"
#include "list_modes.h"
#include "list_reader.h"
#include "platform_file.h"
#include "show_text.h"
#include "template_source.h"

#ifndef EMOJITAG_VERSION
#define EMOJITAG_VERSION "unknown"
#endif

namespace {

const char USAGE[] =
    "usage: emojitag-list [--from cp932|utf-8] [-o LIST.csv] TEMPLATE.csv|SET.csv\n"
    "       emojitag-list --template [--utf-8] [-o TEMPLATE.csv] LIST.csv|-\n"
    "       emojitag-list --check LIST.csv\n"
    "       emojitag-list --help | --version\n";

const char HELP[] =
    "Turns a filled-in template (from emojitag -f), or a table of one row per\n"
    "picture under a header row that begins with \"file\" (from emojitag-extract\n"
    "--table), saved by a spreadsheet or an editor in UTF-8 or CP932, into an\n"
    "emoji list in CP932, one line per picture; turns a list back into a\n"
    "template; checks a list.\n"
    "\n"
    "  -o FILE.csv       write FILE.csv instead of standard output\n"
    "  --from ENCODING   read the template as cp932 or utf-8, not as its bytes tell\n"
    "  --template        write the filled-in template of a list (- reads standard input)\n"
    "  --utf-8           with --template, write the template in UTF-8, not CP932\n"
    "  --check           print each line that emojitag would store otherwise than it says\n"
    "  --help            show this help\n"
    "  --version         show the version\n";

struct Options {
    const char *input = nullptr;  // the one file named
    int inputs = 0;
    const char *out = nullptr;  // -o FILE.csv
    int from = FROM_BYTES;      // --from
    bool fromGiven = false;
    bool toTemplate = false;  // --template
    bool utf8 = false;        // --utf-8
    bool check = false;       // --check
};

int usageError(const char *what, const char *arg) {
    // Either may be an argument as typed: shown with its control bytes as '?'.
    Shown shownWhat;
    Shown shownArg;
    std::fprintf(stderr, "emojitag-list: %s%s\n%s", showBytes(&shownWhat, what, std::strlen(what)),
                 showBytes(&shownArg, arg, std::strlen(arg)), USAGE);
    return EXIT_USAGE;
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
    std::fputs(HELP, stdout);
}

// Reads the command line; -1 when it is complete, else the exit status.
int parseOptions(int argc, char **argv, Options &opt) {
    const CliOption options[] = {
        {"-o", true, &opt.out, nullptr, nullptr},
        {"--from", true, nullptr, nullptr, takeFrom},
        {"--template", false, nullptr, &opt.toTemplate, nullptr},
        {"--utf-8", false, nullptr, &opt.utf8, nullptr},
        {"--check", false, nullptr, &opt.check, nullptr},
    };
    CompanionCli cli{options,   sizeof options / sizeof options[0], &opt,       USAGE,
                     printHelp, "emojitag-list " EMOJITAG_VERSION,  usageError, " needs a value"};
    int status = readCompanionOptions(cli, argc, argv, &opt.inputs);
    if (opt.inputs > 0) opt.input = argv[opt.inputs - 1];
    return status;
}

// The output would be the input: replacing it would lose the input.
bool outputIsInput(const Options &opt) {
    FileInfo in;
    FileInfo out;
    bool standardInput = std::strcmp(opt.input, "-") == 0;
    bool known =
        standardInput ? streamFileInfo(stdin, &in) == 0 : pathFileInfo(opt.input, &in) == 0;
    return known && pathFileInfo(opt.out, &out) == 0 && sameIdentity(in.id, out.id);
}

// The rules between the options; -1 when they agree, else the exit status.
int checkOptions(const Options &opt) {
    if (opt.inputs != 1) return usageError("name one file", "");
    if (opt.check && opt.toTemplate)
        return usageError("--check and --template exclude each other", "");
    if (opt.check && (opt.out != nullptr || opt.fromGiven || opt.utf8))
        return usageError("--check takes no -o, --from or --utf-8", "");
    if (opt.toTemplate && opt.fromGiven)
        return usageError("--from is for a template, not --template", "");
    if (opt.utf8 && !opt.toTemplate) return usageError("--utf-8 needs --template", "");
    if (std::strcmp(opt.input, "-") == 0 && !opt.toTemplate)
        return usageError("- (standard input) only with --template", "");
    if (imageTypeOfName(opt.input) != PICTURE_NONE)
        return usageError("a picture, not a CSV file: ", opt.input);
    if (opt.out != nullptr && !isCsvListName(opt.out))
        return usageError("the output's name must end in .csv: ", opt.out);
    if (opt.out != nullptr && outputIsInput(opt))
        return usageError("the output would replace the input: ", opt.out);
    return -1;
}

}  // namespace

int main(int argc, char **argv) {
    setCompanionName("emojitag-list");
    Options opt;
    int status = parseOptions(argc, argv, opt);
    if (status < 0) status = checkOptions(opt);
    if (status >= 0) return status;
    if (opt.check) return checkListFile(opt.input);
    if (opt.toTemplate) return templateFromList(opt.input, opt.utf8, opt.out);
    return listFromTemplate(opt.input, opt.from, opt.out);
}
