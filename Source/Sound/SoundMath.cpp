// What a listener at the camera hears of a placed sound: pan, volume over distance and emission
// cone, and the Doppler shift. Plain functions of numbers, so any thread may use them.
#include "Sound/Sound.h"
#include <algorithm>
#include <cmath>

namespace {
inline constexpr float kSpeedOfSound = 340.0f;  // units per second

// Column-major element (row r, column c).
inline float At(const m4f &m, int r, int c) { return m.m[4 * c + r]; }

v4f Apply(const m4f &m, const v4f &v) {
    v4f out;
    out.x = At(m, 0, 0) * v.x + At(m, 0, 1) * v.y + At(m, 0, 2) * v.z + At(m, 0, 3) * v.w;
    out.y = At(m, 1, 0) * v.x + At(m, 1, 1) * v.y + At(m, 1, 2) * v.z + At(m, 1, 3) * v.w;
    out.z = At(m, 2, 0) * v.x + At(m, 2, 1) * v.y + At(m, 2, 2) * v.z + At(m, 2, 3) * v.w;
    out.w = At(m, 3, 0) * v.x + At(m, 3, 1) * v.y + At(m, 3, 2) * v.z + At(m, 3, 3) * v.w;
    return out;
}
}  // namespace

int MVE_SoundModeFromText(const std::string &text) {
    static const struct {
        const char *sWord;
        int iFlag;
    } kWords[] = {{"Play", MVE_SOUND_PLAY},       {"Loop", MVE_SOUND_LOOP},
                  {"Background", MVE_SOUND_BACKGROUND}, {"Channel", MVE_SOUND_CHANNEL},
                  {"Dopplereffect", MVE_SOUND_DOPPLER}, {"Stream", MVE_SOUND_STREAM}};
    int mode = 0;
    for (const auto &w : kWords)
        if (text.find(w.sWord) != std::string::npos) mode |= w.iFlag;
    return mode;
}

float MVE_SoundRangeFactor(float distance, const float range[2]) {
    const float lo = range[0], hi = range[1];
    if (hi == 0.0f || !(distance > lo)) return 1.0f;
    if (distance > hi) return 0.0f;
    return 1.0f - (distance - lo) / (hi - lo);  // lo < distance <= hi, so hi > lo here
}

float MVE_SoundConeFactor(float angle, const float cone[2]) {
    const float inner = cone[0], outer = cone[1];
    if (outer == 0.0f || !(angle > inner)) return 1.0f;
    if (angle > outer) return 0.0f;
    return 1.0f - (angle - inner) / (outer - inner);
}

float MVE_SoundDopplerFactor(float lastDistance, float distance, float dt, int measured) {
    if (!measured || !(dt > 0.0f)) return 1.0f;
    const float divisor = 1.0f - ((lastDistance - distance) / dt) / kSpeedOfSound;
    if (!(divisor > 0.0f) || !std::isfinite(divisor)) return 1.0f;
    return 1.0f / divisor;
}

m4f MVE_SoundViewMatrix(const m4f &camera) {
    // General inverse in double precision: the engine's fast inverse is too coarse for distances
    // that decide whether a sound is heard at all.
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) a[r][c] = At(camera, r, c), a[r][c + 4] = r == c ? 1.0 : 0.0;
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        if (a[pivot][col] == 0.0) {
            m4f zero = {};
            return zero;
        }
        for (int c = 0; c < 8; ++c) std::swap(a[col][c], a[pivot][c]);
        const double inv = 1.0 / a[col][col];
        for (int c = 0; c < 8; ++c) a[col][c] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == col || a[r][col] == 0.0) continue;
            const double f = a[r][col];
            for (int c = 0; c < 8; ++c) a[r][c] -= f * a[col][c];
        }
    }
    m4f out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out.m[4 * c + r] = static_cast<float>(a[r][c + 4]);
    return out;
}

MVE_SOUND_MIX MVE_SoundMix(const MVE_SOUND &sound, const m4f &place, const m4f &view, float masterGain, float dt) {
    MVE_SOUND_MIX mix;
    if (sound.iMode & MVE_SOUND_BACKGROUND) {
        mix.fVolume = sound.fVolume * masterGain;
        mix.fFrequency = sound.fFrequency;
        return mix;
    }
    const v4f origin = {0, 0, 0, 1};
    const v4f p = Apply(view, Apply(place, origin));
    v4f e = Apply(view, Apply(place, sound.v4fDirection));
    const float d = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    mix.fDistance = d;
    const float el = std::sqrt(e.x * e.x + e.y * e.y + e.z * e.z);
    float angle = 0.0f;
    if (d > 0.0f) {
        mix.fPan = p.x / d;
        // A listener inside the source hears it whatever its cone.
        if (el > 0.0f) {
            const float facing = -(p.x * e.x + p.y * e.y + p.z * e.z) / (d * el);
            angle = std::acos(std::clamp(facing, -1.0f, 1.0f));
        } else {
            angle = 1.5707964f;  // no direction: heard as from the side
        }
    }
    mix.fFrequency = sound.fFrequency;
    if (sound.iMode & MVE_SOUND_DOPPLER)
        mix.fFrequency *= MVE_SoundDopplerFactor(sound.fLastDistance, d, dt, sound.iMeasured);
    mix.fVolume = sound.fVolume * masterGain * (0.6f + 0.4f * mix.fPan * mix.fPan);
    mix.fVolume *= MVE_SoundRangeFactor(d, sound.v2fRange);
    mix.fVolume *= MVE_SoundConeFactor(angle, sound.v2fCone);
    return mix;
}
