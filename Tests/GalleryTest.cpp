// The examples of Samples/ as their readers run them: each program replays its committed session
// (Tests/Gallery/<Name>.mvr) headless for its frame count and must end well, leave a log without a
// red row, and draw the picture the README shows (docs/images/<name>.png) within llvmpipe's rounding.
// A picture that differs is written beside the build's tests with a difference picture, and the
// message names both. After a change that is meant to alter an example, make the sessions and the
// pictures again with `cmake --build build --target mve-gallery-images` and commit both folders.
#include "Mesh/Mesh.h"
#include "Platform/Platform.h"
#include "TestSupport.h"
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

#ifndef MVE_TEST_SAMPLES
#error "MVE_TEST_SAMPLES must name the build folder of Samples/"
#endif

namespace {

namespace fs = std::filesystem;

struct Example {
    const char *sName;
    int iFrames;   // frames of the committed session, and of the picture
};
void PrintTo(const Example &example, std::ostream *out) { *out << example.sName << ", " << example.iFrames << " frames"; }

// Enough frames for each picture to show what its example is about: the fire grown, the tower
// settled on the floor while the chain still swings.
const Example kGallery[] = {{"Cube", 40},  {"Materials", 40},   {"Particles", 80}, {"Overlay", 30},
                            {"Sound", 40}, {"Playground", 120}, {"SceneFile", 30}};

const fs::path kRoot = MVE_TEST_SOURCE_ROOT;
const fs::path kSamples = MVE_TEST_SAMPLES;
const fs::path kOutput = fs::path(MVE_TEST_SAMPLES).parent_path() / "Tests" / "gallery";

fs::path Program(const std::string &name) { return kSamples / name / name; }
fs::path Session(const std::string &name) { return kRoot / "Tests" / "Gallery" / (name + ".mvr"); }
fs::path Picture(const std::string &name) {
    std::string lower = name;
    for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return kRoot / "docs" / "images" / (lower + ".png");
}

bool Updating() {
    const char *update = std::getenv("MVE_UPDATE_GALLERY");
    return update && *update == '1';
}

// Runs a program in the current folder with its output in out.txt; the exit code, -1 when it did
// not end by itself.
int RunProgram(const fs::path &program, const std::string &arguments) {
    const std::string command = "'" + program.string() + "' " + arguments + " > out.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> RedRows(const std::string &log) {
    std::vector<std::string> rows;
    for (size_t at = log.find("color:#FF0000"); at != std::string::npos; at = log.find("color:#FF0000", at + 1)) {
        const size_t start = log.find('>', at), end = log.find("</", at);
        rows.push_back(start != std::string::npos && end != std::string::npos && end > start
                           ? log.substr(start + 1, end - start - 1)
                           : log.substr(at, 80));
    }
    return rows;
}

// An RGB picture, rows from the top.
struct Rgb {
    int iWidth = 0, iHeight = 0;
    std::vector<uint8_t> Pixels;
    const uint8_t *At(int x, int y) const { return &Pixels[(static_cast<size_t>(y) * iWidth + x) * 3]; }
};

bool Load(const fs::path &file, Rgb &out, std::string &error) {
    MVE_IMAGE image;
    if (!MVE_PlatformLoadImage(file.c_str(), image, error)) return false;
    out.iWidth = image.iWidth;
    out.iHeight = image.iHeight;
    out.Pixels.resize(static_cast<size_t>(image.iWidth) * image.iHeight * 3);
    const bool bgr = image.iFormat == MVE_PIXELS_BGR || image.iFormat == MVE_PIXELS_BGRA;
    for (int y = 0; y < image.iHeight; ++y)
        for (int x = 0; x < image.iWidth; ++x) {
            const int row = image.iBottomUp ? image.iHeight - 1 - y : y;
            const uint8_t *p = image.pPixels + (static_cast<size_t>(row) * image.iWidth + x) * image.iBytesPerPixel;
            uint8_t *q = &out.Pixels[(static_cast<size_t>(y) * image.iWidth + x) * 3];
            for (int k = 0; k < 3; ++k) q[k] = p[bgr ? 2 - k : k];
        }
    return true;
}

// Pixels whose largest channel difference exceeds the rounding llvmpipe may differ by between
// builds, within the rectangle [x0, x1) x [y0, y1).
constexpr int kRounding = 24;
int Differing(const Rgb &a, const Rgb &b, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t *p = a.At(x, y), *q = b.At(x, y);
            int worst = 0;
            for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(int(p[k]) - int(q[k])));
            n += worst > kRounding;
        }
    return n;
}

