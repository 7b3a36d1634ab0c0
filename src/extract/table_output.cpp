// table_output.cpp - the table output (--table): one row per picture found,
// with a text or not, for a spreadsheet. Its columns: the picture's path,
// the template's fields (field_table.h), every further element name in the
// order first met, and, when some text is no plain sequence of elements, a
// last column "emoji" that holds such a text whole. Cells hold the values as
// plain text; UTF-8 with its mark, or CP932; CR LF; quoted as spreadsheets
// quote. The header needs every name before the first row, so the rows are
// kept, as their cells will be written, until the run is done.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "emoji_elements.h"
#include "extract.h"
#include "field_table.h"
#include "list_reader.h"
#include "platform_console.h"
#include "qz_cc_api.h"
#include "set_table.h"
#include "text_cp932.h"
#include "text_utf8.h"

namespace {

// A text's elements: the shortest element takes 8 bytes.
constexpr int ELEMENTS_MAX = static_cast<int>(EMOJI_TEXT_MAX / 8 + 1);
EmojiElement elements[ELEMENTS_MAX];
// Columns beyond the template's, and the bytes of their names.
constexpr int EXTRA_MAX = 1024;
constexpr size_t EXTRA_NAMES_SIZE = 64 * 1024;
constexpr int COLUMNS_MAX = FIELD_COUNT + EXTRA_MAX;

// How a row's text is kept.
constexpr uint32_t ROW_NO_TEXT = 0;
constexpr uint32_t ROW_ELEMENTS = 1;  // a plain sequence of elements, a cell each
constexpr uint32_t ROW_WHOLE = 2;     // in the column "emoji"

// A row in the store: this head, then the name's and the text's bytes, both
// in the table's encoding.
struct RowHead {
    uint32_t nameLen;
    uint32_t textLen;
    uint32_t kind;
};

// The rows kept until the run is done; it grows by doubling.
struct RowStore {
    char *bytes;
    size_t used;
    size_t cap;
};

struct TableOutput {
    ExtractRun *run;
    bool cp932;
    RowStore rows;
    // The template's columns: the place of each field of the table, or -1.
    int fieldColumn[FIELD_COUNT];
    int fixedCount;
    // Further element names, in the order first met.
    const char *extraName[EXTRA_MAX];
    size_t extraLen[EXTRA_MAX];
    int extraCount;
    char extraNames[EXTRA_NAMES_SIZE];
    size_t extraNamesUsed;
    bool wholeColumn;  // some text is kept whole
};
TableOutput table;

// Scratch of one picture or one row, refilled by each.
char cp932Text[EMOJI_TEXT_MAX + 1];
char nameUtf8[3 * LINE_BUF_SIZE];
char cellValue[EMOJI_TEXT_MAX + 1];
char reason[160];
const EmojiElement *rowCell[COLUMNS_MAX];

constexpr size_t OUT_BUF_SIZE = 64 * 1024;
char outBuf[OUT_BUF_SIZE];

bool storeRow(RowStore &s, const char *name, size_t nameLen, const char *text, size_t textLen,
              uint32_t kind) {
    size_t need = sizeof(RowHead) + nameLen + textLen;
    if (s.cap - s.used < need) {
        size_t cap = s.cap == 0 ? 1024 * 1024 : s.cap;
        while (cap - s.used < need)
            cap *= 2;
        char *bytes = static_cast<char *>(std::realloc(s.bytes, cap));
        if (bytes == nullptr) return false;
        s.bytes = bytes;
        s.cap = cap;
    }
    RowHead head{static_cast<uint32_t>(nameLen), static_cast<uint32_t>(textLen), kind};
    std::memcpy(s.bytes + s.used, &head, sizeof head);
    std::memcpy(s.bytes + s.used + sizeof head, name, nameLen);
    std::memcpy(s.bytes + s.used + sizeof head + nameLen, text, textLen);
    s.used += need;
    return true;
}

// The column of an element name: a template field's, or a further one's
// (added when `add`); -1 when it has none.
int columnOf(TableOutput &t, const char *name, size_t len, bool add) {
    int rank = fieldRank(name, len);
    if (rank < FIELD_COUNT && t.fieldColumn[rank] >= 0) return t.fieldColumn[rank];
    for (int i = 0; i < t.extraCount; i++)
        if (t.extraLen[i] == len && std::memcmp(t.extraName[i], name, len) == 0)
            return t.fixedCount + i;
    if (!add || t.extraCount == EXTRA_MAX || EXTRA_NAMES_SIZE - t.extraNamesUsed < len) return -1;
    char *kept = t.extraNames + t.extraNamesUsed;
    std::memcpy(kept, name, len);
    t.extraNamesUsed += len;
    t.extraName[t.extraCount] = kept;
    t.extraLen[t.extraCount] = len;
    return t.fixedCount + t.extraCount++;
}

// The picture's name in the table, or null (reported): the name its list
// line would write, in UTF-8 for a UTF-8 table.
const char *tableName(TableOutput &t, const char *path) {
    const char *listed = listLineName(*t.run, path, true);
    if (listed == nullptr || t.cp932) return listed;
    if (isUtf8(path, std::strlen(path))) return path;
    // In the local code page already: the list line keeps it as it is.
    if (cp932ToUtf8(nameUtf8, sizeof nameUtf8, path) >= 0) return nameUtf8;
    report(*t.run, path, "name has characters not in CP932; no row for this picture");
    return nullptr;
}

// Whether a text read as elements can be a row of cells: each name once;
// else it is kept whole. The elements are left in `elements`.
int splitForCells(const char *text, size_t len) {
    int count = splitEmojiElements(text, len, EMOJI_EXACT, elements, ELEMENTS_MAX);
    for (int i = 1; i < count; i++)
        for (int j = 0; j < i; j++)
            if (elements[i].nameLen == elements[j].nameLen &&
                std::memcmp(elements[i].name, elements[j].name, elements[i].nameLen) == 0)
                return -1;
    return count > 0 ? count : -1;
}

// Whether the `count` elements come in the order of their columns (a name not
// met before taking the next new column), so that the row read back gives
// the same text; one that does not is kept whole.
bool inColumnOrder(TableOutput &t, int count) {
    int next = t.fixedCount + t.extraCount;
    int before = -1;
    for (int i = 0; i < count; i++) {
        int column = columnOf(t, elements[i].name, elements[i].nameLen, false);
        if (column < 0) column = next++;
        if (column <= before) return false;
        before = column;
    }
    return true;
}

// Keeps the row of the picture at `path` whose text is in the run's text,
// or reports why the table cannot carry it.
void keepRow(TableOutput &t, const char *path) {
    ExtractRun &run = *t.run;
    const char *name = tableName(t, path);
    if (name == nullptr) return;
    const char *text = run.text.bytes;
    size_t len = run.text.len;
    if (std::strlen(text) != len)
        return report(run, path, "text holds a zero byte; no row for this picture");
    if (t.cp932 && len > 0) {
        if (utf8ToCp932(cp932Text, sizeof cp932Text, text) < 0)
            return report(run, path, "characters not in CP932; no row for this picture");
        text = cp932Text;
        len = std::strlen(cp932Text);
    } else if (!isUtf8(text, len)) {
        return report(run, path, "text is not UTF-8; no row for this picture");
    }

    uint32_t kind = ROW_NO_TEXT;
    if (len > 0) {
        int count = splitForCells(text, len);
        kind = count > 0 && inColumnOrder(t, count) ? ROW_ELEMENTS : ROW_WHOLE;
        if (kind == ROW_WHOLE) count = 0;
        // A cell with a line end could never come back as a list value.
        for (int i = 0; i < count; i++) {
            const EmojiElement &e = elements[i];
            if (std::memchr(e.value, '\r', e.valueLen) || std::memchr(e.value, '\n', e.valueLen)) {
                std::snprintf(reason, sizeof reason,
                              "%.*s: value holds a line break; no row for this picture",
                              static_cast<int>(e.nameLen), e.name);
                return report(run, path, reason);
            }
        }
        if (kind == ROW_WHOLE && std::strpbrk(text, "\r\n") != nullptr)
            return report(run, path, "text holds a line break; no row for this picture");
        for (int i = 0; i < count; i++)
            if (columnOf(t, elements[i].name, elements[i].nameLen, true) < 0)
                return report(run, path, "too many fields for one table; no row for this picture");
    }
    if (!storeRow(t.rows, name, std::strlen(name), text, len, kind))
        return report(run, path, "no memory left for the table; no row for this picture");
    if (kind != ROW_WHOLE) return;
    t.wholeColumn = true;
    note(run, path,
         "not a plain sequence of elements in the table's column order: the whole text in column "
         "emoji");
}

int takePicture(void *user, const char *path, int imgType) {
    TableOutput &t = *static_cast<TableOutput *>(user);
    int result = readEmojiText(t.run->text, path, imgType);
    if (result != TEXT_FOUND && result != TEXT_NONE) return result;
    keepRow(t, path);
    return TEXT_FOUND;  // a picture without text has its row too
}

// A cell, in double quotes with doubled quotes inside where it needs them.
void putCell(FILE *out, const char *s, size_t n) {
    if (!tableCellNeedsQuotes(s, n)) {
        std::fwrite(s, 1, n, out);
        return;
    }
    std::fputc('"', out);
    for (size_t i = 0; i < n; i++) {
        if (s[i] == '"') std::fputc('"', out);
        std::fputc(s[i], out);
    }
    std::fputc('"', out);
}

void putHeader(const TableOutput &t, FILE *out) {
    std::fputs(TABLE_FILE_COLUMN, out);
    for (const Field &f : FIELDS)
        if (f.inTemplate) std::fprintf(out, ",%s", f.name);
    for (int i = 0; i < t.extraCount; i++) {
        std::fputc(',', out);
        std::fwrite(t.extraName[i], 1, t.extraLen[i], out);
    }
    if (t.wholeColumn) std::fprintf(out, ",%s", TABLE_TEXT_COLUMN);
    std::fputs("\r\n", out);
}

// Writes the row at `at` in the store; the place of the next one.
size_t putRow(TableOutput &t, FILE *out, size_t at) {
    RowHead head;
    std::memcpy(&head, t.rows.bytes + at, sizeof head);
    const char *name = t.rows.bytes + at + sizeof head;
    const char *text = name + head.nameLen;
    int columns = t.fixedCount + t.extraCount;
    std::memset(rowCell, 0, sizeof rowCell[0] * static_cast<size_t>(columns));
    int count = head.kind == ROW_ELEMENTS ? splitForCells(text, head.textLen) : 0;
    for (int i = 0; i < count; i++)
        rowCell[columnOf(t, elements[i].name, elements[i].nameLen, false)] = &elements[i];
    putCell(out, name, head.nameLen);
    for (int c = 0; c < columns; c++) {
        std::fputc(',', out);
        if (rowCell[c] == nullptr) continue;
        putCell(out, cellValue, unescapeValue(cellValue, rowCell[c]->value, rowCell[c]->valueLen));
    }
    if (t.wholeColumn) std::fputc(',', out);
    if (head.kind == ROW_WHOLE) putCell(out, text, head.textLen);
    std::fputs("\r\n", out);
    return at + sizeof head + head.nameLen + head.textLen;
}

int finishTable(void *user, int status) {
    TableOutput &t = *static_cast<TableOutput *>(user);
    ExtractRun &run = *t.run;
    FILE *out = run.listFile.stream;
    if (!t.cp932) std::fputs(UTF8_BOM, out);
    putHeader(t, out);
    // A table of no picture is no content: an old table stays.
    endWholeFilePreamble(&run.listFile);
    for (size_t at = 0; at < t.rows.used;)
        at = putRow(t, out, at);
    std::free(t.rows.bytes);
    t.rows = RowStore{nullptr, 0, 0};

    int why = 0;
    int result = finishWholeFile(&run.listFile, &why);
    const char *path = run.listFile.path ? run.listFile.path : "standard output";
    if (result == WHOLE_EMPTY) report(run, path, "no picture found, table left as it was");
    if (result == WHOLE_FAILED) report(run, path, cannotWrite(why));
    return result == WHOLE_DONE ? status : EXIT_PROBLEM;
}

void noLines(void *, const ListLine &, const LineResult &) {}

}  // namespace

bool beginTableOutput(ExtractOutput &out, ExtractRun &run, const char *tablePath, bool cp932) {
    TableOutput &t = table;
    t.run = &run;
    t.cp932 = cp932;
    t.rows = RowStore{nullptr, 0, 0};
    t.fixedCount = 0;
    for (int i = 0; i < FIELD_COUNT; i++)
        t.fieldColumn[i] = FIELDS[i].inTemplate ? t.fixedCount++ : -1;
    t.extraCount = 0;
    t.extraNamesUsed = 0;
    t.wholeColumn = false;
    out = ExtractOutput{&t, takePicture, noLines, finishTable};
    if (tablePath == nullptr) writeStandardOutputAsBytes();  // the rows end in CR LF
    int why = 0;
    if (beginWholeFile(&run.listFile, tablePath, SAFE_BINARY, &why) != WHOLE_DONE) {
        report(run, tablePath, cannotWrite(why));
        return false;
    }
    std::setvbuf(run.listFile.stream, outBuf, _IOFBF, sizeof outBuf);
    return true;
}
