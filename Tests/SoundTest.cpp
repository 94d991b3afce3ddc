// Sounds: the placement arithmetic against hand-worked numbers, every file of the Ogg corpus through
// the real decoder and device (OpenAL's null output), channel instances that end and disappear,
// definitions, a machine without a device, and collision sounds from the physics.
#include "Core/Startup.h"
#include "Definition/Definition.h"
#include "PhysicsSupport.h"
#include "Physics/PhysicsPrivate.h"
#include "Registry/Kinds.h"
#include "Sound/Sound.h"
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace mvetest;
namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(MVE_TEST_CORPUS) / "ogg";
constexpr float kDeg = 0.017453292f;

// The corpus folder, or a skip with the reason.
#define REQUIRE_CORPUS() MVE_REQUIRE_CORPUS_FILE(kCorpus / "MANIFEST.tsv")

class SoundTest : public PhysicsFixture {
  protected:
    void SetUp() override {
        PhysicsFixture::SetUp();
        OpenLog();
    }
    void TearDown() override {
        MVE_ShutdownSound();
        PhysicsFixture::TearDown();
    }
    MVE_SOUND *S(int handle) { return MVE_GetSound(handle); }
    size_t Sounds() { return MVE_Engine().Registries.Sounds.Count(); }
    // Updates until only `count` sounds are left, for at most two seconds.
    bool UpdateUntil(size_t count) {
        for (int i = 0; i < 400; ++i) {
            MVE_UpdateSounds();
            if (Sounds() == count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    // A camera placed at `at`, turned by `yaw` degrees about y (0 looks down -z).
    void PlaceCamera(v4f at, float yaw) {
        v4f q;
        MVE_QuaternionFromEuler(&q, 0, yaw, 0, 0);
        m4f &c = MVE_Engine().Defaults.m4fCamera;
        MVE_m4fFromQuaternion(&q, &c);
        c.m[12] = at.x, c.m[13] = at.y, c.m[14] = at.z, c.m[15] = 1;
    }
};

struct ManifestRow {
    std::string file, expected;
    int channels = 0;
    long long rate = 0, frames = -1;
};

std::vector<ManifestRow> ReadManifest() {
    std::vector<ManifestRow> rows;
    std::istringstream in(ReadFile(kCorpus / "MANIFEST.tsv"));
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
        if (f.size() < 6) continue;
        ManifestRow r;
        r.file = f[0], r.expected = f[1];
        r.channels = std::atoi(f[3].c_str());
        r.rate = std::atoll(f[4].c_str());
        r.frames = f[5] == "-" ? -1 : std::atoll(f[5].c_str());
        rows.push_back(r);
    }
    return rows;
}

}  // namespace

TEST(SoundMath, ModesRangesConesAndDoppler) {
    // Mode words match as exact substrings, with or without spaces, case-sensitive.
    EXPECT_EQ(MVE_SoundModeFromText("Play Loop"), 3);
    EXPECT_EQ(MVE_SoundModeFromText("PlayLoop"), 3);
    EXPECT_EQ(MVE_SoundModeFromText("play"), 0);
    EXPECT_EQ(MVE_SoundModeFromText("Doppler"), 0);
    EXPECT_EQ(MVE_SoundModeFromText("Stream,Dopplereffect;Background Channel"), 4 | 8 | 16 | 32);

    const float range[2] = {10, 20};
    EXPECT_FLOAT_EQ(MVE_SoundRangeFactor(15, range), 0.5f);
    EXPECT_FLOAT_EQ(MVE_SoundRangeFactor(10, range), 1.0f);
    EXPECT_FLOAT_EQ(MVE_SoundRangeFactor(20, range), 0.0f);
    EXPECT_FLOAT_EQ(MVE_SoundRangeFactor(25, range), 0.0f);
    const float unlimited[2] = {10, 0}, point[2] = {5, 5}, reversed[2] = {20, 10};
    EXPECT_FLOAT_EQ(MVE_SoundRangeFactor(1e6f, unlimited), 1.0f);
    EXPECT_FLOAT_EQ(MVE_SoundRangeFactor(5.5f, point), 0.0f);  // no division by a zero span
    EXPECT_FLOAT_EQ(MVE_SoundRangeFactor(15, reversed), 1.0f);
    EXPECT_FLOAT_EQ(MVE_SoundRangeFactor(25, reversed), 0.0f);

    const float cone[2] = {30 * kDeg, 60 * kDeg};
    EXPECT_NEAR(MVE_SoundConeFactor(45 * kDeg, cone), 0.5f, 1e-6f);
    EXPECT_FLOAT_EQ(MVE_SoundConeFactor(20 * kDeg, cone), 1.0f);
    EXPECT_FLOAT_EQ(MVE_SoundConeFactor(61 * kDeg, cone), 0.0f);

    // Approaching at 34 units per second: 1 / (1 - 34/340).
    EXPECT_NEAR(MVE_SoundDopplerFactor(10.34f, 10.0f, 0.01f, 1), 1.0f / 0.9f, 1e-4f);
    EXPECT_NEAR(MVE_SoundDopplerFactor(10.0f, 10.34f, 0.01f, 1), 1.0f / 1.1f, 1e-4f);  // receding
    EXPECT_EQ(MVE_SoundDopplerFactor(0.0f, 50.0f, 0.01f, 0), 1.0f);   // first measurement: no jump
    EXPECT_EQ(MVE_SoundDopplerFactor(10.34f, 10.0f, 0.0f, 1), 1.0f);  // no frame time
    EXPECT_EQ(MVE_SoundDopplerFactor(180.0f, 10.0f, 0.5f, 1), 1.0f);  // exactly the speed of sound
    EXPECT_EQ(MVE_SoundDopplerFactor(20.0f, 10.0f, 0.01f, 1), 1.0f);  // faster: would be negative
}

TEST_F(SoundTest, PlacementAroundATurnedCamera) {
    // Camera at (3, 1, 2) turned 90 degrees left: it looks down -x, its right is world -z.
    PlaceCamera({3, 1, 2, 1}, 90);
    const m4f view = MVE_SoundViewMatrix(MVE_Engine().Defaults.m4fCamera);
    MVE_SOUND s;
    s.fVolume = 0.5f;
    auto at = [](float x, float y, float z) {
        m4f m;
        MVE_m4fIdentity(&m);
        m.m[12] = x, m.m[13] = y, m.m[14] = z;
        return m;
    };
    // Straight to the right: pan 1, full volume (times the master gain 0.8).
    MVE_SOUND_MIX mix = MVE_SoundMix(s, at(3, 1, -5), view, 0.8f, 0.02f);
    EXPECT_NEAR(mix.fPan, 1.0f, 1e-5f);
    EXPECT_NEAR(mix.fVolume, 0.5f * 0.8f, 1e-5f);
    EXPECT_NEAR(mix.fDistance, 7.0f, 1e-4f);
    mix = MVE_SoundMix(s, at(3, 1, 9), view, 0.8f, 0.02f);  // to the left
    EXPECT_NEAR(mix.fPan, -1.0f, 1e-5f);
    // Straight ahead at 15 with range (10, 20): half of 0.6.
    s.v2fRange[0] = 10, s.v2fRange[1] = 20;
    mix = MVE_SoundMix(s, at(-12, 1, 2), view, 0.8f, 0.02f);
    EXPECT_NEAR(mix.fPan, 0.0f, 1e-5f);
    EXPECT_NEAR(mix.fVolume, 0.5f * 0.8f * 0.6f * 0.5f, 1e-5f);
    EXPECT_EQ(MVE_SoundMix(s, at(-22, 1, 2), view, 0.8f, 0.02f).fVolume, 0.0f);
    // Emitting 45 degrees away from the listener, cone (30, 60): half again.
    s.v2fRange[1] = 0;
    s.v2fCone[0] = 30 * kDeg, s.v2fCone[1] = 60 * kDeg;
    s.v4fDirection = {1, 1, 0, 0};
    mix = MVE_SoundMix(s, at(-12, 1, 2), view, 1.0f, 0.02f);
    EXPECT_NEAR(mix.fVolume, 0.5f * 0.6f * 0.5f, 1e-4f);
    // Background sounds ignore all of it.
    s.iMode = MVE_SOUND_BACKGROUND;
    mix = MVE_SoundMix(s, at(3, 1, -500), view, 0.8f, 0.02f);
    EXPECT_EQ(mix.fPan, 0.0f);
    EXPECT_FLOAT_EQ(mix.fVolume, 0.4f);
    // Doppler through the record: the first update measures, the next one hears the approach.
    s = MVE_SOUND();
    s.iMode = MVE_SOUND_DOPPLER;
    s.fFrequency = 2.0f;
    s.fLastDistance = 100.0f;  // stale: never measured for this play
    EXPECT_FLOAT_EQ(MVE_SoundMix(s, at(-7, 1, 2), view, 1, 0.02f).fFrequency, 2.0f);
    s.iMeasured = 1;
    s.fLastDistance = 10.0f + 34.0f * 0.02f;
    EXPECT_NEAR(MVE_SoundMix(s, at(-7, 1, 2), view, 1, 0.02f).fFrequency, 2.0f / 0.9f, 1e-3f);
}

TEST_F(SoundTest, CorpusLoadsOrIsRefusedAsListed) {
    REQUIRE_CORPUS();
    MVE_StartupSound();
    ASSERT_EQ(MVE_Engine().Sound.iOutput, 1) << "the null output device must open";
    const std::vector<ManifestRow> rows = ReadManifest();
    ASSERT_GE(rows.size(), 10u);
    for (const ManifestRow &r : rows) {
        SCOPED_TRACE(r.file);
        const fs::path path = kCorpus / r.file;
        ASSERT_TRUE(fs::exists(path)) << "listed in MANIFEST.tsv but missing";
        // Valid files with sound in them load; invalid ones and files without a frame are refused.
        const bool loads = r.expected.rfind("valid", 0) == 0 && r.frames > 0;
        for (int mode : {0, MVE_SOUND_STREAM}) {
            const int h = MVE_LoadSoundFile(MVE_ID_AUTO, path.c_str(), mode, "");
            if (!loads) {
                EXPECT_EQ(h, 0);
                continue;
            }
            ASSERT_NE(h, 0);
            MVE_SOUND_INFO info;
            ASSERT_EQ(MVE_PlatformGetSoundInfo(S(h)->iSound, &info), 1);
            EXPECT_EQ(info.iChannels, r.channels);
            EXPECT_EQ(info.iRate, r.rate);
            EXPECT_EQ(info.iFrames, r.frames);
            EXPECT_EQ(S(h)->fBaseFrequency, static_cast<float>(r.rate));
            EXPECT_EQ(S(h)->Header.iKind, MVE_KIND_SOUND);
            EXPECT_EQ(S(h)->Header.pModel, &S(h)->m4fMatrix);
            // Every loaded file plays on the device.
            EXPECT_NE(MVE_PlaySound(h, MVE_IGNORE, nullptr), 0);
        }
    }
    MVE_UpdateSounds();
    const std::string log = LogText();
    EXPECT_NE(log.find("Fail: Sound loading has failed! (not an Ogg Vorbis stream (unsupported codec))"), std::string::npos);
    EXPECT_NE(log.find("Fail: Sound loading has failed! (impossible sample rate 4294967295)"), std::string::npos);
}

TEST_F(SoundTest, ReferenceDecodeAndDamagedFiles) {
    REQUIRE_CORPUS();
    const std::string raw = ReadFile(kCorpus / "test.raw");
    ASSERT_EQ(raw.size(), 44100u * 4);
    const int h = MVE_LoadSoundFile(7, (kCorpus / "test.ogg").c_str(), 0, "Test");
    ASSERT_NE(h, 0);
    int64_t frames = 0;
    int channels = 0;
    const int16_t *pcm = MVE_PlatformSoundSamples(S(h)->iSound, &frames, &channels);
    ASSERT_TRUE(pcm);
    ASSERT_EQ(frames, 44100);
    ASSERT_EQ(channels, 1);
    float worst = 0;
    for (int i = 0; i < 44100; ++i) {
        float ref;
        std::memcpy(&ref, raw.data() + 4 * i, 4);
        worst = std::max(worst, std::fabs(pcm[i] / 32768.0f - ref));
    }
    EXPECT_LE(worst, 1.0f / 32768.0f);

    // The same bytes cut in the middle of a page, a text file, an empty file, a missing file:
    // refused with the reports, nothing registered.
    const std::string ogg = ReadFile(kCorpus / "left-right-demo-5s.ogg");
    WriteFile(dir_ / "cut.ogg", ogg.substr(0, 50000));
    WriteFile(dir_ / "text.ogg", "Material: M { Color: 1, 0, 0 }\n");
    WriteFile(dir_ / "empty.ogg", "");
    for (int mode : {0, MVE_SOUND_STREAM}) {
        for (const char *name : {"cut.ogg", "text.ogg", "empty.ogg", "missing.ogg", "."})
            EXPECT_EQ(MVE_LoadSoundFile(MVE_ID_AUTO, (dir_ / name).c_str(), mode | MVE_SOUND_PLAY, name), 0) << name;
    }
    EXPECT_EQ(Sounds(), 1u);
    const std::string log = LogText();
    EXPECT_NE(log.find("Fail: Sound loading has failed! (the file is cut off (its last page is incomplete))"),
              std::string::npos);
    EXPECT_NE(log.find("Fail: File not found!"), std::string::npos);
}

TEST_F(SoundTest, FailuresReachTheDebuggerLink) {
    // A block as the debugger application creates it.
    const std::string name = "/mve-test-sound-" + std::to_string(getpid());
    const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, MVE_DEBUGGER_BLOCK_SIZE), 0);
    auto *base = static_cast<uint8_t *>(mmap(nullptr, MVE_DEBUGGER_BLOCK_SIZE, PROT_READ, MAP_SHARED, fd, 0));
    close(fd);
    MVE_Engine().Debugger.sBlockName = name;
    WriteFile(dir_ / "text.ogg", "not a sound");
    EXPECT_EQ(MVE_LoadSoundFile(MVE_ID_AUTO, "missing.ogg", 0, ""), 0);
    EXPECT_EQ(MVE_LoadSoundFile(MVE_ID_AUTO, "text.ogg", 0, ""), 0);
    uint32_t next;
    int32_t kind;
    std::memcpy(&next, base + 8, 4);
    std::memcpy(&kind, base + 12, 4);
    EXPECT_EQ(kind, 2);
    EXPECT_STREQ(reinterpret_cast<const char *>(base + 16),
                 "Sound : MVE_LoadSoundFile() : File does not exist ('missing.ogg')");
    std::memcpy(&kind, base + next + 4, 4);
    EXPECT_EQ(kind, 2);
    EXPECT_STREQ(reinterpret_cast<const char *>(base + next + 8),
                 "Sound : MVE_LoadSoundFile() : Sound loading has failed ('text.ogg')");
    munmap(base, MVE_DEBUGGER_BLOCK_SIZE);
    shm_unlink(name.c_str());
}

