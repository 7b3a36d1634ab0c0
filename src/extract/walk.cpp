// walk.cpp - the images a command-line PATH names: the file itself, or every
// GIF and JPEG file of a directory tree, entries sorted by the characters
// and numbers of their names (name_order.h), so that the list comes out the
// same on every run, and in the same order on every platform.
#include <cstdio>
#include <cstring>

#include "dir_walk.h"
#include "extract.h"
#include "list_reader.h"
#include "platform_dir.h"

namespace {

// Where a PATH's images go.
struct ListTarget {
    ExtractRun *run;
    const ExtractOutput *out;
};

// Gives the image to the output, or reports why its text cannot be read.
void listImage(const ListTarget &to, const char *path, int imgType) {
    ExtractRun &run = *to.run;
    switch (to.out->image(to.out->user, path, imgType)) {
        case TEXT_FOUND:
            return;
        case TEXT_NONE:
            return report(run, path, "no emoji text");
        case TEXT_TOO_LONG:
            return report(run, path, "comment too long");
        case TEXT_CANNOT_OPEN:
            return report(run, path, "cannot open");
        default:
            return report(run, path, malformedReport(*imageFormatOfType(imgType)));
    }
}

// The listing's rules for an entry: every directory is walked, GIF and JPEG
// files are listed, other files are passed over without a word (pictures of
// the formats not tagged given to an output that takes note of them).
int takeEntry(void *user, const WalkEntry &e) {
    const ListTarget &to = *static_cast<const ListTarget *>(user);
    if (e.kind == WALK_TOO_LONG) {
        report(*to.run, e.path, "name too long");
        return -1;
    }
    int imgType = imageTypeOfName(e.name);
    // A name with no exact form in the system's narrow code page leads to no
    // file: a picture is named so, and a folder once, not walked.
    if (!e.nameExact && (e.kind == ENTRY_DIR || imgType != 0)) {
        report(*to.run, e.path, "name has characters not in the system's code page");
        return -1;
    }
    if (e.kind == ENTRY_DIR) return WALK_ENTER;
    if (imgType == 0) {
        if (to.out->passedOver != nullptr && e.kind == ENTRY_FILE && isUntaggedPictureName(e.name))
            to.out->passedOver(to.out->user, e.path);
        return 0;
    }
    if (e.kind == WALK_KIND_UNKNOWN) {
        report(*to.run, e.path, "cannot open");
        return -1;
    }
    if (e.kind == ENTRY_FILE) listImage(to, e.path, imgType);
    return 0;
}

int reportUnwalkable(void *user, const char *path) {
    report(*static_cast<const ListTarget *>(user)->run, path, "cannot open");
    return -1;
}

}  // namespace

void listPath(ExtractRun &run, const ExtractOutput &out, const char *path) {
    ListTarget to{&run, &out};
    int kind = ENTRY_OTHER;
    if (pathEntryKind(path, &kind) == 0 && kind == ENTRY_DIR) {
        if (std::strlen(path) >= WALK_PATH_SIZE) return report(*to.run, path, "name too long");
        // A link back into the tree, or the same directory named twice, is
        // walked once in the run.
        walkDirTree(&run.walk, path, WalkRules{true, &to, takeEntry, reportUnwalkable, nullptr});
        return;
    }
    int imgType = imageTypeOfName(path);
    if (imgType == 0) {
        char names[64], reason[96];
        listImageFormatNames(names, sizeof names, " or ");
        std::snprintf(reason, sizeof reason, "not a %s file", names);
        return report(*to.run, path, reason);
    }
    listImage(to, path, imgType);
}
