// mve-debugger: the debugger application. Creates the shared block the engine writes its messages
// into and prints every message as it arrives, until SIGINT or SIGTERM; then removes the block.
// Started by the engine (-p with the engine's process id, usually inside a terminal emulator) it
// also ends after that process has: it shows what was still sent, gives the block's name free for
// the next run, and leaves the window up until Enter or a minute has passed so it can be read.
// One thread. It writes the block only to size it and zero its counter; the engine owns the records.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

// Fixed by the engine: counter at 0, records from 8, no record ends past 10 MiB.
constexpr uint64_t kRingEnd = 10485760;
constexpr uint64_t kBlockSize = kRingEnd + 8;

static volatile sig_atomic_t g_stop = 0;
static void OnStop(int) { g_stop = 1; }

static uint32_t Read32(const uint8_t *p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

// Payload size of the record at pos when it looks like a whole record, else -1. The ring has no
// wrap marker: a record that does not fit where the reader stands means the writer went back to 8.
static int64_t RecordSize(const uint8_t *base, uint64_t pos) {
    if (pos < 8 || pos + 8 > kRingEnd) return -1;
    const uint32_t next = Read32(base + pos);
    const int32_t kind = static_cast<int32_t>(Read32(base + pos + 4));
    if (next < pos + 8 || next > kRingEnd) return -1;
    const uint64_t size = next - pos - 8;
    switch (kind) {
    case 1: case 2: case 3:
        return size >= 1 && memchr(base + pos + 8, 0, size) == base + next - 1 ? int64_t(size) : -1;
    case 4: return size == 16 ? 16 : -1;
    case 5: return size == 64 ? 64 : -1;
    default: return size == 0 ? 0 : -1;
    }
}

static void PrintRecord(FILE *out, const uint8_t *record) {
    const int32_t kind = static_cast<int32_t>(Read32(record + 4));
    const uint8_t *payload = record + 8;
    float f[16];
    switch (kind) {
    case 1: case 2: case 3:
        fprintf(out, "%s\n", reinterpret_cast<const char *>(payload));
        break;
    case 4:
        memcpy(f, payload, 16);
        fprintf(out, "(%g, %g, %g, %g)\n", f[0], f[1], f[2], f[3]);
        break;
    case 5:
        memcpy(f, payload, 64);  // column-major: row r is f[r], f[4 + r], f[8 + r], f[12 + r]
        for (int r = 0; r < 4; ++r) fprintf(out, "[%g, %g, %g, %g]\n", f[r], f[4 + r], f[8 + r], f[12 + r]);
        break;
    default:
        fprintf(out, "kind %d\n", kind);
        break;
    }
}

static void Usage(const char *self) {
    fprintf(stderr, "usage: %s [-o FILE] [-n NAME] [-p PID]\n"
                    "  -o FILE  write the messages to FILE instead of standard output\n"
                    "  -n NAME  name of the shared block (default /MVE_DebuggerApplication)\n"
                    "  -p PID   end after process PID (the program being debugged) has ended\n", self);
}

// Watches the program being debugged. A process descriptor cannot be fooled by a recycled
// process id; kernels without one fall back to probing the id.
struct Watch {
    long pid = 0;
    int fd = -1;
    bool gone = false;
    void Start(long id) {
        pid = id;
#ifdef SYS_pidfd_open
        fd = static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
        if (fd < 0 && errno == ESRCH) gone = true;  // ended before we got here
#endif
    }
    bool Ended() {
        if (!pid || gone) return gone;
        if (fd >= 0) {
            pollfd p = {fd, POLLIN, 0};
            gone = poll(&p, 1, 0) > 0;
        } else {
            gone = kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
        }
        return gone;
    }
};

// After the program has ended: keep a terminal window readable until Enter or a minute.
static void Linger(bool shownAnything) {
    if (!shownAnything || !isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return;
    printf("-- The program has ended. Press Enter to close (closes by itself in a minute).\n");
    fflush(stdout);
    pollfd p = {STDIN_FILENO, POLLIN, 0};
    for (int waited = 0; waited < 60000 && !g_stop; waited += 200)
        if (poll(&p, 1, 200) != 0) break;
}

int main(int argc, char **argv) {
    const char *name = "/MVE_DebuggerApplication";
    const char *outPath = nullptr;
    long watched = 0;
    for (int opt; (opt = getopt(argc, argv, "o:n:p:h")) != -1;) {
        if (opt == 'o') outPath = optarg;
        else if (opt == 'n') name = optarg;
        else if (opt == 'p' && (watched = strtol(optarg, nullptr, 10)) > 0) continue;
        else { Usage(argv[0]); return opt == 'h' ? 0 : 2; }
    }
    FILE *out = stdout;
    if (outPath && !(out = fopen(outPath, "w"))) {
        fprintf(stderr, "mve-debugger: cannot write '%s': %s\n", outPath, strerror(errno));
        return 1;
    }

    struct sigaction sa = {};
    sa.sa_handler = OnStop;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    int fd = shm_open(name, O_RDWR | O_CREAT, 0600);
    if (fd < 0 || ftruncate(fd, kBlockSize) != 0) {
        fprintf(stderr, "mve-debugger: cannot create shared block '%s': %s\n", name, strerror(errno));
        if (fd >= 0) { close(fd); shm_unlink(name); }
        return 1;
    }
    void *mapped = mmap(nullptr, kBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped == MAP_FAILED) {
        fprintf(stderr, "mve-debugger: cannot map shared block '%s': %s\n", name, strerror(errno));
        shm_unlink(name);
        return 1;
    }
    uint8_t *base = static_cast<uint8_t *>(mapped);
    std::atomic_ref<uint64_t> counter(*reinterpret_cast<uint64_t *>(base));
    counter.store(0, std::memory_order_release);
    fprintf(stderr, "mve-debugger: listening on %s\n", name);

    Watch watch;
    if (watched) watch.Start(watched);
    uint64_t seen = 0, pos = 8;
    bool shown = false;
    while (!g_stop && !ferror(out)) {
        // Checked before the counter: whatever the program sent before it ended is printed below.
        const bool ended = watch.Ended();
        const uint64_t count = counter.load(std::memory_order_acquire);
        if (count < seen) seen = 0, pos = 8;  // an engine connected afresh and reset the count
        if (count == seen) {
            if (ended) break;
            usleep(1000);
            continue;
        }
        shown = true;
        for (; seen < count && !g_stop; ++seen) {
            int64_t size = RecordSize(base, pos);
            if (size < 0) size = RecordSize(base, pos = 8);
            if (size < 0) {  // overrun by more than a lap: start over with what comes next
                fprintf(out, "(messages lost)\n");
                seen = count;
                pos = 8;
                break;
            }
            PrintRecord(out, base + pos);
            pos += 8 + uint64_t(size);
        }
        fflush(out);
    }

    // Removed before lingering: the next run of the program starts a debugger of its own.
    shm_unlink(name);
    if (watch.gone) Linger(shown && out == stdout);
    munmap(mapped, kBlockSize);
    if (out != stdout) fclose(out);
    return 0;
}
