// fuzz_quiet.h - keeps the project's diagnostics out of the fuzzer's log. The
// code under test prints through the stdio stream `stderr`; that stream is
// pointed at /dev/null for the length of one call, while libFuzzer and the
// sanitizers keep writing to the real standard error.
#ifndef EMOJITAG_FUZZ_QUIET_H
#define EMOJITAG_FUZZ_QUIET_H

#include <cstdio>

namespace fuzzquiet {

struct Quiet {
    FILE *saved;
    Quiet() : saved(stderr) {
        static FILE *devNull = std::fopen("/dev/null", "w");
        if (devNull != nullptr) stderr = devNull;
    }
    ~Quiet() { stderr = saved; }
    Quiet(const Quiet &) = delete;
    Quiet &operator=(const Quiet &) = delete;
};

}  // namespace fuzzquiet

#endif
