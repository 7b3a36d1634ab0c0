// list_to_template.cpp - emojitag-list --template: the lines of an emoji
// list, read as emojitag reads them, become the groups of a filled-in
// template. The fields of `emojitag -f`'s template come in their order, empty
// where the text has none; further elements keep their place in the text
// (after those fields when the text has them after its last one).
// Only a text that comes back the same from the template is written.
#include <cstring>

#include "companion_report.h"
#include "emoji_elements.h"
#include "field_table.h"
#include "input_file.h"
#include "line_findings.h"
#include "list_modes.h"
#include "list_output.h"
#include "list_reader.h"
#include "platform_console.h"
#include "platform_file.h"
#include "qz_cc_api.h"
#include "show_text.h"
#include "template_source.h"
#include "text_cp932.h"
#include "text_encoding.h"
#include "text_utf8.h"

namespace {

// One group as it is written: the whole group goes out, or nothing.
constexpr size_t GROUP_MAX = 8 * (READER_LINE_MAX + 1);
char group[GROUP_MAX];

// A value made characters again, and in CP932.
char value[3 * READER_LINE_MAX + 1];
char valueCp932[3 * READER_LINE_MAX + 1];
char readBack[3 * READER_LINE_MAX + 1];
char nameUtf8[3 * READER_LINE_MAX + 1];
constexpr int ELEMENTS_MAX = 1024;
EmojiElement elements[ELEMENTS_MAX];

struct GroupWriter {
    size_t used;
    bool full;
    bool first;  // the next line is the group's first: it names the picture
};

void putBytes(GroupWriter &g, const char *s, size_t n) {
    if (g.full || g.used + n > GROUP_MAX) {
        g.full = true;
        return;
    }
    std::memcpy(group + g.used, s, n);
    g.used += n;
}

// A field as spreadsheets expect it: in double quotes, with doubled quotes
// inside, when it holds a comma, a double quote or a line end.
void putField(GroupWriter &g, const char *s, size_t n) {
    if (std::strpbrk(s, ",\"\r\n") == nullptr) return putBytes(g, s, n);
    putBytes(g, "\"", 1);
    for (size_t i = 0; i < n; i++) {
        if (s[i] == '"') putBytes(g, "\"", 1);
        putBytes(g, s + i, 1);
    }
    putBytes(g, "\"", 1);
}

struct TemplateOut {
    const char *source;  // the list's name, for messages
    bool utf8;           // the template is UTF-8
    int left;            // lines left out
    Utf8Scan written;    // the CP932 template so far, as its reader scans it
    bool noted;          // its note row is written
};

// One line of the group: the picture's name on the first, the field's name,
// and the value unless it is empty. False when the value has no exact form
// in the template's encoding.
bool putLine(const TemplateOut &t, GroupWriter &g, const char *name, const char *field,
             size_t fieldLen, const char *escaped, size_t escapedLen) {
    if (g.first) putField(g, name, std::strlen(name));
    g.first = false;
    putBytes(g, ",", 1);
    putBytes(g, field, fieldLen);
    if (escapedLen == 0) {
        putBytes(g, "\n", 1);
        return true;
    }
    size_t n = unescapeValue(value, escaped, escapedLen);
    const char *bytes = value;
    if (!t.utf8) {
        // Values come from CP932, so each has its exact form; still, only
        // one that reads back the same is written.
        if (utf8ToCp932(valueCp932, n + 1, value) < 0) return false;
        if (cp932ToUtf8(readBack, n + 1, valueCp932) < 0 || std::strcmp(readBack, value) != 0)
            return false;
        bytes = valueCp932;
        n = std::strlen(valueCp932);
    }
    putBytes(g, ",", 1);
    putField(g, bytes, n);
    putBytes(g, "\n", 1);
    return true;
}

// The place of an element's field in the table when the template lists the
// field, or -1.
int templateField(const EmojiElement &e) {
    int k = fieldRank(e.name, e.nameLen);
    return k < FIELD_COUNT && FIELDS[k].inTemplate ? k : -1;
}

// The lines of the group, in the text's order. A template field the text
// lacks goes right before the first template field after it that the text
// has, or else right after the last one it has (or first of all when it has
// none), so that further elements stay where the text has them.
bool putGroup(const TemplateOut &t, GroupWriter &g, const char *name, int count) {
    bool present[FIELD_COUNT] = {};
    int last = -1;  // the element that is the text's last template field
    for (int i = 0; i < count; i++) {
        int k = templateField(elements[i]);
        if (k >= 0) present[k] = true;
        if (k >= 0) last = i;
    }
    int placed = 0;  // template fields below this one are placed
    auto placeEmptyBelow = [&](int upTo) {
        for (; placed < upTo; placed++) {
            const char *f = FIELDS[placed].name;
            if (FIELDS[placed].inTemplate && !present[placed])
                putLine(t, g, name, f, std::strlen(f), "", 0);
        }
    };
    if (last < 0) placeEmptyBelow(FIELD_COUNT);
    bool exact = true;
    for (int i = 0; i < count; i++) {
        const EmojiElement &e = elements[i];
        int k = templateField(e);
        if (k > placed) placeEmptyBelow(k);
        exact = putLine(t, g, name, e.name, e.nameLen, e.value, e.valueLen) && exact;
        if (i == last) placeEmptyBelow(FIELD_COUNT);
    }
    return exact;
}

// Whether two of the text's elements have one name: a template group names
// each field once.
bool namesAnElementTwice(int count) {
    for (int i = 1; i < count; i++)
        for (int j = 0; j < i; j++)
            if (elements[i].nameLen == elements[j].nameLen &&
                std::memcmp(elements[i].name, elements[j].name, elements[i].nameLen) == 0)
                return true;
    return false;
}

// The picture's name in the template's encoding, or null.
const char *templateName(const TemplateOut &t, const char *listName) {
    if (!t.utf8) return listName;
    size_t cap = 3 * std::strlen(listName) + 1;
    return cp932ToUtf8(nameUtf8, cap, listName) >= 0 ? nameUtf8 : nullptr;
}

// A CP932 template reads back as CP932: where its bytes with the next group
// would read as anything else, its note row goes before that group.
void noteBefore(TemplateOut &t, FILE *out, const char *bytes, size_t n) {
    if (t.utf8 || t.noted) return;
    Utf8Scan next = t.written;
    scanUtf8(&next, bytes, n);
    if (encodingOfBytes(next) == FROM_CP932) {
        t.written = next;
        return;
    }
    std::fputs(CP932_NOTE_ROW, out);
    t.noted = true;
}

// Writes the group of one list line, or reports why it is left out.
void writeGroup(TemplateOut &t, FILE *out, ListReader &reader) {
    convertListText(&reader);
    const ListLine &line = reader.line;
    int lineNo = reader.lineNo;
    Shown shown;
    showListName(&shown, line.name);
    const char *problem = nullptr;
    int count = 0;
    const char *name = templateName(t, line.name);
    if (line.converted == QZ_CC_SUBSTITUTED) {
        problem = "bytes that are not CP932: left out";
    } else if (line.converted < 0) {
        problem = "the text is longer than emojitag converts: left out";
    } else if ((count = splitEmojiElements(line.utf8, std::strlen(line.utf8), EMOJI_EXACT, elements,
                                           ELEMENTS_MAX)) < 0) {
        problem = "the text is not an <emoji> element of simple elements: left out";
    } else if (namesAnElementTwice(count)) {
        problem = "the text has an element twice, which a template group cannot: left out";
    } else if (name == nullptr) {
        problem = "the name is not in CP932: left out";
    }
    GroupWriter g{0, false, true};
    if (problem == nullptr && (!putGroup(t, g, name, count) || g.full))
        problem = "the text has no exact form in the template: left out";
    if (problem != nullptr) {
        reportAt(t.source, lineNo, "%s: %s", shown.text, problem);
        t.left++;
        return;
    }
    noteBefore(t, out, group, g.used);
    std::fwrite(group, 1, g.used, out);
}

}  // namespace

