// replace_floor.cpp - the least any atomic replacement of a file does, the
// floor under "emojitag -o": for every line of an emoji list, the file named
// before the first comma is opened, its mode read, a temporary file created
// beside it exclusively, the bytes copied in 64 KiB blocks, the mode set on
// the new file's descriptor, both closed and the new file renamed over the
// old one. Nothing is checked, converted or parsed. Usage: replace_floor LIST.csv
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t LINE_SIZE = 32768;
constexpr size_t BLOCK_SIZE = 64 * 1024;
char line[LINE_SIZE];
char tempName[LINE_SIZE + 16];
char data[BLOCK_SIZE];
unsigned long serial;

// "DIR/.NAME.NNNNNN" beside the name in `line`, cut at its comma.
bool tempNameOf(char *name) {
    char *comma = std::strchr(name, ',');
    if (comma == nullptr) return false;
    *comma = '\0';
    const char *slash = std::strrchr(name, '/');
    size_t dir = slash ? static_cast<size_t>(slash - name) + 1 : 0;
    std::snprintf(tempName, sizeof tempName, "%.*s.%s.%06lu", static_cast<int>(dir), name,
                  name + dir, serial++ % 1000000);
    return true;
}

int replaceFile(const char *path) {
    int in = open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0) return -1;
    struct stat st;
    int out = fstat(in, &st) == 0
                  ? open(tempName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)
                  : -1;
    if (out < 0) {
        close(in);
        return -1;
    }
    int status = 0;
    ssize_t n;
    while ((n = read(in, data, sizeof data)) > 0)
        if (write(out, data, static_cast<size_t>(n)) != n) status = -1;
    if (n < 0 || fchmod(out, st.st_mode & 07777) != 0) status = -1;
    close(in);
    if (close(out) != 0) status = -1;
    if (status == 0 && rename(tempName, path) == 0) return 0;
    unlink(tempName);
    return -1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fputs("usage: replace_floor LIST.csv\n", stderr);
        return 2;
    }
    FILE *list = std::fopen(argv[1], "rb");
    if (list == nullptr) return 1;
    int status = 0;
    while (std::fgets(line, sizeof line, list) != nullptr) {
        if (!tempNameOf(line) || replaceFile(line) != 0) status = 1;
    }
    std::fclose(list);
    return status;
}
