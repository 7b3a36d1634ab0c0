// The JPEG rewriter on hand-built streams: where the emoji comment goes, which
// comments stay or go, markers without a length field, and every failure.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "jpg_stream.h"

using namespace jpgtest;

namespace {

const std::string TEXT = "<emoji><e>1</e></emoji>";
// The COM segment the rewriter writes for TEXT.
const std::string NEW_COM = com(TEXT);
const std::string SCAN("\x12\x34\x56\x78\x9A", 5);
const std::string STUFFED("\x12\xFF\x00\x34\xFF\x00", 6);
const std::string ORDINARY20 = "made with a camera!!";  // 20 data bytes
const std::string OLD_EMOJI = "<emoji><old/></emoji>";

struct Case {
    const char *why;
    std::string in;
    std::string out;
};

// Scan data of 191 bytes, so that the 0xFF of the EOI after it is the last
// byte of a 64-byte step, holding pairs cut by the steps' borders.
std::string stepBorders() {
    std::string data(191, 'a');
    for (size_t at : {15u, 63u, 126u}) {
        data[at] = '\xFF';
        data[at + 1] = at == 63 ? '\0' : static_cast<char>(0xD0 + at % 8);
    }
    data[189] = '\xFF';  // a stuffed zero that ends the data
    data[190] = '\0';
    return data;
}
const std::string STEP_BORDERS = stepBorders();

TEST(SetJpgData, OrderOfOutput) {
    const std::string h = head();
    const Case cases[] = {
        {"baseline: the comment goes right before SOS", h + sos(SCAN) + EOI,
         h + NEW_COM + sos(SCAN) + EOI},
        {"emoji comment before SOS is replaced in place, nothing inserted",
         SOI + app0() + com(OLD_EMOJI) + dqt() + sof0() + sos(SCAN) + EOI,
         SOI + app0() + NEW_COM + dqt() + sof0() + sos(SCAN) + EOI},
        {"upper-case tag is an emoji comment too", h + com("<EMOJI>abc") + sos(SCAN) + EOI,
         h + NEW_COM + sos(SCAN) + EOI},
        {"8 data bytes are examined", h + com("<emoji>x") + sos(SCAN) + EOI,
         h + NEW_COM + sos(SCAN) + EOI},
        {"mixed case is no emoji tag: an ordinary comment", h + com("<Emoji>abc") + sos(SCAN) + EOI,
         h + com("<Emoji>abc") + NEW_COM + sos(SCAN) + EOI},
        {"two emoji comments: the second leaves no byte",
         h + com(OLD_EMOJI) + com("<EMOJI>second") + sos(SCAN) + EOI,
         h + NEW_COM + sos(SCAN) + EOI},
        {"emoji comment between two scans is removed",
         h + sos(SCAN) + com(OLD_EMOJI) + dht() + sos(SCAN) + EOI,
         h + NEW_COM + sos(SCAN) + dht() + sos(SCAN) + EOI},
        {"7 data bytes <emoji> are a short comment: copied", h + com("<emoji>") + sos(SCAN) + EOI,
         h + com("<emoji>") + NEW_COM + sos(SCAN) + EOI},
        {"short comment after SOS is copied", h + sos(SCAN) + com("short") + EOI,
         h + NEW_COM + sos(SCAN) + com("short") + EOI},
        {"empty comment copied as FF FE 00 02", h + com("") + sos(SCAN) + EOI,
         h + std::string("\xFF\xFE\x00\x02", 4) + NEW_COM + sos(SCAN) + EOI},
        {"ordinary comment before the text is copied", h + com(ORDINARY20) + sos(SCAN) + EOI,
         h + com(ORDINARY20) + NEW_COM + sos(SCAN) + EOI},
        {"ordinary comment after the emoji comment is removed",
         h + com(OLD_EMOJI) + com(ORDINARY20) + sos(SCAN) + EOI, h + NEW_COM + sos(SCAN) + EOI},
        {"ordinary comment after the first SOS is removed", h + sos(SCAN) + com(ORDINARY20) + EOI,
         h + NEW_COM + sos(SCAN) + EOI},
        {"ordinary comment before an emoji comment stays",
         h + com(ORDINARY20) + com(OLD_EMOJI) + sos(SCAN) + EOI,
         h + com(ORDINARY20) + NEW_COM + sos(SCAN) + EOI},
        {"progressive: several SOS with DHT between, text once",
         h + sos(SCAN) + dht() + sos(SCAN) + dht() + sos(SCAN) + EOI,
         h + NEW_COM + sos(SCAN) + dht() + sos(SCAN) + dht() + sos(SCAN) + EOI},
        {"stuffed zeros in scan data", h + sos(STUFFED) + EOI, h + NEW_COM + sos(STUFFED) + EOI},
        {"scan data that is only a stuffed zero", h + sos("\xFF" + std::string(1, '\0')) + EOI,
         h + NEW_COM + sos("\xFF" + std::string(1, '\0')) + EOI},
        {"empty scan data", h + sos("") + EOI, h + NEW_COM + sos("") + EOI},
        {"no SOS and no emoji comment: unchanged, no text", SOI + app0() + EOI, SOI + app0() + EOI},
        {"SOI EOI alone", SOI + EOI, SOI + EOI},
        {"bytes after EOI are copied as they are", h + sos(SCAN) + EOI + "trailing\xFF\xD8",
         h + NEW_COM + sos(SCAN) + EOI + "trailing\xFF\xD8"},
        {"restart markers inside scan data are copied, text once",
         h + sos("\x11\xFF\xD0\x22\xFF\xD1\xFF\xD7\x33") + EOI,
         h + NEW_COM + sos("\x11\xFF\xD0\x22\xFF\xD1\xFF\xD7\x33") + EOI},
        {"stuffed zeros and restart markers across the scan's 16- and 64-byte steps, EOI's "
         "0xFF last in a step",
         h + sos(STEP_BORDERS) + EOI, h + NEW_COM + sos(STEP_BORDERS) + EOI},
        {"restart marker right after the SOS header", h + sos("\xFF\xD3\x44") + EOI,
         h + NEW_COM + sos("\xFF\xD3\x44") + EOI},
        {"fill bytes before a segment",
         SOI + app0() + "\xFF\xFF" + dqt() + sof0() + sos(SCAN) + EOI,
         SOI + app0() + "\xFF\xFF" + dqt() + sof0() + NEW_COM + sos(SCAN) + EOI},
        {"fill bytes before the first SOS stay before the new comment",
         h + "\xFF" + sos(SCAN) + EOI, h + "\xFF" + NEW_COM + sos(SCAN) + EOI},
        {"fill bytes before EOI after scan data", h + sos(SCAN) + "\xFF\xFF" + EOI,
         h + NEW_COM + sos(SCAN) + "\xFF\xFF" + EOI},
        {"fill byte before a removed comment stays", h + sos(SCAN) + "\xFF" + com(ORDINARY20) + EOI,
         h + NEW_COM + sos(SCAN) + "\xFF" + EOI},
        {"fill byte right after SOI", SOI + "\xFF" + app0() + EOI, SOI + "\xFF" + app0() + EOI},
        {"TEM has no length field", SOI + "\xFF\x01" + app0() + EOI,
         SOI + "\xFF\x01" + app0() + EOI},
        {"largest segment is copied", SOI + segment(0xE1, std::string(65533, 'x')) + EOI,
         SOI + segment(0xE1, std::string(65533, 'x')) + EOI},
        {"largest emoji comment is replaced",
         h + com("<emoji>" + std::string(65526, 'y')) + sos(SCAN) + EOI,
         h + NEW_COM + sos(SCAN) + EOI},
        {"an APP1 holding SOI and EOI is only data",
         SOI + segment(0xE1, SOI + app0() + EOI) + sos(SCAN) + EOI,
         SOI + segment(0xE1, SOI + app0() + EOI) + NEW_COM + sos(SCAN) + EOI},
    };
    for (const Case &c : cases) {
        Rewrite r = rewrite(c.in, TEXT);
        EXPECT_EQ(r.result, 0) << c.why;
        EXPECT_EQ(r.out, c.out) << c.why;
    }
}

TEST(SetJpgData, NewSegmentForAHundredByteText) {
    std::string text = "<emoji>" + std::string(85, 'a') + "</emoji>";
    ASSERT_EQ(text.size(), 100u);
    Rewrite r = rewrite(head() + sos(SCAN) + EOI, text);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.out, head() + std::string("\xFF\xFE\x00\x66", 4) + text + sos(SCAN) + EOI);
}

