// Sounds from files and definitions: start-up and shut-down of the output, loading, creating and
// releasing sound records. Main thread; record and list changes take the physics lock, because the
// physics thread starts collision sounds from the same list.
#include "Sound/Sound.h"
#include "Core/Engine.h"
#include "Core/Startup.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Reload/Reload.h"
#include <filesystem>
#include <mutex>

namespace {

using Guard = MVE_PhysicsGuard;
MVE_PHYSICS_MUTEX &PhysicsLock() { return MVE_Engine().Physics.Lock; }

int LoadSection(int id, MVE_DEFINITION_NODE *node, const char *folder) { return MVE_LoadSoundDefinition(id, node, folder); }

// Both the debugger link (where these reports have always gone) and the log get the failure.
void ReportLoadFailure(const std::string &path, const std::string &reason) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    const std::string report = std::string(exists ? MVE_SOUND_FAILED : MVE_SOUND_NOT_FOUND) + path + "')";
    MVE_DebugText(2, report.c_str());
    // A file the file door refused (a FIFO, a folder, too large) carries the door's own row.
    const bool refused = reason.rfind("Fail: ", 0) == 0;
    MVE_LogFail(refused  ? reason
                : exists ? "Fail: Sound loading has failed! (" + reason + ")"
                         : std::string("Fail: File not found!"),
                "MVE_LoadSoundFile");
}

int ReloadSoundFile(int handle, const std::string &path, int stream, const std::string &name);

void BindSoundFile(MVE_ReloadScope &scope, int handle, const std::string &path, int stream, const std::string &name) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_SOUND;
    target.iHandle = handle;
    target.sName = name;
    scope.Bind(target, [=, path = MVE_ReloadPath(path)] { return ReloadSoundFile(handle, path, stream, name); });
}

// A new platform sound in place of the record's own. What plays the old one on the record's own
// channel starts again with the new one; channel instances play the old one to its end.
void SwapPlatformSound(MVE_SOUND *s, int platformSound) {
    MVE_SOUND_INFO info;
    MVE_PlatformGetSoundInfo(platformSound, &info);
    int old = 0;
    bool again = false;
    {
        Guard guard(PhysicsLock());
        old = s->iSound;
        again = s->iPlaying && !s->iChannel && s->iOwnChannel && MVE_PlatformChannelPlaying(s->iOwnChannel);
        s->iSound = platformSound;
        s->fBaseFrequency = static_cast<float>(info.iRate);
        s->iOwnChannel = 0;
        if (!again) s->iPlaying = 0;
    }
    MVE_PlatformReleaseSound(old);
    if (again) MVE_PlaySound(MVE_HandleOf(s), s->iMode, nullptr);
}

int ReloadSoundFile(int handle, const std::string &path, int stream, const std::string &name) {
    MVE_ReloadScope scope;
    std::string error;
    const int platformSound = MVE_PlatformLoadSound(path.c_str(), stream, nullptr, error);
    if (!platformSound) {
        MVE_LogFail("Fail: Sound loading has failed! (" + error + ")", "MVE_LoadSoundFile");
        return 0;
    }
    MVE_SOUND *s = MVE_GetSound(handle);
    if (!s) {
        MVE_PlatformReleaseSound(platformSound);
        return 0;
    }
    SwapPlatformSound(s, platformSound);
    BindSoundFile(scope, handle, path, stream, name);
    return 1;
}

// Loads and creates; *sound receives the record (null on failure). Returns what the public loader returns.
int LoadSoundFile(int id, const char *file, int mode, const char *name, MVE_SOUND **sound) {
    *sound = nullptr;
    const std::string path = file ? file : "";
    MVE_LogHeading("Load Sound: " + path, __LINE__, __FILE__, "MVE_LoadSoundFile");
    MVE_ReloadScope scope;
    std::string error;
    const int stream = (mode & MVE_SOUND_STREAM) ? 1 : 0;
    const int platformSound = MVE_PlatformLoadSound(path.c_str(), stream, nullptr, error);
    if (!platformSound) {
        ReportLoadFailure(path, error);
        return 0;
    }
    const int handle = MVE_CreateSound(id, name, platformSound, mode);
    if (!handle) {
        MVE_PlatformReleaseSound(platformSound);
        return 0;
    }
    MVE_LogOK("MVE_LoadSoundFile");
    *sound = MVE_GetSound(handle);
    BindSoundFile(scope, handle, path, stream, (*sound)->sName);
    if (mode & MVE_SOUND_PLAY) {
        // A sound that loaded but found no free channel is still there: hand out the sound.
        const int played = MVE_PlaySound(handle, MVE_IGNORE, nullptr);
        if (played) return played;
    }
    return handle;
}

