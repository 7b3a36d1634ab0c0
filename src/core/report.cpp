// report.cpp - makes up each message in one buffer and writes it to standard
// error in one write, so that it reaches the terminal or a log as one line
// even beside the messages of other processes.
#include "report.h"

#include <cstdio>
#include <cstring>

#include "shown_name.h"

namespace {

// Room for a message about the longest name a list line can hold; a longer
// name (only the command line gives one) leaves in pieces.
constexpr size_t MESSAGE_SIZE = 40 * 1024;
char message[MESSAGE_SIZE];
void (*messageHook)();

struct MessageText {
    size_t used;  // bytes of `message` not yet written
};

void writeOut(MessageText &m) {
    std::fwrite(message, 1, m.used, stderr);
    m.used = 0;
}

// Adds `n` bytes, in their shown form with `asName`.
void add(MessageText &m, const char *bytes, size_t n, bool asName) {
    while (n > 0) {
        if (m.used == MESSAGE_SIZE) writeOut(m);
        size_t room = MESSAGE_SIZE - m.used;
        size_t k = n < room ? n : room;
        std::memcpy(message + m.used, bytes, k);
        if (asName) showNameBytes(message + m.used, k);
        m.used += k;
        bytes += k;
        n -= k;
    }
}

void addText(MessageText &m, const char *text) {
    add(m, text, std::strlen(text), false);
}

// "Error: " LEAD, then NAME and ": " when there is a name, then PROBLEM and
// the line end. Every message leaves the process here.
// What waits for the disk is placed first (the hook), and reports its own
// failures: the messages keep the order of the lines.
void sendMessage(const char *lead, const char *name, const char *problem) {
    if (messageHook != nullptr) messageHook();
    MessageText m{0};
    addText(m, "Error: ");
    addText(m, lead);
    if (name != nullptr) {
        add(m, name, std::strlen(name), true);
        addText(m, ": ");
    }
    addText(m, problem);
    addText(m, "\n");
    writeOut(m);
}

}  // namespace

void reportLine(int line, const char *name, const char *problem) {
    char lead[16];
    std::snprintf(lead, sizeof lead, "%d:", line);
    sendMessage(lead, name, problem);
}

void reportBareLine(int line, const char *problem) {
    char lead[16];
    std::snprintf(lead, sizeof lead, "%d", line);
    sendMessage(lead, "", problem);
}

void reportPath(const char *path, const char *problem) {
    sendMessage("", path, problem);
}

void reportUsage(const char *problem) {
    sendMessage(problem, nullptr, "");
}

void setMessageHook(void (*beforeMessage)()) {
    messageHook = beforeMessage;
}
