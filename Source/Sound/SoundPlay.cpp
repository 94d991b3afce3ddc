// Playing sounds: starts (with channel instances as independent copies), the per-frame update that
// places every playing sound around the camera, and collision sounds. Everything runs under the
// physics lock: the physics thread starts collision sounds on the same list the update walks.
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Sound/Sound.h"
#include <cmath>
#include <mutex>
#include <vector>

namespace {

using Guard = MVE_PhysicsGuard;
MVE_PHYSICS_MUTEX &PhysicsLock() { return MVE_Engine().Physics.Lock; }

m4f View() { return MVE_SoundViewMatrix(MVE_Engine().Defaults.m4fCamera); }

void RebuildMatrix(MVE_SOUND *s) {
    MVE_m4fFromQuaternion(&s->v4fOrientation, &s->m4fMatrix);
    s->m4fMatrix.m[12] = s->v4fPosition.x, s->m4fMatrix.m[13] = s->v4fPosition.y;
    s->m4fMatrix.m[14] = s->v4fPosition.z, s->m4fMatrix.m[15] = 1.0f;
}

int PlayingChannel(const MVE_SOUND *s) { return s->iChannel ? s->iChannel : s->iOwnChannel; }

// Starts `s`; returns the instance that plays (a new copy for channel sounds) and its handle in
// *result, or null when it does not play.
MVE_SOUND *Start(MVE_SOUND *s, int mode, const v4f *position, const m4f &view, int *result) {
    *result = 0;
    if (position && s->v2fRange[1] != 0.0f) {
        const v4f p = {position->x, position->y, position->z, 1.0f};
        v4f q;
        MVE_v4fTransformTo(&q, &view, &p);
        if (s->v2fRange[1] < std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z)) return nullptr;
    }
    if (mode == MVE_IGNORE) mode = s->iMode;
    const int loop = (mode & MVE_SOUND_LOOP) ? 1 : 0;
    MVE_SOUND *instance = s;
    int handle = MVE_HandleOf(s);
    if (mode & MVE_SOUND_CHANNEL) {
        const int channel = MVE_PlatformPlaySound(s->iSound, loop, 1);
        if (!channel) return nullptr;
        int id = MVE_ID_AUTO;
        MVE_SOUND *copy = MVE_CreateSoundListEntry(&id, "", &handle);
        if (!copy) {
            MVE_PlatformStopChannel(channel);
            return nullptr;
        }
        *copy = *s;
        copy->iID = id;
        copy->sName.clear();
        copy->Header.pModel = copy->Header.pWorld = &copy->m4fMatrix;
        copy->Header.pOrientation = &copy->v4fOrientation;
        copy->iChannel = channel;
        copy->iOwnChannel = 0;
        MVE_PlatformRetainSound(copy->iSound);
        instance = copy;
    } else {
        const int channel = MVE_PlatformPlaySound(s->iSound, loop, 0);
        if (!channel) return nullptr;
        s->iOwnChannel = channel;
    }
    instance->iPlaying = 1;
    instance->iMode = mode;
    instance->iMeasured = 0;  // a new start measures its own first distance: no Doppler jump
    if (position) {
        instance->v4fPosition = {position->x, position->y, position->z, 1.0f};
        RebuildMatrix(instance);
    }
    *result = handle;
    return instance;
}

void ApplyMix(MVE_SOUND *s, const m4f &view, float dt) {
    const MVE_SOUND_MIX mix = MVE_SoundMix(*s, s->m4fMatrix, view, MVE_Engine().Sound.fMasterGain, dt);
    MVE_PlatformSetChannel(PlayingChannel(s), mix.fVolume, mix.fPan, mix.fFrequency);
    s->fLastDistance = mix.fDistance;
    s->iMeasured = 1;
}

}  // namespace

void MVE_ApplySoundMix(MVE_SOUND *s, float dt) { ApplyMix(s, View(), dt); }

