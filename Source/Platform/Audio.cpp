// Sound output over OpenAL Soft: the device, decoded sounds as buffers, channels as sources, and a
// feeder thread for streamed sounds. Any thread may call; one mutex guards every table, and the
// feeder never holds it across its pauses. Without a device every table still works and channels
// run on the clock, so callers see the same lifetimes either way.
#include "Platform/AudioDecode.h"
#include "Platform/Platform.h"
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>

namespace {

inline constexpr int kQueue = 3;             // buffers per streamed channel
inline constexpr int kChunkFrames = 8192;    // frames per streamed buffer (about 0.2 s at 44.1 kHz)

struct Clip {
    MVE_AUDIO_CLIP_DATA Data;                // Samples empty for streamed sounds
    MVE_AUDIO_BYTES Bytes;                   // the compressed file, streamed sounds only
    int iStream = 0;
    ALuint uBuffer = 0;                      // decoded sounds on a device
    ALenum eFormat = 0;                      // what the device is given
    int iOutChannels = 0;                    // channels of that format
    int iRefs = 1;
    int iOwnChannel = 0;
    ~Clip() {
        if (uBuffer) alDeleteBuffers(1, &uBuffer);
    }
};

struct Channel {
    std::shared_ptr<Clip> pClip;             // keeps the buffer alive while the source uses it
    int iExtra = 0;
    int iLoop = 0;
    int iActive = 0;                         // started and not stopped
    ALuint uSource = 0;
    std::unique_ptr<MVE_AUDIO_STREAM> pStream;
    ALuint uQueue[kQueue] = {};
    int iStreamEnded = 0;
    // Clock of a channel without a device: seconds of sound played so far.
    double dPosition = 0;
    std::chrono::steady_clock::time_point Last;
    float fGain = 1, fPan = 0, fPitch = 1;
    int iSpatial = -1;
};

struct Audio {
    std::mutex Lock;
    ALCdevice *pDevice = nullptr;
    ALCcontext *pContext = nullptr;
    int iMultiChannel = 0;                   // AL_EXT_MCFORMATS
    int iSpatialize = 0;                     // AL_SOFT_source_spatialize
    LPALDEFERUPDATESSOFT pDefer = nullptr;
    LPALPROCESSUPDATESSOFT pProcess = nullptr;
    LPALCRENDERSAMPLESSOFT pRender = nullptr;  // loopback devices only
    std::unordered_map<int, std::shared_ptr<Clip>> Clips;
    std::unordered_map<int, std::unique_ptr<Channel>> Channels;
    int iNextSound = 1, iNextChannel = 1;
    std::thread Feeder;
    std::condition_variable Wake;
    bool bQuit = false;
    std::vector<int16_t> Scratch, Mix;
};

Audio &A() {
    static Audio *audio = new Audio;         // never destroyed: a late caller at exit finds it intact
    return *audio;
}

int NextHandle(int &counter) {
    const int h = counter;
    counter = counter >= 0x7FFFFFFF ? 1 : counter + 1;
    return h;
}

// The device format for a channel count; counts it cannot take are mixed down to stereo.
void ChooseFormat(Clip &clip) {
    const int channels = clip.Data.iChannels;
    const char *name = nullptr;
    switch (channels) {
    case 1: clip.eFormat = AL_FORMAT_MONO16, clip.iOutChannels = 1; return;
    case 2: clip.eFormat = AL_FORMAT_STEREO16, clip.iOutChannels = 2; return;
    case 4: name = "AL_FORMAT_QUAD16"; break;
    case 6: name = "AL_FORMAT_51CHN16"; break;
    case 7: name = "AL_FORMAT_61CHN16"; break;
    case 8: name = "AL_FORMAT_71CHN16"; break;
    default: break;
    }
    const ALenum format = (name && A().iMultiChannel) ? alGetEnumValue(name) : 0;
    if (format > 0) {
        clip.eFormat = format, clip.iOutChannels = channels;
    } else {
        clip.eFormat = AL_FORMAT_STEREO16, clip.iOutChannels = 2;
    }
}

// Hands `frames` frames in output order to an AL buffer, mixed down when the format needs it.
void FillBuffer(const Clip &clip, ALuint buffer, const int16_t *samples, int64_t frames) {
    const int channels = clip.Data.iChannels;
    if (clip.iOutChannels == channels) {
        alBufferData(buffer, clip.eFormat, samples, static_cast<ALsizei>(frames * channels * 2), clip.Data.iRate);
        return;
    }
    std::vector<int16_t> &mix = A().Mix;
    mix.resize(static_cast<size_t>(frames * 2));
    MVE_AudioDownmixStereo(samples, frames, channels, mix.data());
    alBufferData(buffer, clip.eFormat, mix.data(), static_cast<ALsizei>(frames * 4), clip.Data.iRate);
}

// Decodes the next piece of a streamed channel into `buffer`; 0 at the end of the sound.
int FeedBuffer(Channel &ch, ALuint buffer) {
    std::vector<int16_t> &scratch = A().Scratch;
    const int channels = ch.pClip->Data.iChannels;
    scratch.resize(static_cast<size_t>(kChunkFrames * channels));
    const int frames = ch.pStream->Read(scratch.data(), kChunkFrames, ch.iLoop);
    if (frames <= 0) return 0;
    FillBuffer(*ch.pClip, buffer, scratch.data(), frames);
    return 1;
}

// Puts back what a streamed channel has played; restarts a source that ran dry before its end.
void Feed(Channel &ch) {
    if (!ch.iActive || !ch.uSource || !ch.pStream) return;
    ALint processed = 0;
    alGetSourcei(ch.uSource, AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(ch.uSource, 1, &buffer);
        if (!ch.iStreamEnded && FeedBuffer(ch, buffer))
            alSourceQueueBuffers(ch.uSource, 1, &buffer);
        else
            ch.iStreamEnded = 1;
    }
    ALint state = 0, queued = 0;
    alGetSourcei(ch.uSource, AL_SOURCE_STATE, &state);
    alGetSourcei(ch.uSource, AL_BUFFERS_QUEUED, &queued);
    if (state != AL_PLAYING && state != AL_PAUSED && queued > 0 && !ch.iStreamEnded) alSourcePlay(ch.uSource);
}

void FeederLoop() {
    Audio &a = A();
    std::unique_lock<std::mutex> lock(a.Lock);
    while (!a.bQuit) {
        for (auto &entry : a.Channels) Feed(*entry.second);
        a.Wake.wait_for(lock, std::chrono::milliseconds(15));
    }
}

void Advance(Channel &ch) {
    const auto now = std::chrono::steady_clock::now();
    if (ch.iActive) ch.dPosition += std::chrono::duration<double>(now - ch.Last).count() * ch.fPitch;
    ch.Last = now;
}

int Playing(Channel &ch) {
    if (!ch.iActive) return 0;
    if (ch.uSource) {
        if (ch.pStream && !ch.iStreamEnded) return 1;
        ALint state = 0;
        alGetSourcei(ch.uSource, AL_SOURCE_STATE, &state);
        return state == AL_PLAYING || state == AL_PAUSED;
    }
    if (ch.iLoop) return 1;
    Advance(ch);
    const Clip &clip = *ch.pClip;
    return ch.dPosition < static_cast<double>(clip.Data.iFrames) / clip.Data.iRate;
}

void Start(Channel &ch) {
    ch.iActive = 1;
    ch.dPosition = 0;
    ch.Last = std::chrono::steady_clock::now();
    if (!ch.uSource) return;
    alSourceStop(ch.uSource);
    if (ch.pStream) {
        alSourcei(ch.uSource, AL_BUFFER, 0);  // drops the whole queue of a stopped source
        ch.pStream->Rewind();
        ch.iStreamEnded = 0;
        int queued = 0;
        while (queued < kQueue && FeedBuffer(ch, ch.uQueue[queued])) ++queued;
        if (queued == 0) {
            ch.iStreamEnded = 1;
            return;
        }
        alSourceQueueBuffers(ch.uSource, queued, ch.uQueue);
    } else {
        alSourcei(ch.uSource, AL_LOOPING, ch.iLoop ? AL_TRUE : AL_FALSE);
        alSourceRewind(ch.uSource);
    }
    alSourcePlay(ch.uSource);
}

void Destroy(Channel &ch) {
    ch.iActive = 0;
    if (ch.uSource) {
        alSourceStop(ch.uSource);
        alSourcei(ch.uSource, AL_BUFFER, 0);
        alDeleteSources(1, &ch.uSource);
        ch.uSource = 0;
    }
    if (ch.pStream) {
        if (A().pContext) alDeleteBuffers(kQueue, ch.uQueue);
        ch.pStream.reset();
    }
}

// A new channel of `clip`; null when the device has no source left.
std::unique_ptr<Channel> MakeChannel(const std::shared_ptr<Clip> &clip, int extra) {
    auto ch = std::make_unique<Channel>();
    ch->pClip = clip;
    ch->iExtra = extra;
    if (!A().pContext) return ch;
    if (clip->iStream) {
        ch->pStream = MVE_AUDIO_STREAM::Open(clip->Bytes, clip->Data.iChannels);
        if (!ch->pStream) return nullptr;
    }
    alGetError();
    alGenSources(1, &ch->uSource);
    if (alGetError() != AL_NO_ERROR) {
        ch->uSource = 0;
        return nullptr;
    }
    if (clip->iStream) {
        alGenBuffers(kQueue, ch->uQueue);
        if (alGetError() != AL_NO_ERROR) {
            alDeleteSources(1, &ch->uSource);
            ch->uSource = 0;
            return nullptr;
        }
    } else {
        alSourcei(ch->uSource, AL_BUFFER, static_cast<ALint>(clip->uBuffer));
    }
    // The engine computes distance and direction itself: the device only pans.
    alSourcei(ch->uSource, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(ch->uSource, AL_ROLLOFF_FACTOR, 0.0f);
    alSource3f(ch->uSource, AL_POSITION, 0.0f, 0.0f, -1.0f);
    return ch;
}

Channel *FindChannel(int channel) {
    auto it = A().Channels.find(channel);
    return it == A().Channels.end() ? nullptr : it->second.get();
}

void EraseChannel(int channel) {
    auto it = A().Channels.find(channel);
    if (it == A().Channels.end()) return;
    Destroy(*it->second);
    A().Channels.erase(it);
}

int AddClip(MVE_AUDIO_CLIP_DATA &&data, MVE_AUDIO_BYTES bytes, int stream, MVE_SOUND_INFO *info, std::string &error) {
    Audio &a = A();
    auto clip = std::make_shared<Clip>();
    clip->Data = std::move(data);
    clip->iStream = stream;
    if (stream) clip->Bytes = std::move(bytes);
    std::lock_guard<std::mutex> lock(a.Lock);
    if (a.pContext) {
        ChooseFormat(*clip);
        if (!stream) {
            alGetError();
            alGenBuffers(1, &clip->uBuffer);
            if (alGetError() == AL_NO_ERROR) FillBuffer(*clip, clip->uBuffer, clip->Data.Samples.data(), clip->Data.iFrames);
            if (alGetError() != AL_NO_ERROR) {
                error = "the output device refused the sound";
                return 0;
            }
        }
    }
    if (info) *info = MVE_SOUND_INFO{clip->Data.iChannels, clip->Data.iRate, clip->Data.iFrames, stream};
    const int handle = NextHandle(a.iNextSound);
    a.Clips[handle] = std::move(clip);
    return handle;
}

// Context, extensions and the feeder on the freshly opened device (lock held).
int StartContext(const ALCint *attributes, std::string &error) {
    Audio &a = A();
    a.pContext = alcCreateContext(a.pDevice, attributes);
    if (!a.pContext || !alcMakeContextCurrent(a.pContext)) {
        if (a.pContext) alcDestroyContext(a.pContext);
        alcCloseDevice(a.pDevice);
        a.pContext = nullptr, a.pDevice = nullptr;
        error = "the sound device refused a context";
        return 0;
    }
    a.iMultiChannel = alIsExtensionPresent("AL_EXT_MCFORMATS") ? 1 : 0;
    a.iSpatialize = alIsExtensionPresent("AL_SOFT_source_spatialize") ? 1 : 0;
    if (alIsExtensionPresent("AL_SOFT_deferred_updates")) {
        a.pDefer = reinterpret_cast<LPALDEFERUPDATESSOFT>(alGetProcAddress("alDeferUpdatesSOFT"));
        a.pProcess = reinterpret_cast<LPALPROCESSUPDATESSOFT>(alGetProcAddress("alProcessUpdatesSOFT"));
    }
    alListenerf(AL_GAIN, 1.0f);
    a.bQuit = false;
    a.Feeder = std::thread(FeederLoop);
    return 1;
}

}  // namespace

int MVE_PlatformStartAudio(const char *device, std::string &error) {
    Audio &a = A();
    MVE_PlatformStopAudio();
    std::lock_guard<std::mutex> lock(a.Lock);
    a.pDevice = alcOpenDevice(device && *device ? device : nullptr);
    if (!a.pDevice) {
        error = device && *device ? std::string("the sound device '") + device + "' cannot be opened"
                                  : "no sound output device can be opened";
        return 0;
    }
    return StartContext(nullptr, error);
}

int MVE_PlatformStartAudioLoopback(int rate, std::string &error) {
    Audio &a = A();
    MVE_PlatformStopAudio();
    std::lock_guard<std::mutex> lock(a.Lock);
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    a.pRender = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    a.pDevice = open && a.pRender ? open(nullptr) : nullptr;
    if (!a.pDevice) {
        error = "no loopback device";
        return 0;
    }
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                                 ALC_FREQUENCY, rate, ALC_HRTF_SOFT, ALC_FALSE, 0};
    return StartContext(attributes, error);
}

