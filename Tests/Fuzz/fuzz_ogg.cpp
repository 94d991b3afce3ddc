// Ogg files through the sound loader's decoders: the whole-file decode, the streaming probe and
// the piecewise decoder (with looping), then the speaker reorder and downmix on what came out.
// No device is opened: this is the part of loading a sound that reads the file's bytes.
#include "FuzzSupport.h"
#include "Platform/AudioDecode.h"
#include <string>
#include <vector>

namespace fuzz_ogg {

void Init() {}

int Run(const uint8_t *data, size_t size) {
    auto bytes = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    // A packet takes at least one byte of its page and gives at most 4096 frames: no length past
    // that can come from the data present.
    const int64_t most = static_cast<int64_t>(size) * 4096;
    MVE_AUDIO_CLIP_DATA clip;
    std::string error;
    if (MVE_AudioDecodeAll(bytes, clip, error)) {
        MVE_FUZZ_REQUIRE(clip.iChannels >= 1 && clip.iChannels <= MVE_AUDIO_MAX_CHANNELS && clip.iFrames > 0);
        MVE_FUZZ_REQUIRE(clip.iFrames <= most);
        MVE_FUZZ_REQUIRE(clip.Samples.size() == static_cast<size_t>(clip.iFrames) * clip.iChannels);
        std::vector<int16_t> stereo(static_cast<size_t>(clip.iFrames) * 2);
        MVE_AudioDownmixStereo(clip.Samples.data(), clip.iFrames, clip.iChannels, stereo.data());
    } else {
        MVE_FUZZ_REQUIRE(!error.empty());
    }
    MVE_AUDIO_CLIP_DATA probe;
    error.clear();
    if (MVE_AudioProbeStream(bytes, probe, error)) {
        MVE_FUZZ_REQUIRE(probe.iChannels >= 1 && probe.iChannels <= MVE_AUDIO_MAX_CHANNELS);
        MVE_FUZZ_REQUIRE(probe.iFrames > 0 && probe.iFrames <= most);
        if (auto stream = MVE_AUDIO_STREAM::Open(bytes, probe.iChannels)) {
            std::vector<int16_t> block(4096 * MVE_AUDIO_MAX_CHANNELS);
            int64_t total = 0;
            // Twice the length with looping on: the wrap to the start is part of what is read.
            for (int pass = 0; pass < 64 && total < 2 * probe.iFrames + 4096; ++pass) {
                const int got = stream->Read(block.data(), 4096, 1);
                MVE_FUZZ_REQUIRE(got >= 0 && got <= 4096);
                if (got == 0) break;
                MVE_AudioReorder(block.data(), got, stream->Channels());
                total += got;
            }
            stream->Rewind();
            stream->Read(block.data(), 4096, 0);
        }
    }
    return 0;
}

}  // namespace fuzz_ogg

// Tests/FuzzRegressionTest.cpp includes this file to replay the kept findings.
#ifndef MVE_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    mvefuzz::EnterWorkFolder();
    fuzz_ogg::Init();
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzz_ogg::Run(data, size); }
#endif
