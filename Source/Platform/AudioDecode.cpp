// Ogg Vorbis decoding over bytes in memory (libvorbisfile), after the survey (AudioSurvey.cpp) has
// checked the file. Every refusal names its reason; nothing here trusts the lengths, rates or
// channel counts a file declares before checking them, and the decoder only ever reads forward.
#include "Platform/AudioDecode.h"
#include <vorbis/vorbisfile.h>
#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The file as a source for libvorbisfile that cannot seek: the library then reads front to back
// and never runs its seeking paths (which crash inside libogg on some crafted files).
struct MemoryReader {
    MVE_AUDIO_BYTES Bytes;
    size_t uOffset = 0;
};

size_t ReadMemory(void *out, size_t size, size_t count, void *source) {
    MemoryReader *r = static_cast<MemoryReader *>(source);
    if (size == 0) return 0;
    const size_t left = r->Bytes->size() - r->uOffset;
    const size_t n = std::min(count, left / size);
    std::memcpy(out, r->Bytes->data() + r->uOffset, n * size);
    r->uOffset += n * size;
    return n;
}

const ov_callbacks kForwardOnly = {ReadMemory, nullptr, nullptr, nullptr};

// Where each output position takes its sample from, in the file's (Vorbis) speaker order.
const int *ReorderMap(int channels) {
    static const int k3[] = {0, 2, 1};                    // L C R -> L R C
    static const int k5[] = {0, 2, 1, 3, 4};              // FL C FR RL RR -> FL FR C RL RR
    static const int k6[] = {0, 2, 1, 5, 3, 4};           // FL C FR RL RR LFE -> FL FR C LFE RL RR
    static const int k7[] = {0, 2, 1, 6, 5, 3, 4};        // FL C FR SL SR RC LFE -> FL FR C LFE RC SL SR
    static const int k8[] = {0, 2, 1, 7, 5, 6, 3, 4};     // FL C FR SL SR RL RR LFE -> FL FR C LFE RL RR SL SR
    switch (channels) {
    case 3: return k3;
    case 5: return k5;
    case 6: return k6;
    case 7: return k7;
    case 8: return k8;
    default: return nullptr;                             // mono, stereo and quad need no change
    }
}

// Opens the decoder at the start of a surveyed file.
int OpenDecoder(MemoryReader &reader, OggVorbis_File &vf, int channels, std::string &error) {
    reader.uOffset = 0;
    if (ov_open_callbacks(&reader, &vf, nullptr, 0, kForwardOnly) != 0) {
        error = "not a readable Ogg Vorbis file";
        return 0;
    }
    const vorbis_info *info = ov_info(&vf, -1);
    if (!info || info->channels != channels) {
        ov_clear(&vf);
        error = "not a readable Ogg Vorbis file";
        return 0;
    }
    return 1;
}

inline constexpr int64_t kMaxSamples = int64_t(1) << 29;  // 1 GiB of 16-bit samples per sound

}  // namespace

void MVE_AudioReorder(int16_t *samples, int64_t frames, int channels) {
    const int *map = ReorderMap(channels);
    if (!map) return;
    int16_t frame[MVE_AUDIO_MAX_CHANNELS];
    for (int64_t f = 0; f < frames; ++f, samples += channels) {
        std::memcpy(frame, samples, sizeof(int16_t) * static_cast<size_t>(channels));
        for (int c = 0; c < channels; ++c) samples[c] = frame[map[c]];
    }
}

void MVE_AudioDownmixStereo(const int16_t *in, int64_t frames, int channels, int16_t *out) {
    // Weights of each output position (see ReorderMap) into left and right; LFE is left out.
    static const float kC = 0.7071f;
    float wl[MVE_AUDIO_MAX_CHANNELS] = {1, 0}, wr[MVE_AUDIO_MAX_CHANNELS] = {0, 1};
    auto set = [&](int c, float l, float r) { wl[c] = l, wr[c] = r; };
    switch (channels) {
    case 1: set(0, 1, 1); break;
    case 3: set(2, kC, kC); break;
    case 4: set(2, kC, 0), set(3, 0, kC); break;
    case 5: set(2, kC, kC), set(3, kC, 0), set(4, 0, kC); break;
    case 6: set(2, kC, kC), set(3, 0, 0), set(4, kC, 0), set(5, 0, kC); break;
    case 7: set(2, kC, kC), set(3, 0, 0), set(4, 0.5f, 0.5f), set(5, kC, 0), set(6, 0, kC); break;
    case 8: set(2, kC, kC), set(3, 0, 0), set(4, kC, 0), set(5, 0, kC), set(6, kC, 0), set(7, 0, kC); break;
    default: break;
    }
    // Scaled so that full-scale input on every channel cannot clip.
    float suml = 0, sumr = 0;
    for (int c = 0; c < channels; ++c) suml += wl[c], sumr += wr[c];
    const float scale = 1.0f / std::max(1.0f, std::max(suml, sumr));
    for (int64_t f = 0; f < frames; ++f, in += channels, out += 2) {
        float l = 0, r = 0;
        for (int c = 0; c < channels; ++c) l += wl[c] * in[c], r += wr[c] * in[c];
        out[0] = static_cast<int16_t>(std::clamp(l * scale, -32768.0f, 32767.0f));
        out[1] = static_cast<int16_t>(std::clamp(r * scale, -32768.0f, 32767.0f));
    }
}