int MVE_PlatformRenderAudio(float *out, int frames) {
    std::lock_guard<std::mutex> lock(A().Lock);
    if (!A().pContext || !A().pRender || frames <= 0) return 0;
    A().pRender(A().pDevice, out, frames);
    return 1;
}

void MVE_PlatformStopAudio(void) {
    Audio &a = A();
    {
        std::lock_guard<std::mutex> lock(a.Lock);
        a.bQuit = true;
    }
    a.Wake.notify_all();
    if (a.Feeder.joinable()) a.Feeder.join();
    std::lock_guard<std::mutex> lock(a.Lock);
    for (auto &entry : a.Channels) Destroy(*entry.second);
    // Swapped out rather than cleared: the tables' buckets and the decode buffers (up to 160 KB)
    // are the engine's memory too and must not outlive it.
    decltype(a.Channels)().swap(a.Channels);
    decltype(a.Clips)().swap(a.Clips);  // the buffers go while the context is still current
    std::vector<int16_t>().swap(a.Scratch);
    std::vector<int16_t>().swap(a.Mix);
    if (a.pContext) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(a.pContext);
    }
    if (a.pDevice) alcCloseDevice(a.pDevice);
    a.pContext = nullptr, a.pDevice = nullptr;
    a.pDefer = nullptr, a.pProcess = nullptr, a.pRender = nullptr;
}