TEST_F(SoundTest, ChannelInstancesPlayIndependentlyAndDisappear) {
    REQUIRE_CORPUS();
    MVE_StartupSound();
    ASSERT_EQ(MVE_Engine().Sound.iOutput, 1);
    // 40 frames at 4 kHz: 10 ms of sound.
    const int shot = MVE_LoadSoundFile(MVE_ID_AUTO, (kCorpus / "square.ogg").c_str(), MVE_SOUND_CHANNEL, "Shot");
    ASSERT_NE(shot, 0);
    S(shot)->v2fRange[1] = 30;
    PlaceCamera({0, 0, 0, 1}, 0);
    const v4f near1 = {1, 0, -5, 1}, near2 = {-4, 2, -3, 1}, far = {0, 0, -31, 1};
    const int a = MVE_PlaySound(shot, MVE_IGNORE, &near1);
    const int b = MVE_PlaySound(shot, MVE_IGNORE, &near2);
    const int c = MVE_PlaySound(shot, MVE_IGNORE, nullptr);
    EXPECT_EQ(MVE_PlaySound(shot, MVE_IGNORE, &far), 0);  // beyond the range: not played
    ASSERT_TRUE(a && b && c);
    EXPECT_TRUE(a != b && b != c && a != shot);
    EXPECT_EQ(Sounds(), 4u);
    // Independent copies: own place, own channel, no name, the parent untouched.
    EXPECT_EQ(S(a)->v4fPosition.x, 1.0f);
    EXPECT_EQ(S(b)->v4fPosition.x, -4.0f);
    EXPECT_EQ(S(b)->Header.pModel, &S(b)->m4fMatrix);
    EXPECT_EQ(S(b)->m4fMatrix.m[13], 2.0f);
    EXPECT_TRUE(S(a)->iChannel && S(a)->iChannel != S(b)->iChannel);
    EXPECT_TRUE(S(a)->sName.empty());
    EXPECT_EQ(S(shot)->iPlaying, 0);
    EXPECT_EQ(S(shot)->v4fPosition.x, 0.0f);
    EXPECT_EQ(MVE_GetSound(MVE_Engine().Registries.Sounds.GetByName("Shot")->iID), S(shot));
    // They end by themselves and are removed; the sound stays.
    ASSERT_TRUE(UpdateUntil(1)) << "instances still listed after two seconds";
    EXPECT_FALSE(S(a));
    ASSERT_TRUE(S(shot));

    // An ordinary sound plays itself, loops, and stops on request.
    const int hum = MVE_LoadSoundFile(MVE_ID_AUTO, (kCorpus / "square.ogg").c_str(), MVE_SOUND_PLAY | MVE_SOUND_LOOP, "");
    ASSERT_NE(hum, 0);
    EXPECT_EQ(S(hum)->iPlaying, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    MVE_UpdateSounds();
    EXPECT_EQ(MVE_IsSoundPlaying(hum), 1);
    EXPECT_EQ(MVE_StopSound(hum), 1);
    EXPECT_EQ(MVE_IsSoundPlaying(hum), 0);
    EXPECT_EQ(Sounds(), 2u);

    // A streamed looping channel instance keeps playing past its length, until stopped.
    const int loop = MVE_LoadSoundFile(MVE_ID_AUTO, (kCorpus / "square.ogg").c_str(),
                                       MVE_SOUND_STREAM | MVE_SOUND_CHANNEL | MVE_SOUND_LOOP | MVE_SOUND_PLAY, "");
    ASSERT_NE(loop, 0);
    EXPECT_NE(S(loop)->iChannel, 0);  // the result is the instance
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    MVE_UpdateSounds();
    EXPECT_EQ(MVE_IsSoundPlaying(loop), 1);
    MVE_StopSound(loop);
    ASSERT_TRUE(UpdateUntil(3));
    EXPECT_FALSE(S(loop));

    // Quit frees every sound and closes the device.
    MVE_ShutdownSound();
    EXPECT_EQ(Sounds(), 0u);
    EXPECT_EQ(MVE_PlatformAudioOutput(), 0);
}

TEST_F(SoundTest, HeardThroughTheMixRightLeftLouderAndHigher) {
    REQUIRE_CORPUS();
    std::string error;
    ASSERT_EQ(MVE_PlatformStartAudioLoopback(44100, error), 1) << error;
    const int tone = MVE_LoadSoundFile(MVE_ID_AUTO, (kCorpus / "test.ogg").c_str(), MVE_SOUND_PLAY | MVE_SOUND_LOOP, "");
    ASSERT_NE(tone, 0);
    PlaceCamera({0, 0, 0, 1}, 0);
    struct Level {
        double left = 0, right = 0;
        int crossings = 0;  // of the right channel
    };
    // Starts the sound over and mixes `frames` frames, so every measurement hears the same passage.
    auto listen = [&](int frames = 13230) {
        MVE_PlaySound(tone, MVE_IGNORE, nullptr);
        MVE_UpdateSounds();
        std::vector<float> mix(2 * static_cast<size_t>(frames));
        EXPECT_EQ(MVE_PlatformRenderAudio(mix.data(), frames), 1);
        Level l;
        for (int f = 1; f < frames; ++f) {
            l.left += mix[2 * f] * mix[2 * f], l.right += mix[2 * f + 1] * mix[2 * f + 1];
            l.crossings += (mix[2 * f + 1] < 0) != (mix[2 * f - 1] < 0);
        }
        l.left = std::sqrt(l.left / frames), l.right = std::sqrt(l.right / frames);
        return l;
    };
    MVE_SetSoundPosition(tone, 6, 0, 0);  // to the right
    const Level right = listen();
    EXPECT_GT(right.right, 0.05);
    EXPECT_LT(right.left, right.right * 0.1);
    MVE_SetSoundPosition(tone, -6, 0, 0);  // to the left
    const Level left = listen();
    EXPECT_LT(left.right, left.left * 0.1);
    EXPECT_NEAR(left.left, right.right, right.right * 0.02);
    MVE_SetSoundPosition(tone, 0, 0, -6);  // ahead: both sides alike
    const Level ahead = listen();
    EXPECT_NEAR(ahead.left, ahead.right, ahead.right * 0.02);
    // Volume is gain: half the volume, half the amplitude.
    MVE_SetSoundPosition(tone, 6, 0, 0);
    MVE_SetSoundVolume(tone, 0.5f);
    const Level half = listen();
    EXPECT_NEAR(half.right / right.right, 0.5, 0.01);
    // Frequency 2: the same passage in half the time, an octave up.
    S(tone)->fFrequency = 2.0f;
    const Level octave = listen(13230 / 2);
    EXPECT_NEAR(octave.crossings, right.crossings, right.crossings * 0.03);
    EXPECT_GT(right.crossings, 300);
}

TEST_F(SoundTest, WithoutADeviceEverythingRunsSilently) {
    REQUIRE_CORPUS();
    MVE_Engine().Sound.sDevice = "No Such Sound Device";
    MVE_StartupSound();
    EXPECT_EQ(MVE_Engine().Sound.iOutput, 0);
    EXPECT_NE(LogText().find(std::string(MVE_FAIL_NO_SOUND_DEVICE) + "the sound device 'No Such Sound Device' cannot be opened"),
              std::string::npos);
    const int shot = MVE_LoadSoundFile(5, (kCorpus / "square.ogg").c_str(), MVE_SOUND_CHANNEL, "");
    ASSERT_NE(shot, 0);
    EXPECT_EQ(MVE_Engine().Registries.Sounds.Get(5), S(shot));
    const int a = MVE_PlaySound(shot, MVE_IGNORE, nullptr);
    const int b = MVE_PlaySound(5, MVE_IGNORE, nullptr);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(MVE_IsSoundPlaying(a), 1);
    ASSERT_TRUE(UpdateUntil(1));  // 10 ms on the clock
    EXPECT_EQ(MVE_PlaySound(12345, MVE_IGNORE, nullptr), 0);
    EXPECT_NE(LogText().find("Fail: No sound with this ID! (12345)"), std::string::npos);
}

TEST_F(SoundTest, DefinitionSections) {
    REQUIRE_CORPUS();
    MVE_StartupSound();
    fs::create_directories(dir_ / "Sounds");
    fs::copy_file(kCorpus / "square.ogg", dir_ / "Sounds" / "square.ogg");
    WriteFile(dir_ / "Sounds" / "sounds.mvd",
              "Sound: Engine { File: 'square.ogg'; Mode: PlayLoop; Direction: 1, 0, 0;\n"
              "  Cone: 30, 60; Range: 10, 20; Volume: 0.5; Frequency: 2 }\n"
              "Sound: Quiet { File: square.ogg; Mode: play }\n"
              "Sound: Broken { Mode: Play }\n"
              "Sound: Engines { File: square.ogg; Mode: Channel Play Stream }\n");
    MVE_ParseDefinitionFiles((dir_ / "Sounds" / "sounds.mvd").c_str(), MVE_DEFINITION_SOUND);
    const MVE_Registry<MVE_SOUND> &reg = MVE_Engine().Registries.Sounds;
    MVE_SOUND *e = reg.GetByName("Engine");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->iMode, MVE_SOUND_PLAY | MVE_SOUND_LOOP);
    EXPECT_EQ(e->iPlaying, 1);
    EXPECT_EQ(e->v4fDirection.x, 1.0f);
    EXPECT_EQ(e->v4fDirection.w, 0.0f);
    EXPECT_NEAR(e->v2fCone[0], 30 * kDeg, 1e-6f);
    EXPECT_NEAR(e->v2fCone[1], 60 * kDeg, 1e-6f);
    EXPECT_EQ(e->v2fRange[1], 20.0f);
    EXPECT_EQ(e->fVolume, 0.5f);
    EXPECT_EQ(e->fFrequency, 2.0f);
    ASSERT_TRUE(reg.GetByName("Quiet"));
    EXPECT_EQ(reg.GetByName("Quiet")->iMode, 0);
    EXPECT_EQ(reg.GetByName("Quiet")->iPlaying, 0);
    EXPECT_FALSE(reg.GetByName("Broken"));
    EXPECT_NE(LogText().find("Fail: Sound definition without a file! ('Broken')"), std::string::npos);
    // A playing channel sound: the started instance got the section's values too.
    ASSERT_TRUE(reg.GetByName("Engines"));
    EXPECT_EQ(reg.Count(), 4u);
    // With no Sound section at all: 0 and a red row.
    MVE_DEFINITION_NODE *root = MVE_ParseDefinitionText("Texture: T { File: x.png }", "");
    EXPECT_EQ(MVE_LoadSoundDefinition(MVE_ID_AUTO, root, ""), 0);
    EXPECT_NE(LogText().find(MVE_FAIL_SOUND_NODE), std::string::npos);
}

