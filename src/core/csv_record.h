// csv_record.h - one record of a CSV file as spreadsheets write it: fields
// in double quotes with doubled quotes inside (and line ends, which a cell
// may hold), records ended by LF, CR LF or CR. A template record has three
// parts: the name, the field's name and its value; a value with a comma is
// in double quotes, as spreadsheets save it. Empty columns may follow the
// value (spreadsheets pad rows); a column with text is kept as the extra
// cell, and the record is faulty.
#ifndef EMOJITAG_CSV_RECORD_H
#define EMOJITAG_CSV_RECORD_H

#include <cstddef>
#include <cstdio>

// The longest record kept: three times what a list line may hold, which is
// what a CP932 line of half-width katakana takes in UTF-8.
constexpr size_t RECORD_MAX = 3 * 32768;

// What may be wrong with a record; its fields are unusable then.
constexpr int RECORD_OK = 0;
constexpr int RECORD_TOO_LONG = 1;        // more than RECORD_MAX bytes
constexpr int RECORD_OPEN_QUOTE = 2;      // the file ends within a quoted field
constexpr int RECORD_AFTER_QUOTE = 3;     // more text between a closing quote and the comma
constexpr int RECORD_EXTRA_COLUMN = 4;    // text in a column after the value
constexpr int RECORD_TOO_MANY_CELLS = 5;  // a row of more than ROW_CELLS_MAX cells

// A part of a record: its bytes (quotes removed, doubled quotes made single),
// NUL-terminated, though it may hold NULs of its own.
struct CsvField {
    const char *bytes;
    size_t length;
};

struct CsvRecord {
    int line;  // the line the record begins on, from 1
    CsvField name;
    CsvField element;
    CsvField value;
    int fault;       // RECORD_OK or what is wrong
    CsvField extra;  // the first column after the value that is not empty
};

struct CsvReader {
    FILE *in;
    int nextLine;  // the line the next record begins on
};

// Reads the next record into `record` (its fields valid until the next
// call); false at the end of the file or on a read error (see ferror).
bool readCsvRecord(CsvReader *reader, CsvRecord *record);

// A row read cell by cell, every comma outside quotes ending a cell.
constexpr int ROW_CELLS_MAX = 1024;
struct CsvRow {
    int line;   // the line the row begins on, from 1
    int cells;  // cells read, from 1
    CsvField cell[ROW_CELLS_MAX];
    int fault;      // RECORD_OK or what is wrong
    int faultCell;  // the cell it is in, from 0
};
// Reads the next row into `row` as readCsvRecord reads a record.
bool readCsvRow(CsvReader *reader, CsvRow *row);

#endif