TEST(SetJpgData, Utf8TextIsWrittenByteForByte) {
    const std::string text = "<emoji>\xE7\xAC\x91\xE3\x81\x84\xF0\x9F\x98\x80</emoji>";
    Rewrite r = rewrite(head() + com(OLD_EMOJI) + sos(SCAN) + EOI, text);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.out, head() + com(text) + sos(SCAN) + EOI);
}

struct FailCase {
    const char *why;
    std::string in;
    std::string outPrefix;  // what the output holds at the failure ("" unchecked)
};

TEST(SetJpgData, Failures) {
    const std::string h = head();
    const std::string full = h + sos(SCAN) + EOI;
    const FailCase cases[] = {
        {"not SOI: both bytes are out", "\x89PNG\r\n", "\x89P"},
        {"SOI only", SOI, SOI},
        {"empty file", "", ""},
        {"one byte", "\xFF", ""},
        {"byte after SOI is not 0xFF", SOI + std::string("\xE0\x00\x10", 3), SOI + "\xE0"},
        {"ends after a marker's 0xFF", SOI + "\xFF", ""},
        {"ends inside a length field", SOI + std::string("\xFF\xE0\x00", 3), ""},
        {"ends inside segment data", SOI + app0().substr(0, 10), ""},
        {"segment length 0", SOI + std::string("\xFF\xE0\x00\x00", 4) + EOI, SOI + "\xFF\xE0"},
        {"segment length 1", SOI + std::string("\xFF\xE0\x00\x01", 4) + EOI, SOI + "\xFF\xE0"},
        {"comment length 1", SOI + std::string("\xFF\xFE\x00\x01", 4) + EOI, SOI + "\xFF\xFE"},
        {"SOS length 0", h + std::string("\xFF\xDA\x00\x00", 4) + EOI, ""},
        {"ends inside a short comment", SOI + com("abc").substr(0, 5), ""},
        {"ends inside the head of an examined comment", SOI + com(ORDINARY20).substr(0, 8), ""},
        {"ends inside an examined comment", SOI + com(ORDINARY20).substr(0, 15), ""},
        {"ends inside a replaced emoji comment", h + com(OLD_EMOJI).substr(0, 15), ""},
        {"ends inside a removed comment", h + com(OLD_EMOJI) + com("<emoji>zzzz").substr(0, 10),
         ""},
        {"ends inside the SOS header", h + sos(SCAN).substr(0, 6), ""},
        {"ends inside scan data", full.substr(0, full.size() - 4), ""},
        {"ends after a stuffed zero", h + sos("\x01\xFF" + std::string(1, '\0')), ""},
        {"ends inside scan data after a restart marker", h + sos("\x01\xFF\xD0\x02"), ""},
        {"ends after a fill byte", h + sos(SCAN) + "\xFF\xFF", ""},
        {"no EOI after a segment", SOI + app0(), ""},
        {"no 0xFF after a segment", SOI + app0() + std::string("\x00\xFF\xD9", 3), SOI + app0()},
        {"no 0xFF after a comment", SOI + com("abc") + "\x12" + EOI, SOI + com("abc")},
        {"no 0xFF after TEM", SOI + std::string("\xFF\x01\x00", 3) + EOI, SOI + "\xFF\x01"},
    };
    for (const FailCase &c : cases) {
        Rewrite r = rewrite(c.in, TEXT);
        EXPECT_EQ(r.result, -1) << c.why;
        if (!c.outPrefix.empty()) {
            EXPECT_EQ(r.out, c.outPrefix) << c.why;
        }
    }
}

