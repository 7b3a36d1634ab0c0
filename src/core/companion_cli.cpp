// companion_cli.cpp - the companions' option loop.
#include "companion_cli.h"

#include <cstdio>
#include <cstring>

namespace {

const CliOption *findOption(const CompanionCli &cli, const char *name) {
    for (int i = 0; i < cli.optionCount; i++)
        if (std::strcmp(cli.options[i].name, name) == 0) return &cli.options[i];
    return nullptr;
}

// Takes the option at argv[*i] (and its value); -1, or the exit status.
int takeOption(const CompanionCli &cli, const CliOption &o, int argc, char **argv, int *i) {
    const char *value = nullptr;
    if (o.takesValue) {
        if (*i + 1 == argc) return cli.usageError(o.name, cli.needsValue);
        value = argv[++*i];
    }
    if (o.take != nullptr) return o.take(cli.user, o.name, value);
    if (o.takesValue) {
        *o.value = value;
    } else {
        *o.flag = true;
    }
    return -1;
}

}  // namespace

int readCompanionOptions(const CompanionCli &cli, int argc, char **argv, int *operands) {
    *operands = 0;
    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (optionsEnded || a[0] != '-' || a[1] == '\0') {
            argv[(*operands)++] = argv[i];
            continue;
        }
        if (std::strcmp(a, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (std::strcmp(a, "--help") == 0) {
            std::fputs(cli.usage, stdout);
            cli.help();
            return EXIT_OK;
        }
        if (std::strcmp(a, "--version") == 0) {
            std::puts(cli.versionLine);
            return EXIT_OK;
        }
        const CliOption *o = findOption(cli, a);
        int status = o != nullptr ? takeOption(cli, *o, argc, argv, &i)
                                  : cli.usageError("unknown option ", a);
        if (status >= 0) return status;
    }
    return -1;
}
