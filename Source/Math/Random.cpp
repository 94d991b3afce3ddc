// The engine's one random source (PCG32, O'Neill 2014) kept in the engine record.
// Any thread: the state advances by compare-and-swap, so the main and physics threads may draw at
// once without losing or repeating a step. Never seeded from the clock: a run is repeatable by default.
#include "Core/Engine.h"

namespace {

constexpr uint64_t kMultiplier = 6364136223846793005ULL;
constexpr uint64_t kIncrement = 1442695040888963407ULL;

inline uint64_t Advance(uint64_t state) { return state * kMultiplier + kIncrement; }

// The permuted 32-bit output of a state.
inline uint32_t Output(uint64_t state) {
    const uint32_t xorshifted = static_cast<uint32_t>(((state >> 18) ^ state) >> 27);
    const uint32_t rot = static_cast<uint32_t>(state >> 59);
    return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
}

}  // namespace

extern "C" {

void MVE_SeedRandom(uint32_t seed) {
    // A seed taken from the clock would differ in a replay: the recorded one is used there.
    seed = MVE_ReplaySeed(seed);
    MVE_Engine().Random.uState.store(Advance(Advance(0) + seed), std::memory_order_relaxed);
}

int MVE_RandomInt(void) {
    std::atomic<uint64_t> &state = MVE_Engine().Random.uState;
    uint64_t old = state.load(std::memory_order_relaxed);
    while (!state.compare_exchange_weak(old, Advance(old), std::memory_order_relaxed)) {
    }
    return static_cast<int>(Output(old) >> 1);  // 31 bits: 0 .. 2147483647
}

// Worked in double so the top draw lands exactly on p: in float, 2147483647 rounds up to 2^31 and
// the largest draw would overshoot the range.
float MVE_RandomFloat(float p, float q) {
    const double r = static_cast<double>(MVE_RandomInt());
    return static_cast<float>((static_cast<double>(p) - q) * (1.0 / 2147483647.0) * r + q);
}

}  // extern "C"
