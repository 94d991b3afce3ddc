// Sounds: node-like records (kind 5) placed in the scene and heard from the camera. Every record
// change and every list change happens under the physics lock, because the physics thread starts
// collision sounds; output itself is the platform's (Platform/Audio*.cpp).
#pragma once
#include "MVE.h"
#include <string>

#include "Object/Object.h"

struct MVE_DEFINITION_NODE;

struct MVE_SOUND {
    MVE_NODE_HEADER Header;      // iKind 5, references to the record's own matrix and orientation
    int iID = 0;
    std::string sName;
    int iMode = 0;
    int iPlaying = 0;            // 1 once started
    int iSound = 0;              // platform sound
    float fBaseFrequency = 0;    // the sound's own rate, Hz
    int iChannel = 0;            // platform channel of a channel instance; 0 for an ordinary sound
    float fLastDistance = 0;     // distance to the listener at the previous update
    v4f v4fDirection = {0, 0, -1, 0};
    v4f v4fPosition = {0, 0, 0, 1};
    v4f v4fOrientation = {0, 0, 0, 1};
    m4f m4fMatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    float v2fRange[2] = {0, 0};  // (minimum, maximum) hearing distance; maximum 0 = unlimited
    float v2fCone[2] = {0, 0};   // (inner, outer) half-angle, radians; outer 0 = no cone
    float fVolume = 1.0f;
    float fReserved = 0;
    float fFrequency = 1.0f;     // playback speed factor
    int iOwnChannel = 0;         // platform channel an ordinary sound plays on (0 before its first play)
    int iMeasured = 0;           // fLastDistance holds a measurement of this play
};

struct MVE_SOUND_STATE {
    float fMasterGain = 1.0f;    // applied to every sound's volume by the update
    float fSecondGain = 1.0f;    // kept for the second factor the start-up sets; unused
    int iStarted = 0;            // MVE_StartupSound ran (and MVE_ShutdownSound has not)
    int iOutput = 0;             // 1 while an output device plays
    std::string sDevice;         // device to open; empty = the system's default (tests name a missing one)
    // The camera as the last update saw it: collision sounds start on the physics thread, which
    // must not read the camera while the main thread moves it.
    m4f m4fView = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    int iViewSet = 0;
    MVE_SOUND_STATE() = default;
    MVE_SOUND_STATE(const MVE_SOUND_STATE &) = delete;
    MVE_SOUND_STATE &operator=(const MVE_SOUND_STATE &) = delete;
    ~MVE_SOUND_STATE();          // a dropped engine closes its device
};

// What the update hands to the output for one sound.
struct MVE_SOUND_MIX {
    float fVolume = 0;           // 1 = full
    float fPan = 0;              // -1 left .. 1 right
    float fFrequency = 1;        // factor of the sound's own rate
    float fDistance = 0;         // distance to the listener
};

// The arithmetic of the update, free of records and devices.
int MVE_SoundModeFromText(const std::string &text);                      // words by exact substring
float MVE_SoundRangeFactor(float distance, const float range[2]);        // 0 .. 1
float MVE_SoundConeFactor(float angle, const float cone[2]);             // 0 .. 1
// Doppler factor from the previous and the current distance over dt seconds; 1 when it cannot be
// measured (no previous distance, no time passed, or a source at or beyond the speed of sound).
float MVE_SoundDopplerFactor(float lastDistance, float distance, float dt, int measured);
// Volume, pan and frequency of a placed sound: `place` is its world matrix, `view` the inverse of
// the camera's placement.
MVE_SOUND_MIX MVE_SoundMix(const MVE_SOUND &sound, const m4f &place, const m4f &view, float masterGain, float dt);
m4f MVE_SoundViewMatrix(const m4f &camera);                              // exact inverse of a placement

// Loaders and procedures (the public ones are in MVE.h).
void MVE_ReleaseSound(MVE_SOUND *sound);                                 // registry release hook
// Collision sounds (the physics hook; physics thread, lock held): a new instance of `sound` at
// `point` with `fraction` of the sound's volume.
void MVE_PlayCollisionSound(int sound, float fraction, const v4f *point);
// Hands a playing record's volume, pan and frequency to its channel (lock held).
void MVE_ApplySoundMix(MVE_SOUND *sound, float dt);
void MVE_ShutdownSound();                                                // frees every sound, closes the device
// Live reload: a Sound section applied again to the sound it made (its file may be another now). A
// sound that plays on its own channel starts again with the new samples. 1 done, 0 (red rows).
int MVE_ReloadSoundSection(int handle, MVE_DEFINITION_NODE *section);

// Texts of the debugger reports and log rows (tests refer to them).
inline constexpr const char *MVE_SOUND_NOT_FOUND = "Sound : MVE_LoadSoundFile() : File does not exist ('";
inline constexpr const char *MVE_SOUND_FAILED = "Sound : MVE_LoadSoundFile() : Sound loading has failed ('";
inline constexpr const char *MVE_FAIL_NO_SOUND_DEVICE = "Fail: No sound output device! Sounds are silent: ";
inline constexpr const char *MVE_FAIL_SOUND_NOT_FOUND = "Fail: No sound with this ID!";
inline constexpr const char *MVE_FAIL_SOUND_NODE = "FAIL: Sound Node not found!";
