// template_to_list.cpp - emojitag-list TEMPLATE.csv: the groups of a
// filled-in template become the lines of the emoji list. A group begins at a
// record with a name; records with an empty first column belong to it, their
// second column names the field and the third holds its value. A group that
// names a field twice (a sorted template), a field before any picture and
// text in a column after the value are refused: each would give a picture
// what another one's rows hold.
#include "list_modes.h"

#include <cstdio>
#include <cstring>

#include "csv_record.h"
#include "emoji_elements.h"
#include "image_formats.h"
#include "input_file.h"
#include "list_name.h"
#include "list_reader.h"
#include "list_report.h"
#include "list_text.h"
#include "platform_file.h"
#include "show_text.h"
#include "table_to_list.h"
#include "template_run.h"
#include "template_source.h"
#include "text_cp932.h"
#include "text_utf8.h"

namespace {

// A value longer than this cannot be in a list line: in CP932 as it is, in
// UTF-8 three times as long at most.
constexpr size_t CP932_VALUE_MAX = READER_LINE_MAX;
constexpr size_t UTF8_VALUE_MAX = 3 * READER_LINE_MAX;

// A name or value decoded to UTF-8: three bytes at most for each byte of a
// CP932 text.
char decoded[UTF8_VALUE_MAX + 1];
char nameCp932[READER_LINE_MAX + 1];
char elementName[RECORD_MAX + 1];
PictureText pictureText;

// The fields the open group has named so far, with their lines, to find one
// named twice. More than a list line can fill: a field left empty costs
// nothing.
constexpr int GROUP_FIELDS_MAX = 4096;
struct GroupFields {
    char names[RECORD_MAX + GROUP_FIELDS_MAX];
    size_t start[GROUP_FIELDS_MAX];
    int line[GROUP_FIELDS_MAX];
    size_t used;
    int count;
    bool repeated;  // a field named twice was reported: a sorted group says it once
};
GroupFields groupFields;

size_t valueMax(const TemplateRun &run) {
    return run.encoding == FROM_UTF8 ? UTF8_VALUE_MAX : CP932_VALUE_MAX;
}

bool holdsNul(const CsvField &f) {
    return std::strlen(f.bytes) < f.length;
}

// The field decoded to UTF-8 in `decoded`; false when its bytes are not in
// the template's encoding.
bool decodeField(const TemplateRun &run, const CsvField &f) {
    if (f.length > valueMax(run)) return false;
    if (run.encoding == FROM_UTF8) {
        if (!isUtf8(f.bytes, f.length)) return false;
        std::memcpy(decoded, f.bytes, f.length + 1);
        return true;
    }
    return cp932ToUtf8(decoded, 3 * f.length + 1, f.bytes) >= 0;
}

// The first bytes of a field that are not in the template's encoding, as
// "0x85 0x40".
const char *badBytes(const TemplateRun &run, const CsvField &f, char *out, size_t cap) {
    size_t i = 0;
    size_t n = 1;
    while (i < f.length) {
        uint32_t cp;
        if (run.encoding == FROM_UTF8) {
            n = decodeUtf8Char(f.bytes + i, f.length - i, &cp);
            if (n == 0) {
                n = 1;
                break;
            }
        } else {
            n = cp932CharLength(f.bytes + i, f.length - i);
            char one[3] = {};
            char utf8[8];
            std::memcpy(one, f.bytes + i, n);
            if (cp932ToUtf8(utf8, sizeof utf8, one) < 0) break;
        }
        i += n;
    }
    auto b = reinterpret_cast<const unsigned char *>(f.bytes + i);
    if (n == 2) {
        std::snprintf(out, cap, "0x%02X 0x%02X", b[0], b[1]);
    } else {
        std::snprintf(out, cap, "0x%02X", b[0]);
    }
    return out;
}

const char *encodingName(const TemplateRun &run) {
    return run.encoding == FROM_UTF8 ? "UTF-8" : "CP932";
}

// A CP932 spelling leads elsewhere when it names a file of its own, another
// than the one the UTF-8 name names: emojitag would take that file.
bool leadsElsewhere(const char *cp932, const char *utf8) {
    FileInfo a;
    FileInfo b;
    return pathFileInfo(cp932, &a) == 0 && pathFileInfo(utf8, &b) == 0 && !sameIdentity(a.id, b.id);
}

// The name the list gets: CP932 when the name converts exactly and leads to
// the same file, otherwise as it stands in the template (reported).
const char *listNameOf(const TemplateRun &run, const CsvRecord &rec, bool decodedOk,
                       const char *shown) {
    const char *raw = rec.name.bytes;
    const char *problem = nullptr;
    const char *name = raw;
    if (!decodedOk) {
        problem = "the name is not in CP932: written as it stands";
    } else if (run.encoding == FROM_UTF8 && hasHighBytes(raw, rec.name.length)) {
        bool exact = utf8ToCp932(nameCp932, rec.name.length + 1, raw) >= 0 &&
                     cp932ToUtf8(decoded, 3 * rec.name.length + 1, nameCp932) >= 0 &&
                     std::strcmp(decoded, raw) == 0;
        if (!exact) {
            problem = "the name is not in CP932: written as it stands";
        } else if (leadsElsewhere(nameCp932, raw)) {
            problem = "the CP932 spelling of the name names another file: written as it stands";
        } else {
            name = nameCp932;
        }
    }
    if (problem != nullptr) reportAt(run.source, rec.line, "%s: %s", shown, problem);
    return name;
}

}  // namespace