TEST(SetJpgData, TooLongTextFailsWithoutWritingIt) {
    std::string text(65534, 'z');
    Rewrite atSos = rewrite(head() + sos(SCAN) + EOI, text);
    EXPECT_EQ(atSos.result, -1);
    EXPECT_EQ(atSos.out, head() + "\xFF");
    Rewrite atComment = rewrite(head() + com(OLD_EMOJI) + sos(SCAN) + EOI, text);
    EXPECT_EQ(atComment.result, -1);
    EXPECT_EQ(atComment.out, head() + "\xFF\xFE");
}

TEST(SetJpgData, RunningOnItsOwnOutputChangesNothing) {
    const std::string in = head() + com(ORDINARY20) + com(OLD_EMOJI) + sos(STUFFED) + dht() +
                           sos("\x01\xFF\xD0\x02") + com(OLD_EMOJI) + EOI;
    Rewrite once = rewrite(in, TEXT);
    ASSERT_EQ(once.result, 0);
    Rewrite twice = rewrite(once.out, TEXT);
    EXPECT_EQ(twice.result, 0);
    EXPECT_EQ(twice.out, once.out);
}

// Entropy-coded data far larger than any read block, dense with stuffed
// zeros, restart markers and fill bytes, with segments between the scans: a
// marker or segment cut by a block's end must come through whole.
TEST(SetJpgData, LongScansCrossReadBlocks) {
    for (unsigned seed = 1; seed <= 4; seed++) {
        std::mt19937 rng(seed);
        std::string scans;
        for (int scan = 0; scan < 3; scan++) {
            std::string data;
            size_t size = 150000 + rng() % 200000;
            while (data.size() < size) {
                unsigned r = rng() % 64;
                if (r == 0) {
                    data += std::string("\xFF\x00", 2);  // stuffed zero
                } else if (r == 1) {
                    data += "\xFF";  // restart marker
                    data += static_cast<char>(0xD0 + rng() % 8);
                } else {
                    data += static_cast<char>(rng() % 0xFF);  // any byte but 0xFF
                }
            }
            scans += sos(data) + (seed % 2 ? "\xFF\xFF" : "") + dht();
        }
        std::string in = head() + scans + EOI;
        std::string expected = head() + NEW_COM + scans + EOI;
        Rewrite r = rewrite(in, TEXT);
        EXPECT_EQ(r.result, 0) << "seed " << seed;
        EXPECT_TRUE(r.out == expected) << "seed " << seed;
    }
}

