// Sounds: one MVE_UpdateSounds pass over 256 playing sounds and channel instances around a moving
// listener (target under 0.3 ms per call), and Ogg decoding by the engine against a plain
// libvorbisfile loop over the same file in the same run (target at least 0.95 of its speed).
// Runs on OpenAL's null output unless ALSOFT_DRIVERS says otherwise.
#include "Core/Engine.h"
#include "Core/Startup.h"
#include "Sound/Sound.h"
#include <benchmark/benchmark.h>
#include <vorbis/vorbisfile.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <vector>

namespace {

const std::filesystem::path kOgg = std::filesystem::path(MVE_BENCH_CORPUS) / "ogg";

void StartEngineSound() {
    setenv("ALSOFT_DRIVERS", "null", 0);
    MVE_ResetEngine();
    MVE_Engine().Debugger.sProgramPath = "";
    MVE_StartupSound();
}

void BM_UpdateSounds(benchmark::State &state) {
    StartEngineSound();
    const std::string file = (kOgg / "test.ogg").string();
    // 128 ordinary looping sounds and 128 looping channel instances, scattered in a 60-unit
    // cube, with ranges, cones and Doppler on a share of them.
    uint32_t seed = 12345;
    auto rnd = [&](float lo, float hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + (hi - lo) * static_cast<float>(seed >> 8) / 16777216.0f;
    };
    auto place = [&](int handle, int i) {
        MVE_SetSoundPosition(handle, rnd(-30, 30), rnd(-30, 30), rnd(-30, 30));
        MVE_SOUND *s = MVE_GetSound(handle);
        if (i % 2) s->v2fRange[0] = 5, s->v2fRange[1] = 40;
        if (i % 3 == 0) s->v2fCone[0] = 0.5f, s->v2fCone[1] = 1.2f, s->v4fDirection = {rnd(-1, 1), rnd(-1, 1), rnd(-1, 1), 0};
        if (i % 4 == 0) s->iMode |= MVE_SOUND_DOPPLER;
    };
    int started = 0;
    for (int i = 0; i < 128; ++i) {
        const int h = MVE_LoadSoundFile(MVE_ID_AUTO, file.c_str(), MVE_SOUND_LOOP | MVE_SOUND_PLAY, "");
        if (h) place(h, i), ++started;
    }
    const int shot = MVE_LoadSoundFile(MVE_ID_AUTO, file.c_str(), MVE_SOUND_CHANNEL | MVE_SOUND_LOOP, "");
    for (int i = 0; i < 128; ++i) {
        const int h = MVE_PlaySound(shot, MVE_IGNORE, nullptr);
        if (h) place(h, i), ++started;
    }
    MVE_Engine().Screen.Frame.fFrameTime = 1.0f / 60;
    float t = 0;
    for (auto _ : state) {
        // The listener circles and turns, so every sound's pan, distance and pitch change.
        t += 1.0f / 60;
        v4f q;
        MVE_QuaternionFromEuler(&q, 0, t * 40.0f, 0, 0);
        m4f &c = MVE_Engine().Defaults.m4fCamera;
        MVE_m4fFromQuaternion(&q, &c);
        c.m[12] = 20 * std::cos(t), c.m[13] = 2, c.m[14] = 20 * std::sin(t);
        MVE_UpdateSounds();
    }
    state.counters["playing"] = started;
    state.counters["device"] = MVE_Engine().Sound.iOutput;
    MVE_ShutdownSound();
}
BENCHMARK(BM_UpdateSounds)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A plain libvorbisfile decode: open, read 16-bit samples into one buffer, close.
int64_t PlainDecode(const std::string &file, std::vector<int16_t> &out) {
    OggVorbis_File vf;
    if (ov_fopen(file.c_str(), &vf) != 0) return 0;
    const int channels = ov_info(&vf, -1)->channels;
    out.resize(static_cast<size_t>(ov_pcm_total(&vf, -1) * channels + 4096 * channels));
    int64_t used = 0;
    int section = 0;
    for (;;) {
        const long n = ov_read(&vf, reinterpret_cast<char *>(out.data() + used),
                               static_cast<int>((out.size() - used) * 2), 0, 2, 1, &section);
        if (n <= 0) break;
        used += n / 2;
    }
    ov_clear(&vf);
    return used / channels;
}

int64_t EngineDecode(const std::string &file) {
    std::string error;
    MVE_SOUND_INFO info;
    const int h = MVE_PlatformLoadSound(file.c_str(), 0, &info, error);
    MVE_PlatformReleaseSound(h);
    return h ? info.iFrames : 0;
}

const char *kDecodeFile = "concert-crowd.ogg";  // 15.6 s of stereo at 32 kHz

void BM_DecodePlainVorbisfile(benchmark::State &state) {
    const std::string file = (kOgg / kDecodeFile).string();
    std::vector<int16_t> out;
    int64_t frames = 0;
    for (auto _ : state) frames += PlainDecode(file, out);
    state.SetItemsProcessed(frames);
}
BENCHMARK(BM_DecodePlainVorbisfile)->Unit(benchmark::kMillisecond);

void BM_DecodeEngine(benchmark::State &state) {
    MVE_PlatformStopAudio();  // decoding alone: no device upload
    const std::string file = (kOgg / kDecodeFile).string();
    int64_t frames = 0;
    for (auto _ : state) frames += EngineDecode(file);
    state.SetItemsProcessed(frames);
}
BENCHMARK(BM_DecodeEngine)->Unit(benchmark::kMillisecond);

// Loading for streaming: the survey of every page and the first piece decoded, nothing else.
void BM_LoadForStreaming(benchmark::State &state) {
    MVE_PlatformStopAudio();
    const std::string file = (kOgg / kDecodeFile).string();
    int64_t bytes = 0;
    for (auto _ : state) {
        std::string error;
        MVE_SOUND_INFO info;
        const int h = MVE_PlatformLoadSound(file.c_str(), 1, &info, error);
        if (!h) state.SkipWithError(error.c_str());
        MVE_PlatformReleaseSound(h);
        bytes += static_cast<int64_t>(std::filesystem::file_size(file));
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_LoadForStreaming)->Unit(benchmark::kMillisecond);

// Both decoders in turn, best of each, so that a busy machine slows both alike.
void BM_DecodeEngineAgainstPlain(benchmark::State &state) {
    MVE_PlatformStopAudio();
    const std::string file = (kOgg / kDecodeFile).string();
    std::vector<int16_t> out;
    double plainBest = 1e9, engineBest = 1e9;
    // Thread CPU time: other processes on the machine do not count against either side.
    auto now = [] {
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec + ts.tv_nsec * 1e-9;
    };
    for (auto _ : state) {
        const double t0 = now();
        benchmark::DoNotOptimize(PlainDecode(file, out));
        const double t1 = now();
        benchmark::DoNotOptimize(EngineDecode(file));
        const double t2 = now();
        plainBest = std::min(plainBest, t1 - t0);
        engineBest = std::min(engineBest, t2 - t1);
    }
    state.counters["plain_ms"] = plainBest * 1e3;
    state.counters["engine_ms"] = engineBest * 1e3;
    state.counters["engine_speed_vs_plain"] = plainBest / engineBest;
}
BENCHMARK(BM_DecodeEngineAgainstPlain)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