// The difference as a picture: the expected one faded to grey, differing pixels in red.
void WriteDifference(const Rgb &actual, const Rgb &expected, const fs::path &file) {
    std::vector<uint8_t> rgb(actual.Pixels.size());
    for (int y = 0; y < actual.iHeight; ++y)
        for (int x = 0; x < actual.iWidth; ++x) {
            const uint8_t *p = actual.At(x, y), *q = expected.At(x, y);
            int worst = 0;
            for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(int(p[k]) - int(q[k])));
            uint8_t *out = &rgb[(static_cast<size_t>(y) * actual.iWidth + x) * 3];
            const uint8_t grey = static_cast<uint8_t>(64 + (q[0] + q[1] + q[2]) / 12);
            out[0] = worst > kRounding ? 255 : grey;
            out[1] = out[2] = worst > kRounding ? 0 : grey;
        }
    std::string error;
    MVE_PlatformWritePNG(file.c_str(), rgb.data(), actual.iWidth, actual.iHeight, 3, error);
}

class GalleryRun : public mvetest::EngineTest {
  protected:
    // Replays the committed session for `frames` frames into shot.png; checks the run and the log.
    void Replay(const Example &example, int frames, Rgb &shot) {
        const std::string name = example.sName;
        ASSERT_TRUE(fs::exists(Program(name))) << "not built: " << Program(name);
        ASSERT_TRUE(fs::exists(Session(name))) << "no session: " << Session(name)
                                               << " (cmake --build build --target mve-gallery-images)";
        const int code = RunProgram(Program(name), "--frames " + std::to_string(frames) + " --replay '" +
                                                Session(name).string() + "' --screenshot shot.png");
        EXPECT_EQ(code, 0) << mvetest::ReadFile(dir_ / "out.txt");
        const std::string log = mvetest::ReadFile(dir_ / "MVE LogFile.html");
        ASSERT_FALSE(log.empty()) << "no log written";
        // A replay that leaves its session (the example or the engine changed how a frame runs)
        // says so in a red row: the session has to be made again.
        const std::vector<std::string> red = RedRows(log);
        EXPECT_TRUE(red.empty()) << name << " wrote " << red.size() << " red rows, the first: " << red[0]
                                 << "\n  (a replay that left its session: cmake --build build --target mve-gallery-images)";
        std::string error;
        ASSERT_TRUE(Load(dir_ / "shot.png", shot, error)) << error;
    }
};

class Gallery : public GalleryRun, public ::testing::WithParamInterface<Example> {};

// Makes the session and the picture again (MVE_UPDATE_GALLERY=1, the target mve-gallery-images):
// a live run records the session, a replay of it draws the picture, as the test will.
void Remake(const Example &example, const fs::path &folder) {
    const std::string name = example.sName, frames = std::to_string(example.iFrames);
    fs::create_directories(Session(name).parent_path());
    fs::create_directories(Picture(name).parent_path());
    ASSERT_EQ(RunProgram(Program(name), "--frames " + frames + " --record '" + Session(name).string() + "'"), 0)
        << mvetest::ReadFile(folder / "out.txt");
    ASSERT_EQ(RunProgram(Program(name), "--frames " + frames + " --replay '" + Session(name).string() + "' --screenshot '" +
                                     Picture(name).string() + "'"),
              0)
        << mvetest::ReadFile(folder / "out.txt");
}

