// The format table: every row's suffixes, in any case, give its type, and the
// list reader, the template walk, the image job and emojitag-extract all
// take a file of that suffix as the row's format.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image_formats.h"
#include "list_reader.h"
#include "test_support.h"

using namespace testsupport;

namespace {

std::string upper(std::string s) {
    for (char &c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// A row's suffixes as written in the table and upper-cased.
struct Named {
    const ImageFormat *format;
    std::string suffix;
};

std::vector<Named> everySuffix() {
    std::vector<Named> all;
    for (int i = 0; i < IMAGE_FORMAT_COUNT; i++) {
        const ImageFormat &f = IMAGE_FORMATS[i];
        for (int k = 0; k < IMAGE_SUFFIXES_MAX && f.suffixes[k] != nullptr; k++) {
            all.push_back({&f, f.suffixes[k]});
            all.push_back({&f, upper(f.suffixes[k])});
        }
    }
    return all;
}

TEST(ImageFormats, RowsAreWhole) {
    for (int i = 0; i < IMAGE_FORMAT_COUNT; i++) {
        const ImageFormat &f = IMAGE_FORMATS[i];
        SCOPED_TRACE(f.name);
        EXPECT_NE(f.type, 0) << "0 means no image";
        EXPECT_EQ(imageFormatOfType(f.type), &f) << "each type has one row";
        EXPECT_NE(f.suffixes[0], nullptr);
        EXPECT_NE(f.rewrite, nullptr);
        EXPECT_NE(f.find, nullptr);
        EXPECT_NE(f.readSize, nullptr);
        EXPECT_NE(f.storedLength, nullptr);
        EXPECT_NE(f.badImageMessage, nullptr);
        EXPECT_NE(f.malformedReport, nullptr);
    }
}

TEST(ImageFormats, ReaderTakesEverySuffixAsItsType) {
    static ListSpace space;
    ListReader reader;
    startListRead(&reader, nullptr, listBuffersOf(&space));
    for (const Named &n : everySuffix()) {
        std::string name = "dir.x/a" + n.suffix;
        EXPECT_EQ(imageTypeOfName(name.c_str()), n.format->type) << name;
        std::string line = name + ",\"<emoji>x</emoji>\"\n";
        takeListLine(&reader, &line[0], line.size());
        EXPECT_EQ(reader.line.type, n.format->type) << name;
        EXPECT_EQ(reader.line.refusal, REFUSED_NOT) << name;
    }
    char line[] = "a.txt,x\n";
    takeListLine(&reader, line, sizeof line - 1);
    EXPECT_EQ(reader.line.type, PICTURE_NONE);
    EXPECT_EQ(reader.line.refusal, REFUSED_BAD_SUFFIX) << "a suffix of no row";
}

// One file per suffix, empty, so that every format refuses it: the template
// walk lists each, the image job and emojitag-extract name its format.
TEST(ImageFormats, ProgramsAgreeOnEverySuffix) {
    TempDir dir;
    std::vector<Named> all = everySuffix();
    std::string list;
    for (size_t i = 0; i < all.size(); i++) {
        std::string name = "f" + std::to_string(i) + all[i].suffix;
        writeFile(dir / name, "");
        list += name + ",\"<emoji>x</emoji>\"\n";
    }
    writeFile(dir / "list.csv", list);
    writeFile(dir / "other.txt", "");

    ASSERT_EQ(runShell("mkdir walk && cp f* other.txt walk/", dir.path()).status, 0);
    ASSERT_EQ(runTool({"-f", "walk", "template.csv"}, dir.path()).status, 0);
    std::string groups = readFile(dir / "template.csv");
    RunResult job = runTool({"list.csv"}, dir.path());
    RunResult extract = runExtract({"--raw-names", "walk"}, dir.path());
    EXPECT_EQ(splitLines(groups).size(), 7 * all.size()) << groups;
    EXPECT_EQ(groups.find("other.txt"), std::string::npos);
    for (size_t i = 0; i < all.size(); i++) {
        const ImageFormat &f = *all[i].format;
        std::string name = "f" + std::to_string(i) + all[i].suffix;
        EXPECT_NE(groups.find("walk/" + name + ",yomi1\n"), std::string::npos) << name;
        std::string bad =
            "Error: " + std::to_string(i + 1) + ":" + name + ": " + f.badImageMessage + "\n";
        EXPECT_NE(job.err.find(bad), std::string::npos) << job.err;
        std::string malformed = "walk/" + name + ": " + f.malformedReport + "\n";
        EXPECT_NE(extract.err.find(malformed), std::string::npos) << extract.err;
    }
    EXPECT_EQ(extract.err.find("other.txt"), std::string::npos) << extract.err;
}

// The messages that list the formats are made from the table: ".gif, .jpg
// or .jpeg", "GIF or JPEG".
TEST(ImageFormats, MessagesListEveryRow) {
    char suffixes[128], names[128];
    listImageSuffixes(suffixes, sizeof suffixes);
    listImageFormatNames(names, sizeof names, " or ");
    for (int i = 0; i < IMAGE_FORMAT_COUNT; i++) {
        const ImageFormat &f = IMAGE_FORMATS[i];
        EXPECT_NE(std::strstr(names, f.name), nullptr) << names;
        for (int k = 0; k < IMAGE_SUFFIXES_MAX && f.suffixes[k] != nullptr; k++)
            EXPECT_NE(std::strstr(suffixes, f.suffixes[k]), nullptr) << suffixes;
    }
    std::string last = std::string(" or ") + IMAGE_FORMATS[IMAGE_FORMAT_COUNT - 1].name;
    EXPECT_EQ(std::string(names).rfind(last), std::strlen(names) - last.size()) << names;
    EXPECT_EQ(std::strlen(listImageFormatNames(names, 4, " or ")), 3u) << "cut to fit";
}

}  // namespace
