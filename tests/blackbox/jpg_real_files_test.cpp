// The tool on real JPEG files made by independent encoders and editors: the
// pixels decode the same, the emoji comment reads back exactly, and every
// other segment and all scan data come through byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

using namespace testsupport;

namespace {

const char TEXT[] = "<emoji><t>real file</t></emoji>";

// One piece of a JPEG as laid out in the file: a marker with its segment (for
// SOS also the entropy-coded data after it), fill bytes included before it.
struct Piece {
    unsigned char code;
    std::string bytes;
};

bool isStandalone(unsigned char c) {
    return c == 0x01 || (c >= 0xD0 && c <= 0xD7);
}

// Splits a JPEG into pieces up to EOI; `tail` receives what follows EOI.
// Returns false for anything it cannot follow.
bool listSegments(const std::string &f, std::vector<Piece> &pieces, std::string &tail) {
    if (f.compare(0, 2, "\xFF\xD8") != 0) return false;
    size_t i = 2;
    while (i < f.size()) {
        size_t start = i;
        while (i < f.size() && static_cast<unsigned char>(f[i]) == 0xFF)
            i++;
        if (i == start || i >= f.size()) return false;
        unsigned char code = static_cast<unsigned char>(f[i++]);
        if (code == 0xD9) {
            pieces.push_back({code, f.substr(start, i - start)});
            tail = f.substr(i);
            return true;
        }
        if (!isStandalone(code)) {
            if (i + 2 > f.size()) return false;
            i += static_cast<unsigned char>(f[i]) << 8 | static_cast<unsigned char>(f[i + 1]);
        }
        if (code == 0xDA) {
            // Entropy-coded data ends at a 0xFF that is no stuffed zero or restart marker.
            while (i + 1 < f.size() &&
                   !(static_cast<unsigned char>(f[i]) == 0xFF && f[i + 1] != 0 &&
                     !(static_cast<unsigned char>(f[i + 1]) >= 0xD0 &&
                       static_cast<unsigned char>(f[i + 1]) <= 0xD7)))
                i++;
        }
        if (i > f.size()) return false;
        pieces.push_back({code, f.substr(start, i - start)});
    }
    return false;
}

size_t fillBytes(const Piece &p) {
    return p.bytes.find_first_not_of('\xFF') - 1;
}

std::string comData(const Piece &p) {
    size_t at = p.bytes.find_first_not_of('\xFF');
    return p.bytes.substr(at + 3);
}

// Writes a deterministic RGB picture as a binary PPM.
void writePpm(const std::string &path, int w, int h) {
    std::string d = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    unsigned noise = 12345;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            noise = noise * 1103515245u + 12345u;
            d += static_cast<char>((x * 3 + y) & 0xFF);
            d += static_cast<char>((y * 4) & 0xFF);
            d += static_cast<char>((x * y + (noise >> 16) % 41) & 0xFF);
        }
    }
    writeFile(path, d);
}

// Puts fill bytes before every marker outside the scan data.
std::string addFillBytes(const std::string &f) {
    std::vector<Piece> pieces;
    std::string tail;
    if (!listSegments(f, pieces, tail)) return "";
    std::string out = "\xFF\xD8";
    for (const Piece &p : pieces)
        out += "\xFF\xFF" + p.bytes;
    return out;
}

struct RealCase {
    const char *name;                   // file made in the test directory
    const char *command;                // shell command that makes it from img.ppm (and base.jpg)
    std::vector<std::string> comments;  // COM data expected in the output, in order
};

class RealFiles : public ::testing::Test {
   protected:
    void SetUp() override {
        for (const char *p : {"cjpeg", "djpeg", "jpegtran", "wrjpgcom", "rdjpgcom", "exiftool"})
            ASSERT_TRUE(haveProgram(p)) << p << " is needed (tools/install-deps.sh installs it)";
        writePpm(dir / "img.ppm", 203, 150);
        ASSERT_EQ(runShell("cjpeg -quality 90 img.ppm > base.jpg", dir.path()).status, 0);
    }
    TempDir dir;
};

