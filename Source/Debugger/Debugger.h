// The link to the debugger application: a named shared-memory block holding a message counter and
// a ring of message records. Any thread may send (no lock: the reader syncs on the counter).
#pragma once
#include <atomic>
#include <cstdint>

inline constexpr const char *MVE_DEBUGGER_BLOCK_NAME = "/MVE_DebuggerApplication";
inline constexpr uint64_t MVE_DEBUGGER_RING_END = 10485760;              // records end within 10 MiB
inline constexpr uint64_t MVE_DEBUGGER_BLOCK_SIZE = MVE_DEBUGGER_RING_END + 8;

struct MVE_DEBUGGER_STATE {
    uint8_t *pBase = nullptr;        // mapped block; null until connected
    int iStatus = 0;                 // 0 not yet connected, 1 connected, -1 unavailable for the run
    uint64_t iWrite = 8;             // offset of the next record
};
