// template_run.cpp - a picture's group of a filled-in template, or a row of
// the table, to its list line: the name checked and put in CP932 where it
// can be, each value decoded from the input's encoding and added.
#include "template_run.h"

#include <cstdio>
#include <cstring>

#include "companion_report.h"
#include "emoji_elements.h"
#include "image_formats.h"
#include "list_name.h"
#include "list_reader.h"
#include "platform_file.h"
#include "show_text.h"
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

const char *decodedCell(const TemplateRun &run, const CsvField &cell) {
    return !holdsNul(cell) && decodeField(run, cell) ? decoded : nullptr;
}
