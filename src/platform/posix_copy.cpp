// posix_copy.cpp - the file moves of platform_copy.h on POSIX: the input is
// mapped whole, and on Linux copy_file_range moves long runs from the input
// file to the output inside the kernel. Elsewhere the runs are written from
// the mapping, still without a copy into a buffer of the program's own.
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform_copy.h"
#include "platform_file.h"

namespace {

// Pages of zeros in place of a mapping's: without anonymous mappings (not
// POSIX before 2024) no input is mapped.
#if defined(MAP_ANONYMOUS)
constexpr int ZERO_PAGES = MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED;
#elif defined(MAP_ANON)
constexpr int ZERO_PAGES = MAP_PRIVATE | MAP_ANON | MAP_FIXED;
#else
constexpr int ZERO_PAGES = 0;
#endif

// The one mapped input, which the handler of SIGBUS reads as well.
FILE *mappedStream;
unsigned char *volatile mapStart;
volatile size_t mapSize;
// Set by the handler when the file was cut shorter under the mapping.
volatile sig_atomic_t mapDamaged;
// The mapping's first bytes, whole pages, that the walk is done with.
size_t mapReleased;
// The handler of SIGBUS before this one (the safe files' removal of their
// temporary files), which takes every SIGBUS outside the mapping.
struct sigaction earlierBusHandler;

// Reading a page past the end of a file that has been cut short raises
// SIGBUS. Inside the mapping, the pages from the one touched to the end are
// replaced by zeros (mmap is a plain system call, safe here in practice),
// the damage is noted and the read goes on; the rewrite is failed when the
// mapping ends. Any other SIGBUS goes to the handler installed before, or
// ends the process as it would have.
void onBusError(int sig, siginfo_t *si, void *) {
    auto *addr = static_cast<unsigned char *>(si->si_addr);
    unsigned char *start = mapStart;
    size_t size = mapSize;
    if (start != nullptr && addr >= start && addr < start + size) {
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size_t from = (static_cast<size_t>(addr - start) / page) * page;
        if (mmap(start + from, size - from, PROT_READ, ZERO_PAGES, -1, 0) != MAP_FAILED) {
            mapDamaged = 1;
            return;
        }
    }
    if ((earlierBusHandler.sa_flags & SA_SIGINFO) == 0 && earlierBusHandler.sa_handler != SIG_DFL &&
        earlierBusHandler.sa_handler != SIG_IGN) {
        earlierBusHandler.sa_handler(sig);
        return;
    }
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    raise(sig);
}

void guardMappings() {
    static bool installed;
    if (installed) return;
    installed = true;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = onBusError;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_SIGINFO;
    sigaction(SIGBUS, &sa, &earlierBusHandler);
}

}  // namespace

bool mapInput(FILE *in, unsigned long long size) {
    int fd = streamDescriptor(in);
    if (ZERO_PAGES == 0 || fd < 0 || mappedStream != nullptr || size == 0 || size > SIZE_MAX)
        return false;
    guardMappings();
    // Not populated: the pages come in as the walk reaches them, and leave
    // again behind it (releaseInputBytes), so the memory the program holds
    // stays small however large the picture.
    void *p = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) return false;
    mapDamaged = 0;
    mapReleased = 0;
    mapSize = static_cast<size_t>(size);
    mapStart = static_cast<unsigned char *>(p);
    mappedStream = in;
    return true;
}

bool mappedInput(FILE *in, const unsigned char **data, size_t *size) {
    if (in == nullptr || in != mappedStream) return false;
    *data = mapStart;
    *size = mapSize;
    return true;
}

bool unmapInput(FILE *in) {
    if (in == nullptr || in != mappedStream) return true;
    unsigned char *start = mapStart;
    mapStart = nullptr;
    munmap(start, mapSize);
    mappedStream = nullptr;
    return mapDamaged == 0;
}

size_t moveInputBytes(FILE *in, size_t offset, FILE *out, size_t n) {
#if defined(__linux__) && defined(_GNU_SOURCE)
    int from = in == mappedStream ? streamDescriptor(in) : -1;
    int to = streamDescriptor(out);
    if (from < 0 || to < 0 || std::fflush(out) != 0) return 0;
    off_t outAt = ftello(out);
    if (outAt < 0) return 0;
    // With both offsets given, neither descriptor moves: the stream is set
    // past the bytes moved only once they are all out, and when that fails
    // the caller writes the same bytes again at the same place.
    off_t inAt = static_cast<off_t>(offset);
    off_t outStart = outAt;
    size_t moved = 0;
    while (moved < n) {
        ssize_t k = copy_file_range(from, &inAt, to, &outAt, n - moved, 0);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) break;
        moved += static_cast<size_t>(k);
    }
    if (moved > 0 && fseeko(out, outStart + static_cast<off_t>(moved), SEEK_SET) != 0) return 0;
    return moved;
#else
    (void)in;
    (void)offset;
    (void)out;
    (void)n;
    return 0;
#endif
}

void releaseInputBytes(FILE *in, size_t upTo) {
    if (in == nullptr || in != mappedStream) return;
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t end = (upTo < mapSize ? upTo : mapSize) / page * page;
    if (end <= mapReleased) return;
        // The pages read again later (nothing does) would come from the file.
#if defined(__linux__) && defined(_GNU_SOURCE)
    madvise(mapStart + mapReleased, end - mapReleased, MADV_DONTNEED);
#else
    posix_madvise(mapStart + mapReleased, end - mapReleased, POSIX_MADV_DONTNEED);
#endif
    mapReleased = end;
}
