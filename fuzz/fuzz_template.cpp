// fuzz_template.cpp - a filled-in template through emojitag-list's reading
// (encoding, CSV records, groups, values, names) to the emoji list, without
// opening any picture. Input: one byte for the encoding asked for (its value
// mod 3: from the bytes, CP932, UTF-8), then the template's bytes. Every
// line written must be one that emojitag stores exactly as it says, and the
// list must come back byte for byte through its template (--template, CP932)
// and emojitag-list again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_quiet.h"
#include "line_findings.h"
#include "list_modes.h"
#include "list_reader.h"
#include "template_source.h"

static void require(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// Each line of the list, read back as emojitag reads it, has no finding.
static void checkList(char *list, size_t size) {
    static ListSpace space;
    ListReader reader;
    startListRead(&reader, nullptr, listBuffersOf(&space));
    int lineNo = 0;
    for (size_t at = 0; at < size;) {
        char *end = static_cast<char *>(std::memchr(list + at, '\n', size - at));
        require(end != nullptr, "every line ends in a line feed");
        size_t length = static_cast<size_t>(end - (list + at)) + 1;
        require(length <= READER_LINE_MAX, "a line fits the reader's buffer");
        char saved = end[1];
        end[1] = '\0';
        takeListLine(&reader, list + at, length);
        const ListLine &line = reader.line;
        require(line.type != PICTURE_NONE, "the reader takes the line");
        convertListText(&reader);
        LineFindings findings;
        findLineFindings(line, ++lineNo, false, &findings);
        require(findings.count == 0, "emojitag stores the text as the line says it");
        end[1] = saved;
        at += length;
    }
}

// The list through --template and back: the same list.
static void checkRoundTrip(char *list, size_t size) {
    FILE *in = fmemopen(list, size, "rb");
    char *tmpl = nullptr;
    size_t tmplSize = 0;
    FILE *out = open_memstream(&tmpl, &tmplSize);
    require(in != nullptr && out != nullptr, "memory streams");
    int left;
    {
        fuzzquiet::Quiet quiet;
        left = templateLinesOf(in, "l.csv", false, out);
    }
    std::fclose(in);
    std::fclose(out);
    require(left == 0, "every line of the list goes into the template");
    char *again = nullptr;
    size_t againSize = 0;
    in = fmemopen(tmpl, tmplSize, "rb");
    out = open_memstream(&again, &againSize);
    require(in != nullptr && out != nullptr, "memory streams");
    int refused;
    {
        fuzzquiet::Quiet quiet;
        refused = listTemplateRecords(in, "t.csv", FROM_CP932, out);
    }
    std::fclose(in);
    std::fclose(out);
    require(refused == 0, "nothing of the template is refused");
    require(againSize == size && std::memcmp(again, list, size) == 0,
            "the template gives the same list");
    std::free(tmpl);
    std::free(again);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    const int froms[] = {FROM_BYTES, FROM_CP932, FROM_UTF8};
    FILE *in = fmemopen(const_cast<uint8_t *>(data + 1), size - 1, "rb");
    if (in == nullptr) return 0;
    char *list = nullptr;
    size_t listSize = 0;
    FILE *out = open_memstream(&list, &listSize);
    {
        fuzzquiet::Quiet quiet;  // refusals are reported on standard error
        int encoding = templateEncoding(in, "t.csv", froms[data[0] % 3]);
        if (encoding >= 0) listTemplateRecords(in, "t.csv", encoding, out);
    }
    std::fclose(in);
    std::fclose(out);
    checkList(list, listSize);
    if (listSize > 0) checkRoundTrip(list, listSize);
    std::free(list);
    return 0;
}