// The sound file a section names (relative to `folder`, or to the section's own folder) and its mode.
std::string SectionFile(MVE_DEFINITION_NODE *section, const char *folder, MVE_DEFINITION_NODE *fileNode) {
    std::string dir = folder && *folder ? std::string(folder) : MVE_GetDefinitionFolder(section);
    std::string file = MVE_NativePath(MVE_ReadDefinitionString(fileNode, ""));
    if (!dir.empty() && !file.empty() && file[0] != '/') {
        dir = MVE_NativePath(dir);
        if (dir.back() != '/') dir += '/';
        file = dir + file;
    }
    return file;
}

// The placement keys of a section into a record (lock held).
void ReadSectionKeys(MVE_DEFINITION_NODE *section, MVE_SOUND *s) {
    MVE_ReadDefinitionVector(MVE_FindDefinitionNode(section, "\\Direction", "", 0), &s->v4fDirection, 0, 0, -1,
                             MVE_IGNORE_F);
    s->v4fDirection.w = 0.0f;
    MVE_ReadDefinitionRange(MVE_FindDefinitionNode(section, "\\Cone", "", 0), s->v2fCone, 0, 0);
    s->v2fCone[0] *= 0.017453292f;
    s->v2fCone[1] *= 0.017453292f;
    MVE_ReadDefinitionRange(MVE_FindDefinitionNode(section, "\\Range", "", 0), s->v2fRange, 0, 0);
    s->fVolume = MVE_ReadDefinitionFloat(MVE_FindDefinitionNode(section, "\\Volume", "", 0), 1.0f);
    s->fFrequency = MVE_ReadDefinitionFloat(MVE_FindDefinitionNode(section, "\\Frequency", "", 0), 1.0f);
}

}  // namespace

MVE_SOUND_STATE::~MVE_SOUND_STATE() {
    if (iStarted) MVE_PlatformStopAudio();
}

void MVE_StartupSound() {
    MVE_ENGINE &e = MVE_Engine();
    MVE_SOUND_STATE &s = e.Sound;
    s.fMasterGain = 1.0f;
    s.fSecondGain = 1.0f;
    std::string error;
    s.iOutput = MVE_PlatformStartAudio(s.sDevice.c_str(), error);
    if (!s.iOutput) MVE_LogFail(std::string(MVE_FAIL_NO_SOUND_DEVICE) + error, "MVE_InitSound");
    MVE_PlatformSetAudioGain(1.0f);
    s.iStarted = 1;
    e.Definition.pLoadSound = LoadSection;
    Guard guard(PhysicsLock());
    e.Physics.pSoundHook = MVE_PlayCollisionSound;
}

void MVE_ShutdownSound() {
    MVE_ENGINE &e = MVE_Engine();
    {
        Guard guard(PhysicsLock());
        e.Physics.pSoundHook = nullptr;
        e.Registries.Sounds.FreeAll();
    }
    if (e.Definition.pLoadSound == LoadSection) e.Definition.pLoadSound = nullptr;
    MVE_PlatformStopAudio();
    e.Sound.iStarted = 0;
    e.Sound.iOutput = 0;
}

void MVE_ReleaseSound(MVE_SOUND *sound) {
    if (sound->iChannel) MVE_PlatformStopChannel(sound->iChannel);
    MVE_PlatformReleaseSound(sound->iSound);
    sound->iChannel = sound->iOwnChannel = sound->iSound = 0;
}