int MVE_PlatformAudioOutput(void) {
    std::lock_guard<std::mutex> lock(A().Lock);
    return A().pContext ? 1 : 0;
}

void MVE_PlatformSetAudioGain(float gain) {
    std::lock_guard<std::mutex> lock(A().Lock);
    if (A().pContext && std::isfinite(gain)) alListenerf(AL_GAIN, std::max(0.0f, gain));
}

namespace {

int LoadBytes(std::vector<uint8_t> &&data, int stream, MVE_SOUND_INFO *info, std::string &error) {
    MVE_AUDIO_BYTES bytes = std::make_shared<const std::vector<uint8_t>>(std::move(data));
    MVE_AUDIO_CLIP_DATA clip;
    const int ok = stream ? MVE_AudioProbeStream(bytes, clip, error) : MVE_AudioDecodeAll(bytes, clip, error);
    if (!ok) return 0;
    return AddClip(std::move(clip), std::move(bytes), stream, info, error);
}

}  // namespace

// Memory that cannot be had while a sound is read is a refusal like any other, never an abort.
int MVE_PlatformDecodeSound(const void *data, size_t size, int stream, MVE_SOUND_INFO *info, std::string &error) {
    try {
        const uint8_t *begin = static_cast<const uint8_t *>(data);
        return LoadBytes(std::vector<uint8_t>(begin, begin + (begin ? size : 0)), stream, info, error);
    } catch (const std::bad_alloc &) {
        error = "out of memory";
        return 0;
    }
}

