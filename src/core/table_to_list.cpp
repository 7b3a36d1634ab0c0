// table_to_list.cpp - the rows of a table become the lines of the emoji
// list. Each row is a picture's group for the template's run: its name cell
// begins the picture, each field cell is a field of it, in the order of the
// columns. The file is read twice: first for the rows each name is in, so
// that a picture in two rows gets no line from either.
#include "table_to_list.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "companion_report.h"
#include "csv_record.h"
#include "emoji_elements.h"
#include "list_text.h"
#include "show_text.h"
#include "template_run.h"
#include "template_source.h"

namespace {

constexpr int COLUMN_NOTE = 0;
constexpr int COLUMN_FIELD = 1;
constexpr int COLUMN_EMOJI = 2;

// The header's columns: the kind of each and a field's name.
struct Columns {
    int count;
    int kind[ROW_CELLS_MAX];
    const char *name[ROW_CELLS_MAX];
    char names[RECORD_MAX + ROW_CELLS_MAX];
};

Columns columns;
CsvRow row;

// The rows each name is in, the first two: an open-addressing hash table
// over the names as written, kept in one block.
struct NameRows {
    uint32_t offset;
    uint32_t length;
    int first;
    int second;
};

struct NameTable {
    std::vector<char> bytes;
    std::vector<NameRows> names;
    std::vector<int32_t> slots;  // an index into names, or -1
};

uint32_t hashName(const char *s, size_t len) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < len; i++)
        h = (h ^ static_cast<unsigned char>(s[i])) * 16777619u;
    return h;
}

// The slot of the name, or of the place it would take.
size_t slotOf(const NameTable &t, const char *s, size_t len) {
    size_t mask = t.slots.size() - 1;
    for (size_t i = hashName(s, len) & mask;; i = (i + 1) & mask) {
        int32_t at = t.slots[i];
        if (at < 0) return i;
        const NameRows &n = t.names[static_cast<size_t>(at)];
        if (n.length == len && std::memcmp(t.bytes.data() + n.offset, s, len) == 0) return i;
    }
}

void growNames(NameTable &t) {
    std::vector<int32_t> old;
    old.swap(t.slots);
    t.slots.assign(old.empty() ? 1024 : 2 * old.size(), -1);
    for (size_t i = 0; i < t.names.size(); i++) {
        const NameRows &n = t.names[i];
        t.slots[slotOf(t, t.bytes.data() + n.offset, n.length)] = static_cast<int32_t>(i);
    }
}

void noteName(NameTable &t, const CsvField &name, int line) {
    if (2 * (t.names.size() + 1) > t.slots.size()) growNames(t);
    size_t slot = slotOf(t, name.bytes, name.length);
    if (t.slots[slot] >= 0) {
        NameRows &n = t.names[static_cast<size_t>(t.slots[slot])];
        if (n.second == 0) n.second = line;
        return;
    }
    t.slots[slot] = static_cast<int32_t>(t.names.size());
    t.names.push_back(
        {static_cast<uint32_t>(t.bytes.size()), static_cast<uint32_t>(name.length), line, 0});
    t.bytes.insert(t.bytes.end(), name.bytes, name.bytes + name.length);
}

// The other row of a name in two rows, or 0.
int otherRow(const NameTable &t, const CsvField &name, int line) {
    int32_t at = t.slots[slotOf(t, name.bytes, name.length)];
    if (at < 0) return 0;
    const NameRows &n = t.names[static_cast<size_t>(at)];
    if (n.second == 0) return 0;
    return line == n.first ? n.second : n.first;
}

const char *rowFaultText(int fault) {
    switch (fault) {
        case RECORD_TOO_LONG:
            return "the row is too long for a list line";
        case RECORD_OPEN_QUOTE:
            return "a double quote is not closed before the end of the file";
        case RECORD_AFTER_QUOTE:
            return "text after a closing double quote";
        default:
            return "more cells than a row may have";
    }
}

bool isEmpty(const CsvField &f) {
    return f.length == 0;
}

