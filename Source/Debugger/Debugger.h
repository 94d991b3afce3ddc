// The link to the debugger application: a named shared-memory block holding a message counter and
// a ring of message records. Any thread may send; sends are serialised by the link's own lock and
// never log (the log may be what is being debugged). The reader in the other process syncs on the counter.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

inline constexpr const char *MVE_DEBUGGER_BLOCK_NAME = "/MVE_DebuggerApplication";
inline constexpr uint64_t MVE_DEBUGGER_RING_END = 10485760;              // records end within 10 MiB
inline constexpr uint64_t MVE_DEBUGGER_BLOCK_SIZE = MVE_DEBUGGER_RING_END + 8;
inline constexpr uint32_t MVE_DEBUGGER_CONNECT_MS = 1000;                // wait for a started debugger
inline constexpr uint32_t MVE_DEBUGGER_RETRY_MS = 10;

// The path the engine starts the debugger application from (the build setting).
std::string MVE_DebuggerBuildPath();

struct MVE_DEBUGGER_STATE {
    uint8_t *pBase = nullptr;                   // mapped block; null until connected
    std::atomic<int> iStatus{0};                // 0 not yet connected, 1 connected, -1 unavailable for the run
    uint64_t iWrite = 8;                        // offset of the next record
    int iProcess = 0;                           // process id of a debugger the engine started, else 0
    std::string sBlockName = MVE_DEBUGGER_BLOCK_NAME;   // change before the first send
    std::string sProgramPath = MVE_DebuggerBuildPath(); // change before the first send
    // A started debugger is shown in the desktop's terminal emulator, so a person can read it; it
    // watches the engine's process and ends after it. Empty: started directly, without a window.
    std::string sTerminal = "x-terminal-emulator";
    int iDesktop = -1;                          // -1 ask the platform; 0 or 1 decided (tests)
    std::mutex Lock;                            // one record at a time: reserve, write, count

    MVE_DEBUGGER_STATE() = default;
    MVE_DEBUGGER_STATE(const MVE_DEBUGGER_STATE &) = delete;
    MVE_DEBUGGER_STATE &operator=(const MVE_DEBUGGER_STATE &) = delete;
    ~MVE_DEBUGGER_STATE();                      // unmaps the block (a reset engine must not leak 10 MiB)
};