int MVE_AudioDecodeAll(const MVE_AUDIO_BYTES &bytes, MVE_AUDIO_CLIP_DATA &clip, std::string &error) {
    clip = MVE_AUDIO_CLIP_DATA();
    MVE_AUDIO_SURVEY survey;
    if (!MVE_AudioSurvey(*bytes, survey, error)) return 0;
    const int channels = survey.iChannels;
    const int frameBytes = 2 * channels;
    // The survey's bound is what the packets can give: one allocation holds the whole sound.
    if (survey.iCounted > kMaxSamples / channels) {
        error = "the sound is too long";
        return 0;
    }
    const int64_t capacity = survey.iCounted * channels;  // samples
    try {
        clip.Samples.resize(static_cast<size_t>(capacity));
    } catch (const std::bad_alloc &) {
        error = "out of memory";
        return 0;
    }
    MemoryReader reader{bytes, 0};
    OggVorbis_File vf;
    if (!OpenDecoder(reader, vf, channels, error)) {
        clip = MVE_AUDIO_CLIP_DATA();
        return 0;
    }
    int64_t used = 0;  // samples
    int section = 0;
    for (;;) {
        int16_t spare[64];
        const int64_t room = std::min<int64_t>((capacity - used) * 2, 1 << 30) / frameBytes * frameBytes;
        // With the room used up, any further frame would be one the packets cannot hold.
        char *into = room > 0 ? reinterpret_cast<char *>(clip.Samples.data() + used) : reinterpret_cast<char *>(spare);
        const long n = ov_read(&vf, into, room > 0 ? static_cast<int>(room) : frameBytes, 0, 2, 1, &section);
        if (n == 0) break;
        if (n == OV_HOLE) continue;  // a gap in the data: the decoder resynchronises and goes on
        if (n < 0 || room <= 0) {
            ov_clear(&vf);
            clip = MVE_AUDIO_CLIP_DATA();
            error = "damaged audio data";
            return 0;
        }
        used += n / 2;
    }
    ov_clear(&vf);
    if (used == 0) {
        clip = MVE_AUDIO_CLIP_DATA();
        error = "the file holds no sound";
        return 0;
    }
    clip.iChannels = channels;
    clip.iRate = survey.iRate;
    clip.Samples.resize(static_cast<size_t>(used));
    if (clip.Samples.capacity() - clip.Samples.size() > clip.Samples.size() / 8) clip.Samples.shrink_to_fit();
    clip.iFrames = used / channels;
    MVE_AudioReorder(clip.Samples.data(), clip.iFrames, channels);
    return 1;
}

int MVE_AudioProbeStream(const MVE_AUDIO_BYTES &bytes, MVE_AUDIO_CLIP_DATA &clip, std::string &error) {
    clip = MVE_AUDIO_CLIP_DATA();
    MVE_AUDIO_SURVEY survey;
    if (!MVE_AudioSurvey(*bytes, survey, error)) return 0;
    // The rest is decoded while it plays; the start shows whether the decoder takes the file.
    MemoryReader reader{bytes, 0};
    OggVorbis_File vf;
    if (!OpenDecoder(reader, vf, survey.iChannels, error)) return 0;
    std::vector<int16_t> scratch(static_cast<size_t>(4096 * survey.iChannels));
    int section = 0;
    long n;
    while ((n = ov_read(&vf, reinterpret_cast<char *>(scratch.data()), static_cast<int>(scratch.size() * 2), 0, 2, 1,
                        &section)) == OV_HOLE) {
    }
    ov_clear(&vf);
    if (n < 0) {
        error = "damaged audio data";
        return 0;
    }
    clip.iChannels = survey.iChannels;
    clip.iRate = survey.iRate;
    clip.iFrames = survey.iDeclared;
    return 1;
}

struct MVE_AUDIO_STREAM::State {
    MemoryReader Reader;
    OggVorbis_File File;
    bool bOpen = false;
};

std::unique_ptr<MVE_AUDIO_STREAM> MVE_AUDIO_STREAM::Open(const MVE_AUDIO_BYTES &bytes, int channels) {
    std::unique_ptr<MVE_AUDIO_STREAM> stream(new MVE_AUDIO_STREAM());
    stream->state_ = std::make_unique<State>();
    stream->state_->Reader = MemoryReader{bytes, 0};
    stream->channels_ = channels;
    std::string error;
    if (!OpenDecoder(stream->state_->Reader, stream->state_->File, channels, error)) return nullptr;
    stream->state_->bOpen = true;
    return stream;
}

MVE_AUDIO_STREAM::~MVE_AUDIO_STREAM() {
    if (state_ && state_->bOpen) ov_clear(&state_->File);
}

int MVE_AUDIO_STREAM::Restart() {
    if (state_->bOpen) ov_clear(&state_->File);
    std::string error;
    state_->bOpen = OpenDecoder(state_->Reader, state_->File, channels_, error) != 0;
    return state_->bOpen ? 1 : 0;
}

void MVE_AUDIO_STREAM::Rewind() { Restart(); }

int MVE_AUDIO_STREAM::Read(int16_t *out, int frames, int loop) {
    const int frameBytes = 2 * channels_;
    int done = 0, emptyEnds = 0, section = 0;
    while (done < frames && state_->bOpen) {
        const long n = ov_read(&state_->File, reinterpret_cast<char *>(out + done * channels_),
                               (frames - done) * frameBytes, 0, 2, 1, &section);
        if (n == OV_HOLE) continue;
        if (n <= 0) {
            // End (or damage found late): a loop starts over, but never spins on a file that
            // yields nothing from its start either.
            if (!loop || n < 0 || ++emptyEnds > 1 || !Restart()) break;
            continue;
        }
        emptyEnds = 0;
        done += static_cast<int>(n / frameBytes);
    }
    MVE_AudioReorder(out, done, channels_);
    return done;
}
