// The engine side of the debugger link: connects lazily, appends records to the ring, counts them.
// Any thread may send; the link's lock keeps records whole. It never logs, and only the very first
// send may wait (at most a second, for a debugger application the engine had to start).
#include "Debugger/Debugger.h"
#include "Core/Engine.h"
#include "MVE.h"
#include "Platform/Platform.h"
#include <chrono>
#include <cstring>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef MVE_DEBUGGER_PATH
#define MVE_DEBUGGER_PATH ""
#endif
#ifndef MVE_DEBUGGER_INSTALLED_PATH
#define MVE_DEBUGGER_INSTALLED_PATH ""
#endif

std::string MVE_DebuggerBuildPath() { return MVE_DEBUGGER_PATH; }

MVE_DEBUGGER_STATE::~MVE_DEBUGGER_STATE() {
    if (pBase) MVE_PlatformCloseSharedMemory(pBase, MVE_DEBUGGER_BLOCK_SIZE);
}

// The reader polls the counter from another process: it must see a record's bytes before the
// count that announces it.
static std::atomic_ref<uint64_t> Counter(uint8_t *base) {
    return std::atomic_ref<uint64_t>(*reinterpret_cast<uint64_t *>(base));
}

static int OpenBlock(MVE_DEBUGGER_STATE &d, void **base) {
    return MVE_PlatformOpenSharedMemory(d.sBlockName.c_str(), MVE_DEBUGGER_BLOCK_SIZE, base);
}

// No block at all: start the debugger application where a person can read it, in the desktop's
// terminal emulator. It is told this process's id so that it ends after the engine (once it has
// shown everything); a private block name must be handed over or it would never meet us. Without
// a desktop nobody would see it: nothing is started. Returns the started process or 0.
// The debugger application to start: the one this engine was built with while it exists, else the
// installed one, else whatever "mve-debugger" the search path finds.
static std::string DebuggerProgram(const std::string &chosen) {
    if (chosen != MVE_DEBUGGER_PATH) return chosen;  // set by the program: taken as it is
    for (const char *path : {MVE_DEBUGGER_PATH, MVE_DEBUGGER_INSTALLED_PATH})
        if (*path && access(path, X_OK) == 0) return path;
    return "mve-debugger";
}

static int StartDebugger(MVE_DEBUGGER_STATE &d) {
    if (d.sProgramPath.empty()) return 0;
    const int desktop = d.iDesktop >= 0 ? d.iDesktop : MVE_PlatformHasDesktop();
    if (!desktop) return 0;
    const std::string pid = std::to_string(getpid()), program = DebuggerProgram(d.sProgramPath);
    std::vector<const char *> argv;
    if (!d.sTerminal.empty()) argv.insert(argv.end(), {d.sTerminal.c_str(), "-e"});
    argv.insert(argv.end(), {program.c_str(), "-p", pid.c_str()});
    if (d.sBlockName != MVE_DEBUGGER_BLOCK_NAME) argv.insert(argv.end(), {"-n", d.sBlockName.c_str()});
    argv.push_back(nullptr);
    return MVE_PlatformStartProgram(argv.data());
}

// Caller holds d.Lock. Returns 1 when the block is mapped.
static int ConnectLocked(MVE_DEBUGGER_STATE &d) {
    int status = d.iStatus.load(std::memory_order_relaxed);
    if (status != 0) return status > 0;
    const uint32_t start = MVE_PlatformMilliseconds();
    void *base = nullptr;
    int found = OpenBlock(d, &base);
    if (found == 1) {
        Counter(static_cast<uint8_t *>(base)).store(0, std::memory_order_release);
    } else {
        if (found == 0) d.iProcess = StartDebugger(d);
        // A block that exists but is still too small may be one whose owner is just sizing it,
        // so it gets the same grace as a freshly started debugger. A program that could not be
        // started will not show up: no point in waiting for it.
        if (found == -1 || d.iProcess != 0) {
            while (found != 1 && MVE_PlatformMilliseconds() - start <= MVE_DEBUGGER_CONNECT_MS) {
                std::this_thread::sleep_for(std::chrono::milliseconds(MVE_DEBUGGER_RETRY_MS));
                found = OpenBlock(d, &base);
            }
        }
    }
    if (found != 1) {
        d.iStatus.store(-1, std::memory_order_release);
        return 0;
    }
    d.pBase = static_cast<uint8_t *>(base);
    d.iWrite = 8;
    d.iStatus.store(1, std::memory_order_release);
    return 1;
}

extern "C" int MVE_ConnectDebugger(void) {
    MVE_DEBUGGER_STATE &d = MVE_Engine().Debugger;
    std::lock_guard<std::mutex> lock(d.Lock);
    return ConnectLocked(d);
}

extern "C" int MVE_SendDebuggerMessage(int kind, const void *data) {
    MVE_DEBUGGER_STATE &d = MVE_Engine().Debugger;
    if (d.iStatus.load(std::memory_order_acquire) < 0) return 0;
    // A text longer than the whole ring is cut to fit: written at offset 8 it would still run past
    // the end of the block.
    constexpr uint64_t maxText = MVE_DEBUGGER_RING_END - 8 - 8 - 1;
    uint64_t size = 0;
    if (kind >= 1 && kind <= 3) size = data ? strnlen(static_cast<const char *>(data), maxText) + 1 : 0;
    else if (kind == 4) size = 16;
    else if (kind == 5) size = 64;
    if (!data && (kind >= 1 && kind <= 5)) return 0;  // nothing to copy from

    std::lock_guard<std::mutex> lock(d.Lock);
    if (!ConnectLocked(d)) return 0;
    if (d.iWrite + size + 8 > MVE_DEBUGGER_RING_END) d.iWrite = 8;
    uint8_t *record = d.pBase + d.iWrite;
    const int32_t k = kind;
    const uint32_t next = static_cast<uint32_t>(d.iWrite + size + 8);
    memcpy(record + 4, &k, 4);
    if (kind >= 1 && kind <= 3) {
        memcpy(record + 8, data, size - 1);
        record[8 + size - 1] = 0;
    } else if (size) {
        memcpy(record + 8, data, size);
    }
    memcpy(record, &next, 4);
    d.iWrite = next;
    std::atomic_ref<uint64_t> counter = Counter(d.pBase);
    counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    return 0;
}

extern "C" int MVE_DebugText(int kind, const char *text) {
    // Kinds 4 and 5 would copy 16 or 64 bytes out of what may be a short string.
    if (kind == 4 || kind == 5) return 0;
    return MVE_SendDebuggerMessage(kind, text);
}
