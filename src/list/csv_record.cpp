// csv_record.cpp - reads one spreadsheet CSV record byte by byte. The bytes
// that make up the CSV (double quote, comma, CR, LF) are ASCII, and neither
// UTF-8 nor CP932 uses them inside a character (a CP932 trail byte is 0x40
// or above), so the record is split before it is decoded.
#include "csv_record.h"

namespace {

// The name, the field, the value and the first column after it with text.
constexpr int PARTS = 4;
constexpr int EXTRA = PARTS - 1;

// The parts of the record being read, each followed by a NUL.
char recordBuf[RECORD_MAX + PARTS];

struct RecordState {
    CsvReader *reader;
    size_t used;  // bytes in recordBuf, the NULs of ended parts included
    size_t data;  // bytes of the parts themselves
    size_t start[PARTS];
    size_t end[PARTS];
    int part;      // the part being read
    bool atStart;  // nothing of the cell read yet
    bool quoted;   // the cell began with a double quote
    bool closed;   // and its closing quote has been read
    bool skip;     // an extra column is kept: the rest is only read
    int fault;
};

void setFault(RecordState &s, int fault) {
    if (s.fault == RECORD_OK) s.fault = fault;
}

void put(RecordState &s, int c) {
    if (s.skip) return;
    if (s.part == EXTRA) setFault(s, RECORD_EXTRA_COLUMN);
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
    s.end[s.part] = s.used;
    recordBuf[s.used++] = '\0';
}

void startCell(RecordState &s) {
    s.atStart = true;
    s.quoted = s.closed = false;
}

void startPart(RecordState &s) {
    s.part++;
    s.start[s.part] = s.used;
    startCell(s);
}

// A comma outside quotes: the next part, or after the value the next
// column, which the extra part keeps until one holds text.
void nextCell(RecordState &s) {
    if (s.part < EXTRA) {
        endPart(s);
        return startPart(s);
    }
    if (s.used > s.start[EXTRA]) s.skip = true;
    startCell(s);
}

CsvField fieldOf(const RecordState &s, int part) {
    return CsvField{recordBuf + s.start[part], s.end[part] - s.start[part]};
}

}  // namespace

bool readCsvRecord(CsvReader *reader, CsvRecord *record) {
    FILE *in = reader->in;
    int c = std::getc(in);
    if (c == EOF) return false;
    RecordState s{};
    s.reader = reader;
    s.atStart = true;
    record->line = reader->nextLine;
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
        if (c == ',') {
            nextCell(s);
        } else if (s.closed) {
            setFault(s, RECORD_AFTER_QUOTE);
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
    while (s.part < EXTRA) {
        startPart(s);
        endPart(s);
    }
    record->name = fieldOf(s, 0);
    record->element = fieldOf(s, 1);
    record->value = fieldOf(s, 2);
    record->extra = fieldOf(s, EXTRA);
    record->fault = s.fault;
    return true;
}