// Reads the header row into `columns`; false, reported, when a column is
// neither a field, the emoji column nor a note.
bool readHeader(CsvReader &reader, const char *source) {
    if (!readCsvRow(&reader, &row)) return false;
    if (row.fault != RECORD_OK) {
        reportAt(source, row.line, "%s; the table is not read", rowFaultText(row.fault));
        return false;
    }
    columns.count = row.cells;
    size_t used = 0;
    for (int i = 1; i < row.cells; i++) {
        const CsvField &h = row.cell[i];
        columns.name[i] = columns.names + used;
        std::memcpy(columns.names + used, h.bytes, h.length + 1);
        used += h.length + 1;
        Shown shown;
        showBytes(&shown, h.bytes, h.length);
        if (h.length == 0 || h.bytes[0] == NOTE_MARK) {
            columns.kind[i] = COLUMN_NOTE;
        } else if (std::strcmp(h.bytes, TABLE_TEXT_COLUMN) == 0) {
            columns.kind[i] = COLUMN_EMOJI;
        } else if (!isElementName(h.bytes, h.length) || std::strlen(h.bytes) != h.length) {
            reportAt(source, row.line,
                     "column %d: \"%s\": not a field name (letters, digits and _), emoji or a "
                     "note (empty or #...); the table is not read",
                     i + 1, shown.text);
            return false;
        } else {
            columns.kind[i] = COLUMN_FIELD;
        }
        for (int j = 1; j < i; j++)
            if (columns.kind[i] != COLUMN_NOTE && columns.kind[j] == columns.kind[i] &&
                std::strcmp(columns.name[j], columns.name[i]) == 0) {
                reportAt(source, row.line,
                         "column %d: \"%s\": also column %d; the table is not read", i + 1,
                         shown.text, j + 1);
                return false;
            }
    }
    return true;
}

// A row with nothing in a column that is not a note.
bool isBlankRow() {
    for (int i = 0; i < row.cells; i++)
        if (!isEmpty(row.cell[i]) &&
            (i == 0 || i >= columns.count || columns.kind[i] != COLUMN_NOTE))
            return false;
    return true;
}

// How messages name column `i`: by its field, else by its number.
const char *columnName(int i, char (&out)[32]) {
    if (i > 0 && i < columns.count && columns.kind[i] == COLUMN_FIELD) return columns.name[i];
    if (i == 0) return TABLE_FILE_COLUMN;
    if (i < columns.count && columns.kind[i] == COLUMN_EMOJI) return TABLE_TEXT_COLUMN;
    std::snprintf(out, sizeof out, "column %d", i + 1);
    return out;
}

struct TableCounts {
    int pictures;
    int lines;
    int empty;
    int refused;
};

// The cells of the row's picture, the picture begun.
void addCells(TemplateRun &run) {
    PictureLine *p = &run.picture;
    int emoji = 0;
    bool fields = false;
    for (int i = 1; i < row.cells; i++) {
        const CsvField &cell = row.cell[i];
        if (isEmpty(cell)) continue;
        if (i >= columns.count) {
            reportPictureFault(p, row.line, false, "column %d: a cell under no header", i + 1);
            return refusePicture(p);
        }
        if (columns.kind[i] == COLUMN_NOTE) continue;
        const char *name = columns.kind[i] == COLUMN_EMOJI ? TABLE_TEXT_COLUMN : columns.name[i];
        if (run.encoding == FROM_CP932 && std::memchr(cell.bytes, '?', cell.length) != nullptr)
            reportAt(run.source, row.line,
                     "%s: %s: a character the spreadsheet could not save in CP932? save as CSV "
                     "UTF-8",
                     p->name.text, name);
        if (columns.kind[i] == COLUMN_EMOJI) {
            emoji = i;
            continue;
        }
        fields = true;
        CsvRecord rec{row.line, {"", 0}, {name, std::strlen(name)}, cell, RECORD_OK, {"", 0}};
        addField(run, rec);
    }
    if (emoji != 0 && fields) {
        reportPictureFault(p, row.line, false, "%s: a whole text beside fields", TABLE_TEXT_COLUMN);
        refusePicture(p);
    } else if (emoji != 0) {
        const char *text = decodedValue(run, row.line, TABLE_TEXT_COLUMN, row.cell[emoji]);
        if (text != nullptr)
            setPictureText(p, row.line, TABLE_TEXT_COLUMN, text, std::strlen(text));
    }
}