extern "C" int MVE_CreateSound(int id, const char *name, int platformSound, int mode) {
    if (!platformSound) return 0;
    MVE_SOUND_INFO info;
    if (!MVE_PlatformGetSoundInfo(platformSound, &info)) {
        MVE_LogFail("Fail: No platform sound with this handle! (" + std::to_string(platformSound) + ")",
                    "MVE_CreateSound");
        return 0;
    }
    Guard guard(PhysicsLock());
    int requested = id, handle = 0;
    MVE_SOUND *s = MVE_CreateSoundListEntry(&requested, name, &handle);
    if (!s) return 0;
    s->Header.iKind = MVE_KIND_SOUND;
    s->Header.pModel = s->Header.pWorld = &s->m4fMatrix;
    s->Header.pOrientation = &s->v4fOrientation;
    s->iMode = mode;
    s->iSound = platformSound;
    s->iChannel = 0;
    s->fVolume = 1.0f;
    s->fFrequency = 1.0f;
    s->v4fPosition = {0, 0, 0, 1};
    s->v4fOrientation = {0, 0, 0, 1};
    s->v4fDirection = {0, 0, -1, 0};
    MVE_m4fFromQuaternion(&s->v4fOrientation, &s->m4fMatrix);
    s->m4fMatrix.m[12] = s->v4fPosition.x, s->m4fMatrix.m[13] = s->v4fPosition.y;
    s->m4fMatrix.m[14] = s->v4fPosition.z, s->m4fMatrix.m[15] = 1.0f;
    s->fBaseFrequency = static_cast<float>(info.iRate);
    return handle;
}

extern "C" int MVE_LoadSoundFile(int id, const char *file, int mode, const char *name) {
    MVE_SOUND *sound = nullptr;
    return LoadSoundFile(id, file, mode, name, &sound);
}

extern "C" int MVE_LoadSoundDefinition(int id, MVE_DEFINITION_NODE *node, const char *folder) {
    MVE_SectionLoad load;
    MVE_DEFINITION_NODE *section = MVE_FindDefinitionNode(node, "Sound", "", 0);
    if (!section) {
        // The section walk only ever hands over Sound sections; a program's own tree may hold none.
        MVE_LogFail(MVE_FAIL_SOUND_NODE, "MVE_LoadSoundDefinition");
        return 0;
    }
    MVE_DEFINITION_NODE *fileNode = MVE_FindDefinitionNode(section, "\\File", "", 0);
    if (!fileNode) {
        MVE_LogFail("Fail: Sound definition without a file! ('" + section->sValue + "')", "MVE_LoadSoundDefinition");
        return 0;
    }
    const std::string file = SectionFile(section, folder, fileNode);
    const int mode = MVE_SoundModeFromText(MVE_ReadDefinitionString(MVE_FindDefinitionNode(section, "\\Mode", "", 0), ""));
    MVE_SOUND *sound = nullptr;
    const int result = LoadSoundFile(id, file.c_str(), mode, section->sValue.c_str(), &sound);
    if (!result || !sound) return 0;
    const int handle = MVE_HandleOf(sound);
    {
        Guard guard(PhysicsLock());
        MVE_SOUND *played = MVE_GetSound(result);  // the instance a playing channel sound started, or the sound
        MVE_SOUND *targets[2] = {sound, played != sound ? played : nullptr};
        for (MVE_SOUND *s : targets)
            if (s) ReadSectionKeys(section, s);
        if (played && played->iPlaying) MVE_ApplySoundMix(played, 0.0f);
    }
    load.Done(section, handle);
    return result;
}

int MVE_ReloadSoundSection(int handle, MVE_DEFINITION_NODE *section) {
    MVE_SectionLoad load;
    MVE_DEFINITION_NODE *fileNode = MVE_FindDefinitionNode(section, "\\File", "", 0);
    if (!fileNode) {
        MVE_LogFail("Fail: Sound definition without a file! ('" + section->sValue + "')", "MVE_LoadSoundDefinition");
        return 0;
    }
    MVE_SOUND *s = MVE_GetSound(handle);
    if (!s) return 0;
    const std::string file = SectionFile(section, "", fileNode);
    const int mode = MVE_SoundModeFromText(MVE_ReadDefinitionString(MVE_FindDefinitionNode(section, "\\Mode", "", 0), ""));
    MVE_ReloadScope scope;
    std::string error;
    const int stream = (mode & MVE_SOUND_STREAM) ? 1 : 0;
    const int platformSound = MVE_PlatformLoadSound(file.c_str(), stream, nullptr, error);
    if (!platformSound) {
        ReportLoadFailure(file, error);
        return 0;
    }
    {
        Guard guard(PhysicsLock());
        // A playing sound keeps the mode it plays in until it is started again.
        if (!s->iPlaying) s->iMode = mode;
        ReadSectionKeys(section, s);
    }
    SwapPlatformSound(s, platformSound);
    BindSoundFile(scope, handle, file, stream, s->sName);
    return 1;
}