int MVE_PlatformLoadSound(const char *file, int stream, MVE_SOUND_INFO *info, std::string &error) {
    try {
        std::vector<uint8_t> bytes;
        if (!MVE_ReadRegularFile(file, MVE_FILE_SOUND, bytes, error)) return 0;
        return LoadBytes(std::move(bytes), stream, info, error);
    } catch (const std::bad_alloc &) {
        error = "out of memory";
        return 0;
    }
}

void MVE_PlatformRetainSound(int sound) {
    std::lock_guard<std::mutex> lock(A().Lock);
    auto it = A().Clips.find(sound);
    if (it != A().Clips.end()) ++it->second->iRefs;
}

void MVE_PlatformReleaseSound(int sound) {
    std::lock_guard<std::mutex> lock(A().Lock);
    auto it = A().Clips.find(sound);
    if (it == A().Clips.end() || --it->second->iRefs > 0) return;
    EraseChannel(it->second->iOwnChannel);
    A().Clips.erase(it);  // additional channels still playing keep the data until they end
}

int MVE_PlatformGetSoundInfo(int sound, MVE_SOUND_INFO *info) {
    std::lock_guard<std::mutex> lock(A().Lock);
    auto it = A().Clips.find(sound);
    if (it == A().Clips.end()) return 0;
    const Clip &c = *it->second;
    if (info) *info = MVE_SOUND_INFO{c.Data.iChannels, c.Data.iRate, c.Data.iFrames, c.iStream};
    return 1;
}

