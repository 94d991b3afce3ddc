// Clocks from the C++ standard library: steady, monotonic, nanosecond ticks.
#include "Platform/Platform.h"
#include <chrono>

uint64_t MVE_PlatformCounter(void) {
    return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

uint64_t MVE_PlatformCounterFrequency(void) {
    using period = std::chrono::steady_clock::period;
    return static_cast<uint64_t>(period::den / period::num);
}

uint32_t MVE_PlatformMilliseconds(void) {
    return static_cast<uint32_t>(MVE_PlatformCounter() / (MVE_PlatformCounterFrequency() / 1000));
}
