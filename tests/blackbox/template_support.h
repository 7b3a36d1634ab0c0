// Helpers of the template-run tests: reading a template list back into the
// listed paths, the platform's enumeration order, and running the tool where
// permission bits bind even for root.
#ifndef EMOJITAG_TEMPLATE_SUPPORT_H
#define EMOJITAG_TEMPLATE_SUPPORT_H

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace templatetest {

using testsupport::RunResult;

// Lines 2 to 7 of every group.
inline const char *const FIXED_LINES[] = {",hyoki1\n", ",hinsi1\n", ",category1\n",
                                          ",type\n",   ",tag1\n",   ",tagcont\n"};
inline const std::string LINE1_TAIL = ",yomi1\n";

// The entry paths of a template list, in the order written. Every group must
// be exactly the seven lines; a malformed list fails the calling test.
inline std::vector<std::string> listedPaths(const std::string &text) {
    std::vector<std::string> lines = testsupport::splitLines(text);
    std::vector<std::string> paths;
    EXPECT_EQ(lines.size() % 7, 0u) << "partial group in:\n" << text;
    for (size_t g = 0; g + 7 <= lines.size(); g += 7) {
        const std::string &first = lines[g];
        bool tail =
            first.size() > LINE1_TAIL.size() &&
            first.compare(first.size() - LINE1_TAIL.size(), LINE1_TAIL.size(), LINE1_TAIL) == 0;
        EXPECT_TRUE(tail) << "line " << g + 1 << ": " << first;
        paths.push_back(tail ? first.substr(0, first.size() - LINE1_TAIL.size()) : first);
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(lines[g + 1 + k], FIXED_LINES[k]) << "line " << g + 2 + k;
        }
    }
    return paths;
}

inline std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// Names of a directory in the order the platform delivers them, "." and ".."
// left out.
inline std::vector<std::string> enumerationOrder(const std::string &dir) {
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) return names;
    while (struct dirent *e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    }
    closedir(d);
    return names;
}

inline std::string shellQuote(const std::string &s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

inline std::string toolCommand(const std::vector<std::string> &args) {
    std::string cmd = shellQuote(EMOJITAG_BIN);
    for (const std::string &a : args)
        cmd += " " + shellQuote(a);
    return cmd;
}

// Root reads and searches any directory whatever its mode. Without the two
// capabilities that allow this, root is held to the owner's permission bits
// like any other user.
inline const char DROP_DAC[] = "setpriv --bounding-set=-dac_override,-dac_read_search ";

// Where permission bits bind for the tool: directly when not root, otherwise
// under DROP_DAC if that works here (a directory of mode 000 must then be
// refused). Returns false with `why` set when neither is possible.
inline bool permissionsBind(const std::string &scratch, std::string *prefix, std::string *why) {
    if (geteuid() != 0) {
        *prefix = "";
        return true;
    }
    RunResult probe = testsupport::runShell(
        "mkdir probe && chmod 000 probe && " + std::string(DROP_DAC) +
            "sh -c 'ls probe >/dev/null 2>&1 && echo readable || echo refused'"
            "; chmod 755 probe; rmdir probe",
        scratch);
    if (probe.out != "refused\n") {
        *why = "running as root and dropping the capabilities with setpriv is not possible here";
        return false;
    }
    *prefix = DROP_DAC;
    return true;
}

}  // namespace templatetest

#endif