// The entropy-coded data is read in blocks of 128 KiB, the first one starting
// at the first scan's data: a 0xFF as the last byte of a block, with its code
// in the next block, must be handled like any other.
TEST(SetJpgData, MarkerCutByTheReadBlock) {
    const size_t blockSize = 128 * 1024;
    const std::string codes[] = {std::string(1, '\0'), "\xD5"};
    for (long shift = -2; shift <= 1; shift++) {
        std::string filler(blockSize - 1 + shift, '\x5A');
        for (const std::string &code : codes) {
            std::string scan = filler + "\xFF" + code + std::string(300, '\x21');
            std::string in = head() + sos(scan) + EOI;
            Rewrite r = rewrite(in, TEXT);
            EXPECT_EQ(r.result, 0) << shift;
            EXPECT_TRUE(r.out == head() + NEW_COM + sos(scan) + EOI) << "shift " << shift;
        }
        // A segment whose marker is cut by the block's end.
        std::string in = head() + sos(filler) + dht() + "\xFF" + dht() + sos("\x01") + EOI;
        Rewrite r = rewrite(in, TEXT);
        EXPECT_EQ(r.result, 0) << shift;
        EXPECT_TRUE(r.out ==
                    head() + NEW_COM + sos(filler) + dht() + "\xFF" + dht() + sos("\x01") + EOI)
            << "segment, shift " << shift;
    }
}

}  // namespace