const int16_t *MVE_PlatformSoundSamples(int sound, int64_t *frames, int *channels) {
    std::lock_guard<std::mutex> lock(A().Lock);
    auto it = A().Clips.find(sound);
    if (it == A().Clips.end() || it->second->iStream) return nullptr;
    if (frames) *frames = it->second->Data.iFrames;
    if (channels) *channels = it->second->Data.iChannels;
    return it->second->Data.Samples.data();
}

int MVE_PlatformPlaySound(int sound, int loop, int extra) {
    Audio &a = A();
    std::lock_guard<std::mutex> lock(a.Lock);
    auto it = a.Clips.find(sound);
    if (it == a.Clips.end()) return 0;
    Clip &clip = *it->second;
    int handle = extra ? 0 : clip.iOwnChannel;
    Channel *ch = FindChannel(handle);
    if (!ch) {
        std::unique_ptr<Channel> made = MakeChannel(it->second, extra);
        if (!made) return 0;
        handle = NextHandle(a.iNextChannel);
        ch = made.get();
        a.Channels[handle] = std::move(made);
        if (!extra) clip.iOwnChannel = handle;
    }
    ch->iLoop = loop ? 1 : 0;
    Start(*ch);
    return handle;
}

void MVE_PlatformSetChannel(int channel, float gain, float pan, float pitch) {
    std::lock_guard<std::mutex> lock(A().Lock);
    Channel *ch = FindChannel(channel);
    if (!ch) return;
    // The device takes no negative gain, no pitch of 0 and nothing that is not a number.
    gain = std::isfinite(gain) ? std::max(0.0f, gain) : 0.0f;
    pan = std::isfinite(pan) ? std::clamp(pan, -1.0f, 1.0f) : 0.0f;
    pitch = std::isfinite(pitch) ? std::clamp(pitch, 1.0f / 256, 255.0f) : 1.0f;
    if (ch->uSource) {
        if (gain != ch->fGain) alSourcef(ch->uSource, AL_GAIN, gain);
        if (pitch != ch->fPitch) alSourcef(ch->uSource, AL_PITCH, pitch);
        if (pan != ch->fPan) alSource3f(ch->uSource, AL_POSITION, pan, 0.0f, -std::sqrt(1.0f - pan * pan));
        // Sounds of several channels keep their own layout unless they are panned.
        const int spatial = ch->pClip->iOutChannels > 1 && pan != 0.0f ? AL_TRUE : AL_AUTO_SOFT;
        if (A().iSpatialize && spatial != ch->iSpatial) alSourcei(ch->uSource, AL_SOURCE_SPATIALIZE_SOFT, spatial);
        ch->iSpatial = spatial;
    } else {
        Advance(*ch);
    }
    ch->fGain = gain, ch->fPan = pan, ch->fPitch = pitch;
}

int MVE_PlatformChannelPlaying(int channel) {
    std::lock_guard<std::mutex> lock(A().Lock);
    Channel *ch = FindChannel(channel);
    return ch ? Playing(*ch) : 0;
}

void MVE_PlatformStopChannel(int channel) {
    std::lock_guard<std::mutex> lock(A().Lock);
    Channel *ch = FindChannel(channel);
    if (!ch) return;
    if (ch->iExtra) {
        EraseChannel(channel);
        return;
    }
    ch->iActive = 0;
    if (ch->uSource) alSourceStop(ch->uSource);
}

void MVE_PlatformBeginAudioUpdate(void) {
    std::lock_guard<std::mutex> lock(A().Lock);
    if (A().pDefer) A().pDefer();
}

void MVE_PlatformEndAudioUpdate(void) {
    std::lock_guard<std::mutex> lock(A().Lock);
    if (A().pProcess) A().pProcess();
}