void startPicture(TemplateRun &run, const CsvRecord &rec) {
    run.open = true;
    Shown shown;
    bool decodedOk = !holdsNul(rec.name) && decodeField(run, rec.name);
    if (decodedOk) {
        showUtf8(&shown, decoded, std::strlen(decoded));
    } else {
        showBytes(&shown, rec.name.bytes, rec.name.length);
    }
    const char *raw = rec.name.bytes;
    int type = imageTypeOfName(raw);
    const char *problem = nullptr;
    char notImageName[96];
    if (!canListName(raw, rec.name.length)) {
        problem = "a list line cannot hold this name (a comma, a line break or a leading blank)";
    } else if (std::strncmp(raw, UTF8_BOM, UTF8_BOM_SIZE) == 0) {
        // A mark where the text begins (inside quotes, say) is no part of a
        // name, and in a list line it reads as a mark on the list.
        problem = "the name begins with a byte-order mark";
    } else if (rec.name.length > READER_LINE_MAX) {
        problem = "the name is too long for a list line";
    } else if (type == PICTURE_NONE) {
        char suffixes[64];
        std::snprintf(notImageName, sizeof notImageName, "not a %s name",
                      listImageSuffixes(suffixes, sizeof suffixes));
        problem = notImageName;
    }
    if (problem != nullptr) {
        // A refused picture is of no format: its fields are still checked,
        // with no format's limits.
        beginPicture(&run.picture, &pictureText, run.source, rec.line, PICTURE_NONE, "",
                     shown.text);
        reportPictureFault(&run.picture, rec.line, true, "%s", problem);
        return refusePicture(&run.picture);
    }
    const char *name = listNameOf(run, rec, decodedOk, shown.text);
    beginPicture(&run.picture, &pictureText, run.source, rec.line, type, name, shown.text);
}

namespace {

void endGroup(TemplateRun &run) {
    if (run.open && endPicture(&run.picture, run.out) < 0) run.refused++;
    run.open = false;
}

}  // namespace

void addField(TemplateRun &run, const CsvRecord &rec) {
    const CsvField &element = rec.element;
    const CsvField &value = rec.value;
    if (element.length == 0 && value.length == 0) return;
    Shown shown;
    if (!isElementName(element.bytes, element.length)) {
        if (element.length == 0) {
            reportPictureFault(&run.picture, rec.line, false, "a value without a field name");
        } else {
            showBytes(&shown, element.bytes, element.length);
            reportPictureFault(&run.picture, rec.line, false,
                               "\"%s\": not a field name (letters, digits and _, not emoji)",
                               shown.text);
        }
        return refusePicture(&run.picture);
    }
    std::memcpy(elementName, element.bytes, element.length + 1);
    if (value.length == 0) return;  // left empty
    const char *utf8 = decodedValue(run, rec.line, elementName, value);
    if (utf8 != nullptr)
        addPictureField(&run.picture, rec.line, elementName, utf8, std::strlen(utf8));
}

const char *decodedValue(TemplateRun &run, int line, const char *column, const CsvField &value) {
    const char *problem = nullptr;
    char bytes[16];
    if (holdsNul(value)) {
        problem = "the value holds a zero byte";
    } else if (value.length > valueMax(run)) {
        problem = "the value is too long for a list line";
    } else if (!decodeField(run, value)) {
        reportPictureFault(&run.picture, line, false, "%s: bytes that are not %s: %s", column,
                           encodingName(run), badBytes(run, value, bytes, sizeof bytes));
        refusePicture(&run.picture);
        return nullptr;
    } else if (std::strpbrk(decoded, "\r\n") != nullptr) {
        problem = "the value holds a line break";
    }
    if (problem != nullptr) {
        reportPictureFault(&run.picture, line, false, "%s: %s", column, problem);
        refusePicture(&run.picture);
        return nullptr;
    }
    return decoded;
}