extern "C" int MVE_PlaySound(int sound, int mode, const v4f *position) {
    Guard guard(PhysicsLock());
    MVE_SOUND *s = MVE_GetSound(sound);
    if (!s) {
        MVE_LogFail(std::string(MVE_FAIL_SOUND_NOT_FOUND) + " (" + std::to_string(sound) + ")", "MVE_PlaySound");
        return 0;
    }
    int result = 0;
    const m4f view = View();
    MVE_SOUND *instance = Start(s, mode, position, view, &result);
    // Heard at its place from the first sample, not only from the next update.
    if (instance) ApplyMix(instance, view, 0.0f);
    return result;
}

void MVE_PlayCollisionSound(int sound, float fraction, const v4f *point) {
    Guard guard(PhysicsLock());
    MVE_SOUND *s = MVE_GetSound(sound);
    if (!s) return;
    // Always an instance of its own: the sound's own volume stays as it was, and a contact never
    // starts a sound that loops for ever.
    const int mode = (s->iMode | MVE_SOUND_CHANNEL) & ~(MVE_SOUND_LOOP | MVE_SOUND_PLAY);
    const MVE_SOUND_STATE &state = MVE_Engine().Sound;
    const m4f view = state.iViewSet ? state.m4fView : View();
    int result = 0;
    MVE_SOUND *instance = Start(s, mode, point, view, &result);
    if (!instance) return;
    instance->fVolume = s->fVolume * fraction;
    ApplyMix(instance, view, 0.0f);
}

extern "C" int MVE_UpdateSounds(void) {
    MVE_ENGINE &e = MVE_Engine();
    Guard guard(PhysicsLock());
    const float dt = e.Screen.Frame.fFrameTime;
    const m4f view = View();
    e.Sound.m4fView = view;
    e.Sound.iViewSet = 1;
    const float master = e.Sound.fMasterGain;
    std::vector<int> finished;
    MVE_PlatformBeginAudioUpdate();
    e.Registries.Sounds.ForEach([&](MVE_SOUND *s) {
        if (!s->iPlaying) return;
        if (s->iChannel && !MVE_PlatformChannelPlaying(s->iChannel)) {
            finished.push_back(s->iID);
            return;
        }
        const MVE_SOUND_MIX mix = MVE_SoundMix(*s, s->m4fMatrix, view, master, dt);
        MVE_PlatformSetChannel(PlayingChannel(s), mix.fVolume, mix.fPan, mix.fFrequency);
        s->fLastDistance = mix.fDistance;
        s->iMeasured = 1;
    });
    MVE_PlatformEndAudioUpdate();
    for (int id : finished) MVE_FreeSound(id);
    return 0;
}

extern "C" int MVE_SetSoundPosition(int sound, float x, float y, float z) {
    Guard guard(PhysicsLock());
    MVE_SOUND *s = MVE_GetSound(sound);
    if (!s) {
        MVE_LogFail(std::string(MVE_FAIL_SOUND_NOT_FOUND) + " (" + std::to_string(sound) + ")", "MVE_SetSoundPosition");
        return 0;
    }
    s->v4fPosition = {x, y, z, 1.0f};
    RebuildMatrix(s);
    return 1;
}

extern "C" int MVE_SetSoundVolume(int sound, float volume) {
    Guard guard(PhysicsLock());
    MVE_SOUND *s = MVE_GetSound(sound);
    if (!s) {
        MVE_LogFail(std::string(MVE_FAIL_SOUND_NOT_FOUND) + " (" + std::to_string(sound) + ")", "MVE_SetSoundVolume");
        return 0;
    }
    s->fVolume = volume;
    return 1;
}

extern "C" int MVE_StopSound(int sound) {
    Guard guard(PhysicsLock());
    MVE_SOUND *s = MVE_GetSound(sound);
    if (!s) return 0;
    // A stopped instance is gone at the next update, as one that ended.
    if (PlayingChannel(s)) MVE_PlatformStopChannel(PlayingChannel(s));
    if (!s->iChannel) s->iPlaying = 0;
    return 1;
}

extern "C" int MVE_IsSoundPlaying(int sound) {
    Guard guard(PhysicsLock());
    MVE_SOUND *s = MVE_GetSound(sound);
    return s && s->iPlaying && PlayingChannel(s) && MVE_PlatformChannelPlaying(PlayingChannel(s)) ? 1 : 0;
}