void handleRow(TemplateRun &run, const NameTable &names, const TableRows &rows,
               TableCounts &counts) {
    if (row.fault == RECORD_OK && isBlankRow()) return;
    counts.pictures++;
    const CsvField &name = row.cell[0];
    if (isEmpty(name)) {
        reportAt(run.source, row.line, "%s: empty; the values of this row get no line",
                 TABLE_FILE_COLUMN);
        counts.refused++;
        rows.refused(rows.user, row.line, name.bytes);
        return;
    }
    CsvRecord rec{row.line, name, {"", 0}, {"", 0}, RECORD_OK, {"", 0}};
    startPicture(run, rec);
    int other = otherRow(names, name, row.line);
    if (row.fault != RECORD_OK) {
        char column[32];
        reportPictureFault(&run.picture, row.line, false, "%s: %s",
                           columnName(row.faultCell, column), rowFaultText(row.fault));
        refusePicture(&run.picture);
    } else if (other != 0) {
        reportPictureFault(&run.picture, row.line, false, "also in row %d", other);
        refusePicture(&run.picture);
    } else if (!run.picture.refused) {
        addCells(run);
    }
    size_t len = 0;
    int written = closePicture(&run.picture, &len);
    if (written > 0) {
        counts.lines++;
        rows.line(rows.user, row.line, run.picture.text->line, len);
    }
    if (written == 0) counts.empty++;
    if (written < 0) {
        counts.refused++;
        rows.refused(rows.user, row.line, name.bytes);
    }
}

void writeLine(void *user, int, const char *bytes, size_t len) {
    std::fwrite(bytes, 1, len, static_cast<FILE *>(user));
}

void refusedRow(void *, int, const char *) {}

}  // namespace

bool headStartsTable(const char *head, size_t n) {
    size_t skip = n > 0 && head[0] == '"' ? 1 : 0;
    size_t len = sizeof TABLE_FILE_COLUMN - 1;
    if (n < skip + len || std::memcmp(head + skip, TABLE_FILE_COLUMN, len) != 0) return false;
    char after = n > skip + len ? head[skip + len] : '\n';
    return skip == 1 ? after == '"' : after == ',' || after == '\r' || after == '\n';
}

bool startsTable(FILE *in) {
    char head[sizeof TABLE_FILE_COLUMN + 2] = {};
    long at = std::ftell(in);
    size_t n = std::fread(head, 1, sizeof head - 1, in);
    if (at < 0 || std::fseek(in, at, SEEK_SET) != 0) return false;
    return headStartsTable(head, n);
}

int listTableRows(FILE *in, const char *source, int encoding, FILE *out, bool summary) {
    return readTableRows(in, source, encoding, TableRows{out, writeLine, refusedRow}, summary);
}

int readTableRows(FILE *in, const char *source, int encoding, const TableRows &rows, bool summary) {
    long start = std::ftell(in);
    CsvReader reader{in, 1};
    if (!readHeader(reader, source)) return 1;
    // The rows each name is in.
    NameTable names;
    growNames(names);
    while (readCsvRow(&reader, &row))
        if (!isEmpty(row.cell[0])) noteName(names, row.cell[0], row.line);
    if (std::ferror(in) || std::fseek(in, start, SEEK_SET) != 0) return 1;
    reader = CsvReader{in, 1};
    readCsvRow(&reader, &row);  // the header, read already
    TemplateRun run{source, encoding, nullptr, false, {}, 0};
    run.picture.namesPicture = true;
    TableCounts counts{};
    while (readCsvRow(&reader, &row))
        handleRow(run, names, rows, counts);
    if (summary)
        reportRun("%d picture%s: %d line%s, %d empty, %d refused", counts.pictures,
                  counts.pictures == 1 ? "" : "s", counts.lines, counts.lines == 1 ? "" : "s",
                  counts.empty, counts.refused);
    return counts.refused;
}