TEST_F(RealFiles, PixelsCommentAndSegmentsSurvive) {
    const std::string t = TEXT;
    const RealCase cases[] = {
        {"b420.jpg", "cjpeg -sample 2x2 img.ppm > b420.jpg", {t}},
        {"b444.jpg", "cjpeg -sample 1x1 img.ppm > b444.jpg", {t}},
        {"grey.jpg", "cjpeg -grayscale img.ppm > grey.jpg", {t}},
        {"prog.jpg", "cjpeg -progressive img.ppm > prog.jpg", {t}},
        {"rows.jpg", "cjpeg -restart 1 img.ppm > rows.jpg", {t}},
        {"blocks.jpg", "cjpeg -restart 3B -progressive img.ppm > blocks.jpg", {t}},
        {"arith.jpg", "cjpeg -arithmetic img.ppm > arith.jpg", {t}},
        {"arith-prog.jpg",
         "cjpeg -arithmetic -progressive -restart 2 img.ppm > arith-prog.jpg",
         {t}},
        {"exif.jpg",
         "djpeg -scale 1/4 base.jpg | cjpeg > thumb.jpg && cp base.jpg exif.jpg && "
         "exiftool -q -overwrite_original -Make=Test '-EXIF:ThumbnailImage<=thumb.jpg' exif.jpg",
         {t}},
        {"icc.jpg", "head -c 700 base.jpg > p.icc && cjpeg -icc p.icc img.ppm > icc.jpg", {t}},
        {"xmp.jpg",
         "cp base.jpg xmp.jpg && exiftool -q -overwrite_original -XMP-dc:Title=hello xmp.jpg",
         {t}},
        {"coms.jpg",
         "wrjpgcom -comment 'first comment' base.jpg | wrjpgcom -comment '<emoji>old</emoji>' | "
         "wrjpgcom -comment 'third comment' | wrjpgcom -comment 'ok' > coms.jpg",
         {"first comment", t, "ok"}},
        {"after.jpg", "cp base.jpg after.jpg && printf 'JUNK\\377\\330' >> after.jpg", {t}},
        {"optimized.jpg", "jpegtran -optimize -progressive base.jpg > optimized.jpg", {t}},
    };
    std::string list;
    for (const RealCase &c : cases) {
        ASSERT_EQ(runShell(c.command, dir.path()).status, 0) << c.name;
        list += std::string(c.name) + "," + TEXT + "\n";
    }
    writeFile(dir / "fill.jpg", addFillBytes(readFile(dir / "base.jpg")));
    list += std::string("fill.jpg,") + TEXT + "\n";
    writeFile(dir / "list.csv", list);

    RunResult r = runTool({"list.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");

    std::vector<RealCase> all(std::begin(cases), std::end(cases));
    all.push_back({"fill.jpg", "", {t}});
    for (const RealCase &c : all) {
        std::string name = c.name;
        std::string outName = name.substr(0, name.size() - 4) + "-out.jpg";
        std::string in = readFile(dir / name);
        std::string out = readFile(dir / outName);
        // Same pixels through an independent decoder.
        RunResult a = runShell("djpeg -ppm " + name, dir.path());
        RunResult b = runShell("djpeg -ppm " + outName, dir.path());
        EXPECT_EQ(b.status, 0) << name << b.err;
        EXPECT_FALSE(a.out.empty()) << name;
        EXPECT_TRUE(a.out == b.out) << name << ": pixels differ";

        std::vector<Piece> inPieces, outPieces;
        std::string inTail, outTail;
        ASSERT_TRUE(listSegments(in, inPieces, inTail)) << name;
        ASSERT_TRUE(listSegments(out, outPieces, outTail)) << name;
        EXPECT_EQ(outTail, inTail) << name << ": bytes after EOI are copied as they are";
        // Every segment other than COM, in order and byte for byte.
        // Fill bytes before the first SOS end up before the new comment, so
        // they are compared by count.
        std::vector<std::string> inOther, outOther, outComments;
        size_t inFill = 0, outFill = 0;
        for (const Piece &p : inPieces) {
            inFill += fillBytes(p);
            if (p.code != 0xFE) inOther.push_back(p.bytes.substr(fillBytes(p)));
        }
        for (const Piece &p : outPieces) {
            outFill += fillBytes(p);
            if (p.code == 0xFE) {
                outComments.push_back(comData(p));
            } else {
                outOther.push_back(p.bytes.substr(fillBytes(p)));
            }
        }
        EXPECT_EQ(inFill, outFill) << name;
        EXPECT_TRUE(inOther == outOther) << name << ": segments differ";
        EXPECT_EQ(outComments, c.comments) << name;
        // The new comment stands before the first SOS.
        size_t firstSos = 0, textAt = 0;
        for (size_t i = 0; i < outPieces.size(); i++) {
            if (outPieces[i].code == 0xDA && firstSos == 0) firstSos = i;
            if (outPieces[i].code == 0xFE && comData(outPieces[i]) == t) textAt = i;
        }
        EXPECT_LT(textAt, firstSos) << name;
        // An independent reader sees the text exactly.
        RunResult com = runShell("rdjpgcom -raw " + outName, dir.path());
        EXPECT_NE(com.out.find(t + "\n"), std::string::npos) << name << com.out;
        // Running the tool on its own output changes nothing.
        writeFile(dir / "again.csv", outName + "," + TEXT + "\n");
        ASSERT_EQ(runTool({"again.csv"}, dir.path()).err, "") << name;
        EXPECT_TRUE(readFile(dir / (outName.substr(0, outName.size() - 4) + "-out.jpg")) == out)
            << name << ": not idempotent";
    }
}

}  // namespace
