// template_run.h - the run of a filled-in template to the list, one group
// at a time: a record that names a picture begins it, records of fields add
// to it. The table feeds the same run, a row being a picture's group.
#ifndef EMOJITAG_TEMPLATE_RUN_H
#define EMOJITAG_TEMPLATE_RUN_H

#include <cstdio>

#include "csv_record.h"
#include "list_text.h"

struct TemplateRun {
    const char *source;  // the template's name, for messages
    int encoding;        // FROM_UTF8 or FROM_CP932
    FILE *out;
    bool open;  // a picture's group is being read
    PictureLine picture;
    int refused;  // pictures refused, and lines that belong to none
};

// Begins the group of the record's picture; a name no list line can carry
// refuses it.
void startPicture(TemplateRun &run, const CsvRecord &rec);
// One field of the open group: its name and its value, both as read.
void addField(TemplateRun &run, const CsvRecord &rec);
// The value of `column` from input line `line` in UTF-8 (valid until the next
// call); null, reported and the picture refused, when it holds a zero byte
// or a line break, is too long or is not in the run's encoding.
const char *decodedValue(TemplateRun &run, int line, const char *column, const CsvField &value);
// The cell in UTF-8 (valid until the next call), or null when it holds a
// zero byte or is not in the run's encoding; nothing is reported.
const char *decodedCell(const TemplateRun &run, const CsvField &cell);

#endif
