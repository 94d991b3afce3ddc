// Ogg Vorbis decoding for the audio layer: whole files into 16-bit samples, or piecewise for
// streamed sounds. Pure computation over bytes in memory, no device; any thread, one decoder per
// thread at a time. Private to Platform/Audio*.cpp. Nothing is allocated for a length a file
// declares before its survey has shown the data to hold it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

inline constexpr int MVE_AUDIO_MAX_CHANNELS = 8;       // beyond 8 Vorbis defines no speaker order
inline constexpr long MVE_AUDIO_MAX_RATE = 768000;     // higher rates are damage, not audio

// A file's bytes, shared by the whole-file decoder and every stream decoder reading it.
using MVE_AUDIO_BYTES = std::shared_ptr<const std::vector<uint8_t>>;

struct MVE_AUDIO_CLIP_DATA {
    int iChannels = 0;
    int iRate = 0;
    int64_t iFrames = 0;
    std::vector<int16_t> Samples;    // interleaved, output order (see MVE_PlatformSoundSamples)
};

// What the pages of a file hold, found by MVE_AudioSurvey without decoding a frame.
struct MVE_AUDIO_SURVEY {
    int iChannels = 0;
    int iRate = 0;
    int64_t iCounted = 0;            // frames the audio packets can decode to at most
    int64_t iDeclared = 0;           // frames the granule positions declare (never more than iCounted)
};

// Walks every page of the file front to back, never seeking. Refuses (0, reason in error) what is
// not Ogg Vorbis, damaged headers, formats no device plays, chains that change their format, a
// cut-off end, a file whose granule positions declare more frames than its packets can hold and a
// file without a frame.
int MVE_AudioSurvey(const std::vector<uint8_t> &bytes, MVE_AUDIO_SURVEY &survey, std::string &error);

// Decodes the whole file. Refuses (0, reason in error) anything that is not one complete Vorbis
// stream with sound in it: other codecs, damaged or cut-off data, rates and channel counts that
// no device can play, and files without a single frame.
int MVE_AudioDecodeAll(const MVE_AUDIO_BYTES &bytes, MVE_AUDIO_CLIP_DATA &clip, std::string &error);

// Checks a file for streaming as MVE_AudioDecodeAll would, surveying it whole and decoding only its
// start; fills the format and length, leaves Samples empty.
int MVE_AudioProbeStream(const MVE_AUDIO_BYTES &bytes, MVE_AUDIO_CLIP_DATA &clip, std::string &error);

// Piecewise decoding of a probed file, one per playing channel. It reads front to back only:
// starting over opens the file afresh instead of seeking.
class MVE_AUDIO_STREAM {
  public:
    // A file MVE_AudioProbeStream accepted, with the channel count it found.
    static std::unique_ptr<MVE_AUDIO_STREAM> Open(const MVE_AUDIO_BYTES &bytes, int channels);
    ~MVE_AUDIO_STREAM();
    // Up to `frames` frames in output order; at the end of the data, when `loop` is set, reading
    // goes on from the start. Returns the frames written, 0 at the end (or on damage).
    int Read(int16_t *out, int frames, int loop);
    void Rewind();
    int Channels() const { return channels_; }

  private:
    MVE_AUDIO_STREAM() = default;
    int Restart();                   // reopens the decoder at the start; 0 when it cannot
    struct State;
    std::unique_ptr<State> state_;
    int channels_ = 0;
};

// Reorders one block of interleaved frames from the file's speaker order into output order.
void MVE_AudioReorder(int16_t *samples, int64_t frames, int channels);

// Mixes interleaved frames in output order down to stereo (for layouts the device cannot take).
void MVE_AudioDownmixStereo(const int16_t *in, int64_t frames, int channels, int16_t *out);
