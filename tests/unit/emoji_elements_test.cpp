// The grammar of an emoji text: the two readings, each rule a row with its
// reason, and the order the fields are shown in.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "emoji_elements.h"
#include "field_table.h"

namespace {

struct Row {
    const char *why;
    const char *text;
    int exact;    // element count read exactly, or -1
    int lenient;  // element count read leniently, or -1
};

const Row ROWS[] = {
    {"no elements", "<emoji></emoji>", 0, 0},
    {"two fields", "<emoji><yomi1>a</yomi1><tag1>b</tag1></emoji>", 2, 2},
    {"escapes in a value", "<emoji><a>&amp;&lt;&gt;</a></emoji>", 1, 1},
    {"a bare & is only found", "<emoji><a>A&B</a></emoji>", -1, 1},
    {"a > in a value is only found", "<emoji><a>1>0</a></emoji>", -1, 1},
    {"an empty value is only found", "<emoji><a></a></emoji>", -1, 1},
    {"the upper-case tag is only found", "<EMOJI><a>x</a></EMOJI>", -1, 1},
    {"tags of two cases never match", "<EMOJI><a>x</a></emoji>", -1, -1},
    {"blanks around elements are only found", "<emoji>\n <a>x</a>\t</emoji>\r\n", -1, 1},
    {"a vertical tab is no blank", "<emoji>\v<a>x</a></emoji>", -1, -1},
    {"text after the end", "<emoji><a>x</a></emoji>x", -1, -1},
    {"no closing tag", "<emoji><a>x</a>", -1, -1},
    {"a name of one rule: no '-'", "<emoji><a-b>x</a-b></emoji>", -1, -1},
    {"a name of one rule: not emoji", "<emoji><Emoji>x</Emoji></emoji>", -1, -1},
    {"the end tag names the element", "<emoji><a>x</b></emoji>", -1, -1},
    {"nested mark-up", "<emoji><a><b>x</b></a></emoji>", -1, -1},
    {"no emoji element", "<a>x</a>", -1, -1},
};

TEST(EmojiElements, ReadingsTakeTheirTexts) {
    EmojiElement e[4];
    for (const Row &r : ROWS) {
        size_t len = std::strlen(r.text);
        EXPECT_EQ(splitEmojiElements(r.text, len, EMOJI_EXACT, e, 4), r.exact) << r.why;
        EXPECT_EQ(splitEmojiElements(r.text, len, EMOJI_LENIENT, e, 4), r.lenient) << r.why;
    }
}

TEST(EmojiElements, MoreElementsThanRoomIsNoText) {
    const char *text = "<emoji><a>1</a><b>2</b><c>3</c></emoji>";
    EmojiElement e[3];
    EXPECT_EQ(splitEmojiElements(text, std::strlen(text), EMOJI_EXACT, e, 3), 3);
    EXPECT_EQ(splitEmojiElements(text, std::strlen(text), EMOJI_EXACT, e, 2), -1);
}

TEST(EmojiElements, FieldsComeInTheTableOrderOthersAfterAsTheyCame) {
    std::string text = "<emoji><z>1</z>";
    for (int i = FIELD_COUNT - 1; i >= 0; i--)
        text += std::string("<") + FIELDS[i].name + ">v</" + FIELDS[i].name + ">";
    text += "<a>2</a></emoji>";
    EmojiElement e[FIELD_COUNT + 2];
    int n = splitEmojiElements(text.data(), text.size(), EMOJI_LENIENT, e, FIELD_COUNT + 2);
    ASSERT_EQ(n, FIELD_COUNT + 2);
    orderByFields(e, n);
    for (int i = 0; i < FIELD_COUNT; i++)
        EXPECT_EQ(std::string(e[i].name, e[i].nameLen), FIELDS[i].name);
    EXPECT_EQ(std::string(e[FIELD_COUNT].name, 1), "z");
    EXPECT_EQ(std::string(e[FIELD_COUNT + 1].name, 1), "a");
}

}  // namespace
