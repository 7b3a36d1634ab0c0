// Short writes at every byte written: the rewrite fails wherever the output
// stops accepting bytes, including inside untested writes (caught at the next
// tested write through the stream's error flag) and around a step back.
#include <gtest/gtest.h>

#include <string>

#include "jpg_stream.h"

using namespace jpgtest;

namespace {

// The expected writes in the order they are made, and the steps back over a
// removed comment's 0xFF 0xFE. (Whether a write is tested is noted for the
// reader; glibc's unbuffered streams do not let a test tell the two apart
// reliably once a write has failed.)
struct Expected {
    std::string written;  // every byte in the order of writing
    std::string output;   // the final output after the steps back
    void put(const std::string &b, bool) {
        written += b;
        output += b;
    }
    void stepBack() { output.resize(output.size() - 2); }
};

std::string lengthField(size_t dataSize) {
    std::string s;
    s += static_cast<char>((dataSize + 2) >> 8);
    s += static_cast<char>((dataSize + 2) & 0xFF);
    return s;
}

const bool T = true;
const bool U = false;
const std::string TEXT = "<emoji><b>2</b></emoji>";
const std::string FF = "\xFF";

// A stream with every kind of segment, and the writes the rewriter must make
// for it, tested or not as listed for each kind.
void buildAllKinds(std::string &in, Expected &e) {
    const std::string app = std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14);
    const std::string ordinary = "an ordinary comment";
    const std::string oldEmoji = "<emoji>old</emoji>";
    const std::string sosHead("\x01\x01\0\0\x3F\0", 6);
    const std::string scan1("\x11\x22\xFF\x00\x33", 5);
    const std::string scan2("\x44\xFF\xD0\x55", 4);
    in = SOI + segment(0xE0, app) + com("abc") + com("") + com(ordinary) + com(oldEmoji) +
         com("<EMOJI>again") + dqt() + sos(scan1) + dht() + com(ordinary) + segment(0xDA, sosHead) +
         scan2 + "\xFF\x01" + "\xFF" + EOI + "after";

    e.put(SOI + FF, U);  // the first three bytes
    e.put("\xE0", T);    // code byte of an ordinary segment
    e.put(lengthField(app.size()) + app, U);
    e.put(FF + "\xFE" + lengthField(3), T);  // short comment: 0xFF, code and length
    e.put("abc", U);                         // its data
    e.put(FF + "\xFE" + lengthField(0), T);  // empty comment
    e.put(FF + "\xFE" + lengthField(ordinary.size()) + ordinary.substr(0, 7), T);
    e.put(ordinary.substr(7), U);  // the rest of a copied examined comment
    e.put(FF + "\xFE" + lengthField(TEXT.size()) + TEXT, T);  // replaced in place
    e.put(FF + "\xFE", T);                                    // a second emoji comment: removed
    e.stepBack();
    e.put(FF + "\xDB", T);
    e.put(lengthField(65) + std::string(65, '\x01'), U);
    e.put(FF + "\xDA", T);  // the first SOS: the text is out already
    e.put(lengthField(6) + sosHead, U);
    e.put(scan1.substr(0, 2) + FF + std::string(1, '\0') + scan1.substr(4), T);
    e.put(FF + "\xC4", T);
    e.put(lengthField(29) + std::string(29, '\x02'), U);
    e.put(FF + "\xFE", T);  // an examined comment after the text: removed
    e.stepBack();
    e.put(FF + "\xDA", T);  // a later SOS
    e.put(lengthField(6) + sosHead, U);
    e.put(scan2 + FF + "\x01" + FF + FF + "\xD9", T);  // scan data, RST, TEM, fill byte, EOI
    e.put("after", T);                                 // what follows EOI, copied as it is
}

TEST(SetJpgDataFaults, AllKindsGiveTheExpectedWrites) {
    std::string in;
    Expected e;
    buildAllKinds(in, e);
    Rewrite whole = rewrite(in, TEXT);
    EXPECT_EQ(whole.result, 0);
    EXPECT_EQ(whole.out, e.output);
}

TEST(SetJpgDataFaults, ShortWriteLimitFailsAnywhere) {
    std::string in;
    Expected e;
    buildAllKinds(in, e);
    for (size_t limit = 0; limit < e.written.size(); limit++)
        EXPECT_EQ(rewrite(in, TEXT, limit).result, -1) << "limit " << limit;
    EXPECT_EQ(rewrite(in, TEXT, e.written.size()).result, 0);
}

ssize_t plainWrite(void *cookie, const char *data, size_t size) {
    static_cast<std::string *>(cookie)->append(data, size);
    return static_cast<ssize_t>(size);
}

// Runs the rewriter into an output that cannot seek.
int rewriteUnseekable(const std::string &in) {
    std::string bytes;
    cookie_io_functions_t io{};
    io.write = plainWrite;
    FILE *out = fopencookie(&bytes, "w", io);
    FILE *src = testsupport::openMemSource(in);
    int result = runRewriter(setJpgData, src, out, TEXT.c_str()).result;
    std::fclose(src);
    std::fclose(out);
    return result;
}

TEST(SetJpgDataFaults, StepBackThatCannotBeMadeFails) {
    const std::string scan("\x01\x02", 2);
    EXPECT_EQ(rewriteUnseekable(head() + sos(scan) + EOI), 0) << "no comment to remove";
    EXPECT_EQ(rewriteUnseekable(head() + sos(scan) + com("an ordinary comment") + EOI), -1)
        << "a removed comment must not leave its 0xFF 0xFE behind";
}

}  // namespace