TEST_P(Gallery, DrawsItsPicture) {
    const Example &example = GetParam();
    if (Updating()) {
        Remake(example, dir_);
        GTEST_SKIP() << "made " << Session(example.sName) << " and " << Picture(example.sName);
    }
    Rgb shot, expected;
    Replay(example, example.iFrames, shot);
    if (HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(Load(Picture(example.sName), expected, error)) << error;
    ASSERT_EQ(shot.iWidth, expected.iWidth);
    ASSERT_EQ(shot.iHeight, expected.iHeight);
    // At most one pixel in 200 beyond the rounding: a moved object, a lost texture or a wrong colour
    // changes thousands.
    const int differing = Differing(shot, expected, 0, 0, shot.iWidth, shot.iHeight);
    if (differing > shot.iWidth * shot.iHeight / 200) {
        fs::create_directories(kOutput);
        const fs::path actual = kOutput / (std::string(example.sName) + "-actual.png");
        const fs::path difference = kOutput / (std::string(example.sName) + "-difference.png");
        fs::copy_file(dir_ / "shot.png", actual, fs::copy_options::overwrite_existing);
        WriteDifference(shot, expected, difference);
        ADD_FAILURE() << example.sName << ": " << differing << " pixels differ from " << Picture(example.sName)
                      << "\n  drawn now: " << actual << "\n  differences in red: " << difference
                      << "\n  if the change is meant: cmake --build build --target mve-gallery-images";
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, Gallery, ::testing::ValuesIn(kGallery),
                         [](const ::testing::TestParamInfo<Example> &info) { return std::string(info.param.sName); });

// The playground's tower settles on the floor and stays there: 80 frames into the session it
// covers the pixels it covers at the end (120), up to the odd pixel on its edges. A tower that slid,
// shook or fell fails; the chain beside it swings on, wherever the session leaves it.
TEST_F(GalleryRun, PlaygroundTowerStandsStill) {
    if (Updating()) GTEST_SKIP() << "pictures are being made";
    const Example &playground = kGallery[5];
    ASSERT_STREQ(playground.sName, "Playground");
    Rgb early, end;
    Replay(playground, 80, early);
    if (HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(Load(Picture(playground.sName), end, error)) << error;
    ASSERT_EQ(early.iWidth, end.iWidth);
    ASSERT_EQ(early.iHeight, end.iHeight);
    // The tower and its shadow stand in x 120..270, y 40..260 of the picture: at most 1 % changes.
    EXPECT_LE(Differing(early, end, 120, 40, 270, 260), 150 * 220 / 100)
        << "pixels of the tower that changed between frames 80 and 120";
}

// A session that cannot be replayed is not run live instead: every example ends at once with an
// error code and says why in its log.
TEST_F(GalleryRun, ExamplesRefuseASessionTheyCannotReplay) {
    for (const Example &example : kGallery) {
        const int code = RunProgram(Program(example.sName), "--frames 5 --replay missing.mvr");
        EXPECT_EQ(code, 1) << example.sName << ": " << mvetest::ReadFile(dir_ / "out.txt");
        const std::vector<std::string> red = RedRows(mvetest::ReadFile(dir_ / "MVE LogFile.html"));
        ASSERT_FALSE(red.empty()) << example.sName;
        EXPECT_NE(red[0].find("missing.mvr"), std::string::npos) << example.sName << ": " << red[0];
    }
}

// The meshes the samples ship wind every face counter-clockwise seen from outside, as the engine
// draws front faces: the normal of each triangle's corners agrees with the normals the file gives.
TEST_F(GalleryRun, SampleMeshesFaceOutwards) {
    int files = 0;
    for (const auto &entry : fs::recursive_directory_iterator(kRoot / "Samples")) {
        if (entry.path().extension() != ".obj") continue;
        ++files;
        const int handle = MVE_LoadOBJMesh(-1, entry.path().c_str(), "");
        MVE_MESH *mesh = MeshOf(handle);
        ASSERT_NE(mesh, nullptr) << entry.path();
        int inward = 0;
        for (size_t i = 0; i + 2 < mesh->Index.size(); i += 3) {
            const MVE_MESH_VERTEX &a = mesh->Vertex[size_t(mesh->Index[i])], &b = mesh->Vertex[size_t(mesh->Index[i + 1])],
                                  &c = mesh->Vertex[size_t(mesh->Index[i + 2])];
            const float u[3] = {b.v4fVertex.x - a.v4fVertex.x, b.v4fVertex.y - a.v4fVertex.y, b.v4fVertex.z - a.v4fVertex.z};
            const float w[3] = {c.v4fVertex.x - a.v4fVertex.x, c.v4fVertex.y - a.v4fVertex.y, c.v4fVertex.z - a.v4fVertex.z};
            const float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
            float along = 0.0f;
            for (int k = 0; k < 3; ++k) along += n[k] * (a.v3fNormal[k] + b.v3fNormal[k] + c.v3fNormal[k]);
            inward += along < 0.0f;
        }
        EXPECT_EQ(inward, 0) << entry.path() << ": of " << mesh->Index.size() / 3 << " faces";
    }
    EXPECT_GE(files, 2);
}

}  // namespace
