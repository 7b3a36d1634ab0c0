// copy_floor.cpp - the least a program built on stdio does for the plain run
// of an emoji list: for every line, the file named before the first comma is
// copied to NAME-out.EXT with fopen, fread, fwrite and fclose, through
// buffers as large as the tool's. Nothing is checked, converted or parsed:
// the floor under the tool's own time. Usage: copy_floor LIST.csv
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t LINE_SIZE = 32768;
constexpr size_t BUF_SIZE = 128 * 1024;
char line[LINE_SIZE];
char outName[LINE_SIZE + 4];
char inBuf[BUF_SIZE];
char outBuf[BUF_SIZE];
char data[BUF_SIZE];

// NAME-out.EXT for the name in `line`, cut at its comma.
bool outNameOf(char *name) {
    char *comma = std::strchr(name, ',');
    if (comma == nullptr) return false;
    *comma = '\0';
    char *dot = std::strrchr(name, '.');
    if (dot == nullptr) return false;
    size_t stem = static_cast<size_t>(dot - name);
    std::memcpy(outName, name, stem);
    std::memcpy(outName + stem, "-out", 4);
    std::strcpy(outName + stem + 4, dot);
    return true;
}

int copyFile(const char *from, const char *to) {
    FILE *in = std::fopen(from, "rb");
    if (in == nullptr) return -1;
    FILE *out = std::fopen(to, "wb");
    if (out == nullptr) {
        std::fclose(in);
        return -1;
    }
    std::setvbuf(in, inBuf, _IOFBF, sizeof inBuf);
    std::setvbuf(out, outBuf, _IOFBF, sizeof outBuf);
    size_t n;
    while ((n = std::fread(data, 1, sizeof data, in)) > 0)
        std::fwrite(data, 1, n, out);
    std::fclose(in);
    return std::fclose(out);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fputs("usage: copy_floor LIST.csv\n", stderr);
        return 2;
    }
    FILE *list = std::fopen(argv[1], "rb");
    if (list == nullptr) return 1;
    int status = 0;
    while (std::fgets(line, sizeof line, list) != nullptr) {
        if (!outNameOf(line) || copyFile(line, outName) != 0) status = 1;
    }
    std::fclose(list);
    return status;
}
