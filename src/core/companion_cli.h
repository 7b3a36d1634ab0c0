// companion_cli.h - the command line of the companion programs: their exit
// statuses and their one option loop. Each program fills a table of its
// options and gives its own usage and help texts and its own printer of
// usage errors; the loop reads the arguments with them.
#ifndef EMOJITAG_COMPANION_CLI_H
#define EMOJITAG_COMPANION_CLI_H

// Exit statuses: all done (everything written, or found good), some image,
// line or record had a problem (reported), and a usage error.
constexpr int EXIT_OK = 0;
constexpr int EXIT_PROBLEM = 1;
constexpr int EXIT_USAGE = 2;

// One option, by its whole name ("-o", "--check"). What it sets: with
// `takesValue` the argument after it is put in *value, otherwise *flag is
// set; or `take` is called (with the value, or null), which returns -1 when
// the option is taken, else the exit status to end with.
struct CliOption {
    const char *name;
    bool takesValue;
    const char **value;
    bool *flag;
    int (*take)(void *user, const char *name, const char *value);
};

// A program's command line.
struct CompanionCli {
    const CliOption *options;
    int optionCount;
    void *user;               // handed to each option's `take`
    const char *usage;        // "usage: ...", first in the help
    void (*help)();           // prints the help after the usage
    const char *versionLine;  // "emojitag-list 1.2.3", for --version
    // The program's usage error: "PROGRAM: WHAT ARG" and its usage on
    // standard error; returns EXIT_USAGE.
    int (*usageError)(const char *what, const char *arg);
    const char *needsValue;  // follows the option's name when its value is missing
};

// Reads the arguments after argv[0]: options as the table says, "--" ends
// them, "-" and every other argument not beginning with '-' are operands,
// moved in their order to argv[0..*operands). --help and --version print to
// standard output and end the run with EXIT_OK; an unknown option or a
// missing value is a usage error. Returns -1 when the command line is read,
// else the exit status to end with.
int readCompanionOptions(const CompanionCli &cli, int argc, char **argv, int *operands);

#endif
