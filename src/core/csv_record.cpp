// csv_record.cpp - reads one spreadsheet CSV record byte by byte. The bytes
// that make up the CSV (double quote, comma, CR, LF) are ASCII, and neither
// UTF-8 nor CP932 uses them inside a character (a CP932 trail byte is 0x40
// or above), so the record is split before it is decoded.
#include "csv_record.h"

#include <cstring>

namespace {

// The parts of a template record: the name, the field, the value and the
// first column after it with text.
constexpr int PARTS = 4;

// The parts of the record being read, each followed by a NUL.
char recordBuf[RECORD_MAX + ROW_CELLS_MAX];

struct RecordState {
    CsvReader *reader;
    size_t used;  // bytes in recordBuf, the NULs of ended parts included
    size_t data;  // bytes of the parts themselves
    size_t start[ROW_CELLS_MAX];
    size_t end[ROW_CELLS_MAX];
    int parts;     // the parts a record has: the last takes the rest of the line
    int part;      // the part being read
    bool atStart;  // nothing of the part read yet
    bool quoted;   // the part began with a double quote
    bool closed;   // and its closing quote has been read
    bool columns;  // a comma followed the closing quote of the value
    // The last part is the first column after the value that holds text,
    // not the rest of the line; once it has some, the rest is only read.
    bool keepExtra;
    bool skip;
    int fault;
    int faultPart;  // the part the fault is in
};

void setFault(RecordState &s, int fault) {
    if (s.fault != RECORD_OK) return;
    s.fault = fault;
    s.faultPart = s.part;
}

void put(RecordState &s, int c) {
    if (s.skip) return;
    if (s.keepExtra && s.part == s.parts - 1) setFault(s, RECORD_EXTRA_COLUMN);
    if (s.data == RECORD_MAX) return setFault(s, RECORD_TOO_LONG);
    recordBuf[s.used++] = static_cast<char>(c);
    s.data++;
}

// A CR LF counts as one line end, and so does a CR or a LF alone.
void countLineEnd(RecordState &s, int c, bool keep) {
    if (keep) put(s, c);
    if (c == '\r') {
        int next = std::getc(s.reader->in);
        if (next == '\n' && keep) put(s, next);
        if (next != '\n') std::ungetc(next, s.reader->in);
    }
    s.reader->nextLine++;
}

void endPart(RecordState &s) {
    size_t &end = s.end[s.part];
    end = s.used;
    // An unquoted value ends before its trailing commas: empty columns.
    if (s.part == s.parts - 1 && !s.quoted && !s.keepExtra)
        while (end > s.start[s.part] && recordBuf[end - 1] == ',')
            end--;
    recordBuf[end] = '\0';
    s.used = end + 1;
}

void startPart(RecordState &s) {
    s.part++;
    s.start[s.part] = s.used;
    s.atStart = true;
    s.quoted = s.closed = s.columns = false;
}

// The byte after a closing quote: a comma ends the part or, after the value,
// opens an empty column; anything else is a fault.
void afterQuote(RecordState &s, int c) {
    if (c == ',') {
        s.columns = true;
        return;
    }
    setFault(s, s.columns ? RECORD_EXTRA_COLUMN : RECORD_AFTER_QUOTE);
}

// A comma in the extra part: the next column, kept in its place while the
// columns so far are empty.
void nextExtraColumn(RecordState &s) {
    if (s.used > s.start[s.part]) s.skip = true;
    s.atStart = true;
    s.quoted = s.closed = s.columns = false;
}

CsvField fieldOf(const RecordState &s, int part) {
    return CsvField{recordBuf + s.start[part], s.end[part] - s.start[part]};
}

// Reads the next record's parts into `s`; false at the end of the file or
// on a read error.
bool readParts(CsvReader *reader, RecordState &s, int *line) {
    FILE *in = reader->in;
    int c = std::getc(in);
    if (c == EOF) return false;
    s.reader = reader;
    s.atStart = true;
    *line = reader->nextLine;
    bool inQuotes = false;
    for (;; c = std::getc(in)) {
        if (c == EOF) {
            if (inQuotes) setFault(s, RECORD_OPEN_QUOTE);
            break;
        }
        if (inQuotes) {
            if (c != '"') {
                if (c == '\r' || c == '\n') {
                    countLineEnd(s, c, true);
                } else {
                    put(s, c);
                }
                continue;
            }
            int next = std::getc(in);
            if (next == '"') {  // a doubled quote stands for one
                put(s, '"');
                continue;
            }
            inQuotes = false;
            s.closed = true;
            if (next == EOF) break;
            c = next;
        }
        if (c == '\r' || c == '\n') {
            countLineEnd(s, c, false);
            break;
        }
        if (c == ',' && s.part < s.parts - 1) {
            endPart(s);
            startPart(s);
        } else if (c == ',' && s.keepExtra) {
            nextExtraColumn(s);
        } else if (s.closed) {
            afterQuote(s, c);
        } else if (s.atStart && c == '"') {
            s.quoted = inQuotes = true;
            s.atStart = false;
        } else {
            s.atStart = false;
            put(s, c);
        }
    }
    // A record cut by a read error is no record.
    if (std::ferror(in)) return false;
    endPart(s);
    return true;
}

}  // namespace

bool readCsvRecord(CsvReader *reader, CsvRecord *record) {
    RecordState s{};
    s.parts = PARTS;
    s.keepExtra = true;
    if (!readParts(reader, s, &record->line)) return false;
    while (s.part < PARTS - 1) {
        startPart(s);
        endPart(s);
    }
    record->name = fieldOf(s, 0);
    record->element = fieldOf(s, 1);
    record->value = fieldOf(s, 2);
    record->extra = fieldOf(s, 3);
    record->fault = s.fault;
    return true;
}

bool readCsvRow(CsvReader *reader, CsvRow *row) {
    RecordState s{};
    // The last part takes the rest of the line: a comma or a column in it
    // is a cell too many.
    s.parts = ROW_CELLS_MAX;
    if (!readParts(reader, s, &row->line)) return false;
    row->cells = s.part + 1;
    for (int i = 0; i < row->cells; i++)
        row->cell[i] = fieldOf(s, i);
    row->fault = s.fault == RECORD_EXTRA_COLUMN ? RECORD_TOO_MANY_CELLS : s.fault;
    row->faultCell = s.faultPart;
    if (row->fault == RECORD_OK && row->cells == ROW_CELLS_MAX &&
        std::memchr(row->cell[ROW_CELLS_MAX - 1].bytes, ',', row->cell[ROW_CELLS_MAX - 1].length))
        row->fault = RECORD_TOO_MANY_CELLS;
    return true;
}