namespace {

const char *faultText(int fault) {
    switch (fault) {
        case RECORD_TOO_LONG:
            return "the line is too long for a list line";
        case RECORD_OPEN_QUOTE:
            return "a double quote is not closed before the end of the file";
        case RECORD_AFTER_QUOTE:
            return "text after a closing double quote";
        default:
            return "text in a column after the value";
    }
}

// Keeps the field the record names in the open group; false, refused, when
// the group named it before or cannot keep one more.
bool keepFieldName(TemplateRun &run, const CsvRecord &rec) {
    const char *name = rec.element.bytes;
    size_t len = rec.element.length;
    GroupFields &g = groupFields;
    for (int i = 0; i < g.count; i++) {
        if (std::strcmp(g.names + g.start[i], name) != 0) continue;
        if (!g.repeated)
            reportPictureFault(
                &run.picture, rec.line, false,
                "%s: the field is named twice in this picture's group (lines %d and %d)", name,
                g.line[i], rec.line);
        g.repeated = true;
        refusePicture(&run.picture);
        return false;
    }
    if (g.count == GROUP_FIELDS_MAX || g.used + len + 1 > sizeof g.names) {
        reportPictureFault(&run.picture, rec.line, false, "%s: more than %d fields in one group",
                           name, GROUP_FIELDS_MAX);
        refusePicture(&run.picture);
        return false;
    }
    g.start[g.count] = g.used;
    g.line[g.count++] = rec.line;
    std::memcpy(g.names + g.used, name, len + 1);
    g.used += len + 1;
    return true;
}

// A record that cannot be read as a field of the open group: its field,
// when it names one, what is wrong, and the column after the value that
// has text.
void refuseFault(TemplateRun &run, const CsvRecord &rec) {
    Shown field;
    const char *sep = "";
    field.text[0] = '\0';
    if (isElementName(rec.element.bytes, rec.element.length)) {
        showBytes(&field, rec.element.bytes, rec.element.length);
        sep = ": ";
    }
    if (rec.fault != RECORD_EXTRA_COLUMN) {
        reportPictureFault(&run.picture, rec.line, false, "%s%s%s", field.text, sep,
                           faultText(rec.fault));
        return refusePicture(&run.picture);
    }
    Shown cell;
    if (!holdsNul(rec.extra) && decodeField(run, rec.extra)) {
        showUtf8(&cell, decoded, std::strlen(decoded));
    } else {
        showBytes(&cell, rec.extra.bytes, rec.extra.length);
    }
    reportPictureFault(&run.picture, rec.line, false, "%s%s%s: \"%s\"", field.text, sep,
                       faultText(rec.fault), cell.text);
    refusePicture(&run.picture);
}

// A note row: a first cell that begins with the mark and names no picture,
// and nothing else.
bool isNoteRow(const CsvRecord &rec) {
    return rec.fault == RECORD_OK && rec.name.length > 0 && rec.name.bytes[0] == NOTE_MARK &&
           rec.element.length == 0 && rec.value.length == 0 &&
           imageTypeOfName(rec.name.bytes) == PICTURE_NONE;
}

void handleRecord(TemplateRun &run, const CsvRecord &rec) {
    bool blank = rec.name.length == 0 && rec.element.length == 0 && rec.value.length == 0;
    if (rec.fault == RECORD_OK && blank) return;  // an empty row
    if (isNoteRow(rec)) return;
    if (rec.name.length > 0) {
        endGroup(run);
        startPicture(run, rec);
        groupFields.used = 0;
        groupFields.count = 0;
        groupFields.repeated = false;
    } else if (!run.open) {
        Shown field;
        if (isElementName(rec.element.bytes, rec.element.length)) {
            reportAt(run.source, rec.line, "%s: a field before the first picture's name",
                     showBytes(&field, rec.element.bytes, rec.element.length));
        } else {
            reportAt(run.source, rec.line, "a field before the first picture's name");
        }
        run.refused++;
        return;
    }
    if (rec.fault != RECORD_OK) return refuseFault(run, rec);
    if (isElementName(rec.element.bytes, rec.element.length) && !keepFieldName(run, rec)) return;
    addField(run, rec);
}

}  // namespace

int listTemplateRecords(FILE *in, const char *source, int encoding, FILE *out) {
    TemplateRun run{source, encoding, out, false, {}, 0};
    // A fault names the picture and says that it gets no line.
    run.picture.namesPicture = true;
    CsvReader reader{in, 1};
    CsvRecord rec;
    while (readCsvRecord(&reader, &rec))
        handleRecord(run, rec);
    // A template cut by a read error ends in a group that may lack fields:
    // it is neither judged nor written.
    if (!std::ferror(in)) endGroup(run);
    return run.refused;
}

int listFromTemplate(const char *path, int from, const char *outPath) {
    FILE *in = openInput(path);  // never waits on a FIFO
    if (in == nullptr) {
        reportFile(path, "cannot open");
        return EXIT_PROBLEM;
    }
    int encoding = templateEncoding(in, path, from);
    WholeFile out;
    if (encoding < 0 || !beginListOutput(&out, outPath)) {
        std::fclose(in);
        return EXIT_PROBLEM;
    }
    // A table (a header row, one row per picture) or the seven-row template.
    int refused = startsTable(in)
                      ? listTableRows(in, path, encoding, out.stream, outPath != nullptr)
                      : listTemplateRecords(in, path, encoding, out.stream);
    bool readOk = !std::ferror(in);
    if (!readOk) reportReadError(path);
    std::fclose(in);
    // A template that could not be read whole leaves an old list as it was.
    bool written = finishListOutput(&out, readOk);
    return readOk && written && refused == 0 ? EXIT_OK : EXIT_PROBLEM;
}