TEST_F(SoundTest, CollisionSoundsExactlyAboveImpactSpeedOne) {
    REQUIRE_CORPUS();
    MVE_StartupSound();
    const int hit = MVE_LoadSoundFile(MVE_ID_AUTO, (kCorpus / "test.ogg").c_str(), 0, "Hit");
    ASSERT_NE(hit, 0);
    S(hit)->fVolume = 0.8f;
    int matBall = 3, matBox = 4;
    MVE_CreateMaterialListEntry(&matBall, "Ball");
    MVE_CreateMaterialListEntry(&matBox, "Plane");
    MVE_CreateBoxBody(3, 4.0f, MVE_IGNORE_F, MVE_IGNORE_F, "");
    MVE_CreateSphereBody(6, 2.0f, "");
    const int box = MVE_CreateObject(-1, kMesh, matBox, "", 0, 1);
    MVE_SetObjectBody(box, 3, 1.0f);
    const int ball = MVE_CreateObject(-1, kMesh, matBall, "", 0, 1);
    MVE_SetObjectBody(ball, 6, 1.0f);
    MVE_SetObjectMass(ball, 1.0f);
    MVE_SetObjectRestitution(ball, 0.0f);
    MVE_SetCollisionSound(hit, matBox, matBall);
    auto drop = [&](float speed) {
        MVE_MoveObject(ball, 0.3f, 2.95f, -0.2f, 0);
        MVE_SetObjectVelocity(ball, nullptr, 0.0f, -speed, 0.0f, 0);
        MVE_PhysicsCollisionPhase();
    };
    drop(0.9f);
    drop(1.0f);
    EXPECT_EQ(Sounds(), 1u) << "no sound at impact speeds up to 1.0";
    drop(1.01f);
    ASSERT_EQ(Sounds(), 2u);
    drop(2.0f);
    ASSERT_EQ(Sounds(), 3u);
    // The newest instance: half the sound's volume, at the contact point, playing; the sound
    // itself keeps its volume and does not play.
    MVE_SOUND *last = nullptr;
    MVE_Engine().Registries.Sounds.ForEach([&](MVE_SOUND *s) { last = s; });
    EXPECT_NE(last, S(hit));
    EXPECT_FLOAT_EQ(last->fVolume, 0.4f);
    EXPECT_NEAR(last->v4fPosition.y, 2.0f, 0.05f);
    EXPECT_NEAR(last->v4fPosition.x, 0.3f, 0.05f);
    EXPECT_NE(last->iChannel, 0);
    EXPECT_EQ(MVE_IsSoundPlaying(MVE_HandleOf(last)), 1);
    EXPECT_FLOAT_EQ(S(hit)->fVolume, 0.8f);
    EXPECT_EQ(S(hit)->iPlaying, 0);
    // Both one-second instances end and go.
    for (int i = 0; i < 60 && Sounds() > 1; ++i) {
        MVE_UpdateSounds();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(Sounds(), 1u);

    // From the physics thread: a ball falling 2 units lands at about 6 units per second and is
    // heard, while the main thread keeps updating the same list.
    MVE_SetGravity(0.0f, -9.81f, 0.0f);
    MVE_MoveObject(ball, 0.0f, 5.0f, 0.0f, 0);
    MVE_SetObjectVelocity(ball, nullptr, 0.0f, 0.0f, 0.0f, 0);
    MVE_StartPhysicsThread();
    bool heard = false;
    for (int i = 0; i < 600 && !heard; ++i) {
        MVE_UpdateSounds();
        MVE_PhysicsGuard lock(MVE_Engine().Physics.Lock);
        heard = Sounds() > 1;
        if (!heard) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    MVE_StopPhysicsThread();
    EXPECT_TRUE(heard) << "the landing was not heard within three seconds";
}

namespace {

// Amplitude of the `hz` component of every `stride`-th sample from `first`, over `count` samples
// at `rate` (a whole number of periods, so the other tones of the file cancel out).
double ToneAmplitude(const float *samples, size_t stride, size_t first, size_t count, double rate, double hz) {
    double re = 0, im = 0;
    for (size_t i = 0; i < count; ++i) {
        const double x = samples[(first + i) * stride], w = 2.0 * M_PI * hz * double(first + i) / rate;
        re += x * std::cos(w), im += x * std::sin(w);
    }
    return 2.0 * std::sqrt(re * re + im * im) / double(count);
}

// Tests/Data/tones-5.1.ogg: one tone per speaker, in the order the engine hands channels out
// (front left, front right, centre, LFE, rear left, rear right). Frequencies and amplitudes as the
// file was made (Tests/Data/make-tones-5.1.cpp); all are whole multiples of 110.25 Hz.
struct Speaker {
    const char *name;
    double hz, amplitude;
};
constexpr Speaker kSpeakers[6] = {{"front left", 441, 0.5},  {"front right", 661.5, 0.4}, {"centre", 882, 0.3},
                                  {"LFE", 110.25, 0.35},     {"rear left", 551.25, 0.25}, {"rear right", 771.75, 0.2}};
const fs::path kTones = fs::path(MVE_TEST_DATA) / "tones-5.1.ogg";

}  // namespace

// A 5.1 file decoded whole gives each speaker's tone in its own slot, at its own level; played
// unpanned, the left side of the mix hears the left speakers, the right side the right ones and
// both the centre, whether the file was decoded whole or is streamed.
TEST_F(SoundTest, FiveOneChannelsKeepTheirSpeakers) {
    std::string error;
    ASSERT_EQ(MVE_PlatformStartAudioLoopback(44100, error), 1) << error;
    const int whole = MVE_LoadSoundFile(MVE_ID_AUTO, kTones.c_str(), MVE_SOUND_BACKGROUND, "Whole");
    ASSERT_NE(whole, 0) << LogText();
    int64_t frames = 0;
    int channels = 0;
    const int16_t *pcm = MVE_PlatformSoundSamples(S(whole)->iSound, &frames, &channels);
    ASSERT_TRUE(pcm);
    ASSERT_EQ(channels, 6);
    ASSERT_EQ(frames, 22050 * 4 / 10);
    std::vector<float> decoded(static_cast<size_t>(frames) * 6);
    for (size_t i = 0; i < decoded.size(); ++i) decoded[i] = pcm[i] / 32768.0f;
    for (int slot = 0; slot < 6; ++slot)
        for (const Speaker &tone : kSpeakers) {
            // 4000 samples from the middle of the file: 20 periods of the lowest tone.
            const double heard = ToneAmplitude(decoded.data() + slot, 6, 2000, 4000, 22050, tone.hz);
            if (&tone == &kSpeakers[slot])
                EXPECT_NEAR(heard, tone.amplitude, 0.05 * tone.amplitude) << kSpeakers[slot].name;
            else
                EXPECT_LT(heard, 0.02) << tone.name << " heard in the " << kSpeakers[slot].name << " slot";
        }

    const int streamed = MVE_LoadSoundFile(MVE_ID_AUTO, kTones.c_str(), MVE_SOUND_BACKGROUND | MVE_SOUND_STREAM, "");
    ASSERT_NE(streamed, 0);
    for (int sound : {whole, streamed}) {
        SCOPED_TRACE(sound == whole ? "decoded whole" : "streamed");
        ASSERT_NE(MVE_PlaySound(sound, MVE_IGNORE, nullptr), 0);
        MVE_UpdateSounds();
        // 0.1 s to settle, then 8000 frames at 44.1 kHz (20 periods of 110.25 Hz).
        std::vector<float> mix(2 * 12410);
        ASSERT_EQ(MVE_PlatformRenderAudio(mix.data(), 12410), 1);
        MVE_StopSound(sound);
        double left[6], right[6];
        for (int s = 0; s < 6; ++s) {
            left[s] = ToneAmplitude(mix.data(), 2, 4410, 8000, 44100, kSpeakers[s].hz);
            right[s] = ToneAmplitude(mix.data() + 1, 2, 4410, 8000, 44100, kSpeakers[s].hz);
        }
        for (int s : {0, 4}) {  // left speakers
            EXPECT_GT(left[s], 0.3 * kSpeakers[s].amplitude) << kSpeakers[s].name;
            EXPECT_LT(right[s], 0.5 * left[s]) << kSpeakers[s].name;
        }
        for (int s : {1, 5}) {  // right speakers
            EXPECT_GT(right[s], 0.3 * kSpeakers[s].amplitude) << kSpeakers[s].name;
            EXPECT_LT(left[s], 0.5 * right[s]) << kSpeakers[s].name;
        }
        EXPECT_GT(left[2], 0.3 * kSpeakers[2].amplitude);
        EXPECT_NEAR(left[2], right[2], 0.1 * right[2]) << "the centre sits in the middle";
        // The levels keep their order across the speakers of one side.
        EXPECT_GT(left[0], left[4]);
        EXPECT_GT(right[1], right[5]);
    }
}

// The audio layer is called from every side at once: three threads start, move, stop and free
// channel instances through the engine (serialised by the physics lock, as collision sounds are),
// a fourth loads, plays and frees sounds on the audio layer itself, the feeder thread refills
// streamed channels, and the main thread updates the sounds and renders the mix. Nothing may
// crash or be lost, and once everything has stopped the mix is silent and only the loaded sounds
// are left.
TEST_F(SoundTest, ThreadsPlayStopAndFreeWhileTheMixRuns) {
    REQUIRE_CORPUS();
    std::string error;
    ASSERT_EQ(MVE_PlatformStartAudioLoopback(44100, error), 1) << error;
    const int shot = MVE_LoadSoundFile(MVE_ID_AUTO, (kCorpus / "test.ogg").c_str(), MVE_SOUND_CHANNEL, "Shot");
    const int engine = MVE_LoadSoundFile(MVE_ID_AUTO, kTones.c_str(), MVE_SOUND_CHANNEL | MVE_SOUND_STREAM | MVE_SOUND_LOOP, "Engine");
    const int hum = MVE_LoadSoundFile(MVE_ID_AUTO, (kCorpus / "square.ogg").c_str(), MVE_SOUND_LOOP, "Hum");
    ASSERT_TRUE(shot && engine && hum);
    const size_t loaded = Sounds();
    const std::string square = ReadFile(kCorpus / "square.ogg"), tones = ReadFile(kTones);
    PlaceCamera({0, 0, 0, 1}, 0);

    std::atomic<int> running{4}, failures{0};
    auto player = [&](int seed) {
        for (int i = 0; i < 120; ++i) {
            const v4f at = {float((seed * 7 + i) % 11) - 5.0f, 0, -3, 1};
            const int instance = MVE_PlaySound(i % 5 == 0 ? engine : shot, MVE_IGNORE, &at);
            if (!instance) {
                ++failures;
                continue;
            }
            MVE_SetSoundPosition(instance, at.x, 1, -4);
            MVE_IsSoundPlaying(instance);
            if (i % 2 == 0) MVE_StopSound(instance);  // gone at the next update
            else if (i % 8 != 7) MVE_FreeSound(instance);
            if (i % 10 == seed) MVE_PlaySound(hum, MVE_IGNORE, nullptr);
            if (i % 10 == seed + 5) MVE_StopSound(hum);
        }
        --running;
    };
    auto layer = [&] {
        for (int i = 0; i < 40; ++i) {
            const std::string &bytes = i % 2 ? tones : square;
            std::string reason;
            MVE_SOUND_INFO info;
            const int sound = MVE_PlatformDecodeSound(bytes.data(), bytes.size(), i % 4 == 0, &info, reason);
            if (!sound) {
                ++failures;
                continue;
            }
            const int own = MVE_PlatformPlaySound(sound, 0, 0);
            MVE_PlatformSetChannel(own, 0.25f, 0.5f, 0.75f);
            // Channels come and go many times over while the others use the same tables.
            for (int k = 0; k < 20; ++k) {
                const int extra = MVE_PlatformPlaySound(sound, k % 2, 1);
                MVE_PlatformSetChannel(extra, 0.5f, -0.5f, 1.5f);
                MVE_PlatformChannelPlaying(extra);
                MVE_PlatformStopChannel(extra);
            }
            MVE_PlatformReleaseSound(sound);
        }
        --running;
    };
    std::vector<std::thread> threads;
    for (int seed = 0; seed < 3; ++seed) threads.emplace_back(player, seed);
    threads.emplace_back(layer);
    std::vector<float> mix(2 * 256);
    bool finite = true;
    while (running > 0) {
        MVE_UpdateSounds();
        MVE_PlatformRenderAudio(mix.data(), 256);
        for (float v : mix) finite = finite && std::isfinite(v);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(finite);

    // Stop what still plays; every instance ends and is gone, and nothing is heard any more.
    MVE_Engine().Registries.Sounds.ForEach([](MVE_SOUND *s) { MVE_StopSound(MVE_HandleOf(s)); });
    MVE_UpdateSounds();
    EXPECT_EQ(Sounds(), loaded);
    for (int sound : {shot, engine, hum}) EXPECT_EQ(MVE_IsSoundPlaying(sound), 0);
    ASSERT_EQ(MVE_PlatformRenderAudio(mix.data(), 256), 1);
    ASSERT_EQ(MVE_PlatformRenderAudio(mix.data(), 256), 1);
    float loudest = 0;
    for (float v : mix) loudest = std::max(loudest, std::fabs(v));
    EXPECT_EQ(loudest, 0.0f);
}
