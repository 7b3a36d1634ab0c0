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

#include "companion_report.h"
#include "csv_record.h"
#include "emoji_elements.h"
#include "input_file.h"
#include "list_output.h"
#include "list_reader.h"
#include "list_text.h"
#include "show_text.h"
#include "table_to_list.h"
#include "template_run.h"
#include "template_source.h"

namespace {

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

void endGroup(TemplateRun &run) {
    if (run.open && endPicture(&run.picture, run.out) < 0) run.refused++;
    run.open = false;
}

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
    if (const char *utf8 = decodedCell(run, rec.extra)) {
        showUtf8(&cell, utf8, std::strlen(utf8));
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
