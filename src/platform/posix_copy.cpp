// posix_copy.cpp - the file moves of platform_copy.h on POSIX: the input is
// mapped whole, and on Linux copy_file_range moves long runs from the input
// file to the output inside the kernel, on a thread of their own while the
// walk scans on. Elsewhere the runs are written from the mapping, still
// without a copy into a buffer of the program's own.
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform_copy.h"
#include "platform_file.h"

#if defined(__linux__) && defined(_GNU_SOURCE)
#include <pthread.h>
#define EMOJITAG_MOVER 1
#endif

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

#if defined(EMOJITAG_MOVER)
// The moves of the mapped input, made by a thread of their own: the walk
// hands each long run over (where it lies in the input and in the output),
// sets the output past it and scans on, so that scanning and moving overlap.
// A few runs wait at most. A move that fails stops the mover; it and the
// runs waiting after it are then written by the walk's own stream
// (finishInputMoves), which meets the failure itself.
struct Move {
    off_t inAt;
    off_t outAt;
    size_t n;
};
constexpr unsigned MOVE_SLOTS = 4;

struct Mover {
    pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
    bool started;
    Move slots[MOVE_SLOTS];
    unsigned added;  // runs handed over since the input was mapped
    unsigned done;   // of them, moved
    bool failed;     // the run at `done` (what is left of it) was not moved
    int from;
    int to;
};
Mover mover;
// A run of the mapped input that neither the mover nor the stream wrote.
bool runLost;

bool moveAll(int from, int to, Move &m) {
    while (m.n > 0) {
        ssize_t k = copy_file_range(from, &m.inAt, to, &m.outAt, m.n, 0);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        m.n -= static_cast<size_t>(k);
    }
    return true;
}

void *runMover(void *) {
    pthread_mutex_lock(&mover.lock);
    for (;;) {
        while (mover.done == mover.added || mover.failed)
            pthread_cond_wait(&mover.changed, &mover.lock);
        Move m = mover.slots[mover.done % MOVE_SLOTS];
        int from = mover.from;
        int to = mover.to;
        pthread_mutex_unlock(&mover.lock);
        bool moved = moveAll(from, to, m);
        pthread_mutex_lock(&mover.lock);
        if (moved)
            mover.done++;
        else {
            mover.slots[mover.done % MOVE_SLOTS] = m;
            mover.failed = true;
        }
        pthread_cond_broadcast(&mover.changed);
    }
    return nullptr;
}

// The mover's thread, started for the first long run; it takes no signal,
// so that every handler runs where it always has.
bool startMover() {
    if (mover.started) return true;
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    pthread_t thread;
    bool started = pthread_create(&thread, nullptr, runMover, nullptr) == 0;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (!started) return false;
    pthread_detach(thread);
    mover.started = true;
    return true;
}

// Waits until every run handed over is moved or the mover has stopped at a
// failed one; the runs not moved, from the first, are left in `slots`.
void waitForMover(unsigned &first, unsigned &end) {
    pthread_mutex_lock(&mover.lock);
    while (mover.done != mover.added && !mover.failed)
        pthread_cond_wait(&mover.changed, &mover.lock);
    first = mover.done;
    end = mover.added;
    mover.done = mover.added = 0;
    mover.failed = false;
    pthread_mutex_unlock(&mover.lock);
}
#endif

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
#if defined(EMOJITAG_MOVER)
    runLost = false;
#endif
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

void finishInputMoves(FILE *in, FILE *out) {
#if defined(EMOJITAG_MOVER)
    if (in == nullptr || in != mappedStream || !mover.started) return;
    unsigned first;
    unsigned end;
    waitForMover(first, end);
    if (first == end) return;
    // Written where they belong, from the mapping, by the stream: a failure
    // the system met moving them sets its error flag now.
    off_t back = ftello(out);
    for (unsigned i = first; i != end && !runLost; i++) {
        const Move &m = mover.slots[i % MOVE_SLOTS];
        runLost = back < 0 || fseeko(out, m.outAt, SEEK_SET) != 0 ||
                  std::fwrite(mapStart + m.inAt, 1, m.n, out) != m.n;
    }
    if (back < 0 || fseeko(out, back, SEEK_SET) != 0) runLost = true;
#else
    (void)in;
    (void)out;
#endif
}

bool unmapInput(FILE *in) {
    if (in == nullptr || in != mappedStream) return true;
    bool whole = true;
#if defined(EMOJITAG_MOVER)
    // The mover no longer reads the input; a run it did not move and no one
    // wrote leaves the output short of it.
    if (mover.started) {
        unsigned first;
        unsigned end;
        waitForMover(first, end);
        whole = first == end && !runLost;
    }
#endif
    unsigned char *start = mapStart;
    mapStart = nullptr;
    munmap(start, mapSize);
    mappedStream = nullptr;
    return whole && mapDamaged == 0;
}

size_t moveInputBytes(FILE *in, size_t offset, FILE *out, size_t n) {
#if defined(EMOJITAG_MOVER)
    int from = in == mappedStream ? streamDescriptor(in) : -1;
    int to = streamDescriptor(out);
    if (from < 0 || to < 0 || !startMover() || std::fflush(out) != 0) return 0;
    off_t outAt = ftello(out);
    if (outAt < 0) return 0;
    pthread_mutex_lock(&mover.lock);
    while (!mover.failed && mover.added - mover.done == MOVE_SLOTS)
        pthread_cond_wait(&mover.changed, &mover.lock);
    // Once a move has failed, the caller writes every run itself.
    bool taken = !mover.failed;
    if (taken) {
        mover.from = from;
        mover.to = to;
        mover.slots[mover.added % MOVE_SLOTS] = {static_cast<off_t>(offset), outAt, n};
        mover.added++;
        pthread_cond_broadcast(&mover.changed);
    }
    pthread_mutex_unlock(&mover.lock);
    // Neither descriptor moves with the mover's offsets; the stream goes on
    // past the run, which the mover fills in.
    if (!taken) return 0;
    if (fseeko(out, outAt + static_cast<off_t>(n), SEEK_SET) != 0) {
        // Not past the run: the mover's bytes are settled first, and the
        // caller writes them again over the same place.
        finishInputMoves(in, out);
        fseeko(out, outAt, SEEK_SET);
        return 0;
    }
    return n;
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