int templateLinesOf(FILE *in, const char *source, bool utf8, FILE *out) {
    TemplateOut t{source, utf8, 0, startUtf8Scan(), false};
    static ListSpace space;
    ListReader reader;
    startListRead(&reader, in, listBuffersOf(&space));
    while (readListLine(&reader) > 0) {
        if (reader.line.type == PICTURE_NONE) {
            reportAt(source, reader.lineNo, "%s", refusalFinding(reader.line.refusal));
            t.left++;
            continue;
        }
        writeGroup(t, out, reader);
    }
    return t.left;
}

int templateFromList(const char *path, bool utf8, const char *outPath) {
    bool standardInput = std::strcmp(path, "-") == 0;
    const char *source = standardInput ? "standard input" : path;
    if (standardInput) readStandardInputAsBytes();
    FILE *in = standardInput ? stdin : openInput(path);
    if (in == nullptr) {
        reportFile(path, "cannot open");
        return EXIT_PROBLEM;
    }
    WholeFile out;
    if (!beginListOutput(&out, outPath)) {
        if (!standardInput) std::fclose(in);
        return EXIT_PROBLEM;
    }
    // Spreadsheets take a CSV file for UTF-8 by its byte-order mark.
    if (utf8) std::fputs(UTF8_BOM, out.stream);
    endWholeFilePreamble(&out);
    int left = templateLinesOf(in, source, utf8, out.stream);
    bool readOk = !std::ferror(in);
    if (!readOk) reportReadError(source);
    if (!standardInput) std::fclose(in);
    bool written = finishListOutput(&out, readOk);
    return readOk && written && left == 0 ? EXIT_OK : EXIT_PROBLEM;
}
