// Ogg Vorbis decoding over bytes in memory (libvorbisfile). Every refusal names its reason; nothing
// here trusts the lengths, rates or channel counts a file declares before checking them.
#include "Platform/AudioDecode.h"
#include <vorbis/vorbisfile.h>
#include <algorithm>
#include <cstring>

namespace {

// The file as a seekable source for libvorbisfile.
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

int SeekMemory(void *source, ogg_int64_t offset, int whence) {
    MemoryReader *r = static_cast<MemoryReader *>(source);
    const int64_t size = static_cast<int64_t>(r->Bytes->size());
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(r->uOffset) : size;
    const int64_t target = base + offset;
    if (target < 0 || target > size) return -1;
    r->uOffset = static_cast<size_t>(target);
    return 0;
}

long TellMemory(void *source) { return static_cast<long>(static_cast<MemoryReader *>(source)->uOffset); }

const ov_callbacks kMemoryCallbacks = {ReadMemory, SeekMemory, nullptr, TellMemory};

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

// Opens the decoder and checks the declared format of every chained stream.
int OpenChecked(MemoryReader &reader, OggVorbis_File &vf, MVE_AUDIO_CLIP_DATA &clip, std::string &error) {
    if (reader.Bytes->empty()) {
        error = "the file is empty";
        return 0;
    }
    const int opened = ov_open_callbacks(&reader, &vf, nullptr, 0, kMemoryCallbacks);
    if (opened != 0) {
        error = opened == OV_ENOTVORBIS ? "not an Ogg Vorbis stream (unsupported codec)"
              : opened == OV_EVERSION   ? "unsupported Vorbis version"
              : opened == OV_EBADHEADER ? "damaged Vorbis headers"
                                        : "not a readable Ogg Vorbis file";
        return 0;
    }
    const vorbis_info *first = ov_info(&vf, 0);
    if (!first) {
        error = "no Vorbis stream";
        ov_clear(&vf);
        return 0;
    }
    for (long link = 0; link < ov_streams(&vf); ++link) {
        const vorbis_info *vi = ov_info(&vf, static_cast<int>(link));
        if (!vi || vi->channels != first->channels || vi->rate != first->rate) {
            error = "chained streams change their format";
            ov_clear(&vf);
            return 0;
        }
    }
    if (first->channels < 1 || first->channels > MVE_AUDIO_MAX_CHANNELS) {
        error = "unsupported channel count " + std::to_string(first->channels);
        ov_clear(&vf);
        return 0;
    }
    if (first->rate < 1 || first->rate > MVE_AUDIO_MAX_RATE) {
        error = "impossible sample rate " + std::to_string(first->rate);
        ov_clear(&vf);
        return 0;
    }
    clip.iChannels = first->channels;
    clip.iRate = static_cast<int>(first->rate);
    return 1;
}

// After the last frame the reader must stand at the end of the data: anything left over is a
// page that was cut off.
int CheckComplete(OggVorbis_File &vf, const MemoryReader &reader, std::string &error) {
    if (static_cast<size_t>(ov_raw_tell(&vf)) < reader.Bytes->size()) {
        error = "the file is cut off (its last page is incomplete)";
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
    MemoryReader reader{bytes, 0};
    OggVorbis_File vf;
    clip = MVE_AUDIO_CLIP_DATA();
    if (!OpenChecked(reader, vf, clip, error)) return 0;
    const int channels = clip.iChannels;
    const int frameBytes = 2 * channels;
    // The declared length only sizes the first allocation; the data decides how much there is.
    int64_t declared = ov_pcm_total(&vf, -1);
    // Room for the declared length plus some frames, so an honest file never reallocates.
    int64_t capacity = (std::clamp<int64_t>(declared > 0 ? declared : 0, 0, int64_t(1) << 24) + 8192) * channels;
    clip.Samples.resize(static_cast<size_t>(capacity));
    int64_t used = 0;  // samples
    int section = 0;
    for (;;) {
        if (capacity - used < 1024 * channels) {
            if (capacity >= kMaxSamples) {
                ov_clear(&vf);
                clip = MVE_AUDIO_CLIP_DATA();
                error = "the sound is too long";
                return 0;
            }
            capacity = std::min(capacity * 2, kMaxSamples);
            clip.Samples.resize(static_cast<size_t>(capacity));
        }
        const int64_t room = std::min<int64_t>((capacity - used) * 2, 1 << 30) / frameBytes * frameBytes;
        const long n = ov_read(&vf, reinterpret_cast<char *>(clip.Samples.data() + used), static_cast<int>(room), 0, 2, 1,
                               &section);
        if (n == 0) break;
        if (n == OV_HOLE) continue;  // a gap in the data: the decoder resynchronises and goes on
        if (n < 0) {
            ov_clear(&vf);
            clip = MVE_AUDIO_CLIP_DATA();
            error = "damaged audio data";
            return 0;
        }
        used += n / 2;
    }
    const int complete = CheckComplete(vf, reader, error);
    ov_clear(&vf);
    if (!complete) {
        clip = MVE_AUDIO_CLIP_DATA();
        return 0;
    }
    if (used == 0) {
        clip = MVE_AUDIO_CLIP_DATA();
        error = "the file holds no sound";
        return 0;
    }
    clip.Samples.resize(static_cast<size_t>(used));
    if (clip.Samples.capacity() - clip.Samples.size() > clip.Samples.size() / 8) clip.Samples.shrink_to_fit();
    clip.iFrames = used / channels;
    MVE_AudioReorder(clip.Samples.data(), clip.iFrames, channels);
    return 1;
}

int MVE_AudioProbeStream(const MVE_AUDIO_BYTES &bytes, MVE_AUDIO_CLIP_DATA &clip, std::string &error) {
    MemoryReader reader{bytes, 0};
    OggVorbis_File vf;
    clip = MVE_AUDIO_CLIP_DATA();
    if (!OpenChecked(reader, vf, clip, error)) return 0;
    const int64_t total = ov_pcm_total(&vf, -1);
    if (total <= 0) {
        ov_clear(&vf);
        clip = MVE_AUDIO_CLIP_DATA();
        error = "the file holds no sound";
        return 0;
    }
    // Decode the last second only: a damaged or cut-off end shows there, the rest is decoded
    // while it plays.
    std::vector<int16_t> scratch(static_cast<size_t>(4096 * clip.iChannels));
    int ok = ov_pcm_seek(&vf, std::max<int64_t>(0, total - clip.iRate)) == 0;
    int section = 0;
    while (ok) {
        const long n = ov_read(&vf, reinterpret_cast<char *>(scratch.data()), static_cast<int>(scratch.size() * 2), 0, 2,
                               1, &section);
        if (n == 0) break;
        if (n < 0 && n != OV_HOLE) ok = 0;
    }
    if (!ok) error = "damaged audio data";
    if (ok) ok = CheckComplete(vf, reader, error);
    ov_clear(&vf);
    if (!ok) {
        clip = MVE_AUDIO_CLIP_DATA();
        return 0;
    }
    clip.iFrames = total;
    return 1;
}

struct MVE_AUDIO_STREAM::State {
    MemoryReader Reader;
    OggVorbis_File File;
};

std::unique_ptr<MVE_AUDIO_STREAM> MVE_AUDIO_STREAM::Open(const MVE_AUDIO_BYTES &bytes) {
    std::unique_ptr<MVE_AUDIO_STREAM> stream(new MVE_AUDIO_STREAM());
    stream->state_ = std::make_unique<State>();
    stream->state_->Reader = MemoryReader{bytes, 0};
    MVE_AUDIO_CLIP_DATA clip;
    std::string error;
    if (!OpenChecked(stream->state_->Reader, stream->state_->File, clip, error)) {
        stream->state_.reset();
        return nullptr;
    }
    stream->channels_ = clip.iChannels;
    return stream;
}

MVE_AUDIO_STREAM::~MVE_AUDIO_STREAM() {
    if (state_) ov_clear(&state_->File);
}

void MVE_AUDIO_STREAM::Rewind() { ov_pcm_seek(&state_->File, 0); }

int MVE_AUDIO_STREAM::Read(int16_t *out, int frames, int loop) {
    const int frameBytes = 2 * channels_;
    int done = 0, emptyEnds = 0, section = 0;
    while (done < frames) {
        const long n = ov_read(&state_->File, reinterpret_cast<char *>(out + done * channels_),
                               (frames - done) * frameBytes, 0, 2, 1, &section);
        if (n == OV_HOLE) continue;
        if (n <= 0) {
            // End (or damage found late): a loop starts over, but never spins on a file that
            // yields nothing from its start either.
            if (!loop || n < 0 || ++emptyEnds > 1 || ov_pcm_seek(&state_->File, 0) != 0) break;
            continue;
        }
        emptyEnds = 0;
        done += static_cast<int>(n / frameBytes);
    }
    MVE_AudioReorder(out, done, channels_);
    return done;
}
