// docs/ as its readers meet it. The first program (docs/first-program.c, built as strict C by the
// suite) runs as a process of its own in an empty folder, headless, for a counted number of frames:
// it must end well, leave a log without a red row, and show its scene. The reference check, run on
// a changed copy of the header, must say what to add.
#include "Platform/Platform.h"
#include "TestSupport.h"
#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>

using mvetest::EngineTest;
using Docs = EngineTest;

namespace {

struct Pixel {
    int r, g, b;
};

// The mean colour of the square of side 2 * radius + 1 around (x, y).
Pixel Mean(const MVE_IMAGE &image, int x, int y, int radius) {
    int sum[3] = {0, 0, 0}, n = 0;
    const bool bgr = image.iFormat == MVE_PIXELS_BGR || image.iFormat == MVE_PIXELS_BGRA;
    for (int v = y - radius; v <= y + radius; ++v) {
        const int row = image.iBottomUp ? image.iHeight - 1 - v : v;
        for (int u = x - radius; u <= x + radius; ++u, ++n) {
            const uint8_t *p = image.pPixels + (static_cast<size_t>(row) * image.iWidth + u) * image.iBytesPerPixel;
            for (int k = 0; k < 3; ++k) sum[bgr ? 2 - k : k] += p[k];
        }
    }
    return {sum[0] / n, sum[1] / n, sum[2] / n};
}

int Distance(Pixel a, Pixel b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

}  // namespace

TEST_F(Docs, FirstProgramRuns) {
    const std::string command = "'" MVE_TEST_FIRST_PROGRAM "' 12 shot.png > out.txt 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "the first program did not end by itself";
    EXPECT_EQ(WEXITSTATUS(status), 0) << mvetest::ReadFile(dir_ / "out.txt");

    // Every call of the walk-through is valid: not one red row, and the engine came up and went down.
    const std::string log = mvetest::ReadFile(dir_ / "MVE LogFile.html");
    ASSERT_FALSE(log.empty()) << "no log written";
    EXPECT_EQ(log.find("color:#FF0000"), std::string::npos) << log;
    EXPECT_NE(log.find("Program"), std::string::npos);

    MVE_IMAGE shot;
    std::string error;
    ASSERT_EQ(MVE_PlatformLoadImage((dir_ / "shot.png").c_str(), shot, error), 1) << error;
    ASSERT_EQ(shot.iWidth, 960);
    ASSERT_EQ(shot.iHeight, 540);
    // The sky above the floor keeps the background colour 0xFF604020 (0xAABBGGRR).
    const Pixel background{0x20, 0x40, 0x60};
    EXPECT_LE(Distance(Mean(shot, 920, 40, 10), background), 6);
    // The box stands a little below the middle (the camera looks down 15 degrees, the box lies 18
    // degrees below the eye); whichever face turns to the camera, it is no background.
    EXPECT_GT(Distance(Mean(shot, 480, 318, 3), background), 60);
    // The floor under the orange point light at (2, 2, 2) is warm; far from it, the white sun and
    // the grey-blue ambient light leave it neutral.
    const Pixel warm = Mean(shot, 776, 470, 10), far = Mean(shot, 100, 500, 10);
    EXPECT_GT(warm.r - warm.b, far.r - far.b + 20) << "under the light " << warm.r << " " << warm.g << " " << warm.b;
    EXPECT_GT(Distance(far, background), 60);
}

// What a later engineer meets after adding a procedure to the header and renaming a parameter the
// notes explain: the check fails, says which entry to add and which note went stale, and shows the
// reference's change as a diff. Run on a copy of the real header and notes over the real sources.
TEST_F(Docs, ReferenceCheckSaysWhatANewProcedureNeeds) {
    namespace fs = std::filesystem;
    fs::create_directories(dir_ / "tree" / "Include");
    fs::create_directories(dir_ / "tree" / "docs");
    fs::create_directory_symlink(MVE_TEST_SOURCE_ROOT "/Source", dir_ / "tree" / "Source");
    for (const char *file : {"docs/API.md", "docs/api-notes.txt", "docs/first-program.c"})
        fs::copy_file(fs::path(MVE_TEST_SOURCE_ROOT) / file, dir_ / "tree" / file);
    std::string header = mvetest::ReadFile(fs::path(MVE_TEST_SOURCE_ROOT) / "Include/MVE.h");
    const std::string anchor = "int   MVE_GetMaterialID(const char *name);";
    const size_t at = header.find(anchor);
    ASSERT_NE(at, std::string::npos);
    const size_t lineEnd = header.find('\n', at);
    header.insert(lineEnd + 1, "int   MVE_GetMaterialUserData(int material, int slot); /* value in a slot 0..3 */\n");
    const size_t mode = header.find("int   MVE_LoadSoundFile(int id, const char *file, int mode,");
    ASSERT_NE(mode, std::string::npos);
    header.replace(header.find("int mode", mode), 8, "int flags");
    mvetest::WriteFile(dir_ / "tree" / "Include/MVE.h", header);
    const int line = 2 + static_cast<int>(std::count(header.begin(), header.begin() + lineEnd, '\n'));  // the line after the anchor

    const std::string command = "'" MVE_TEST_APIDOC "' --check tree generated.md > report.txt 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string report = mvetest::ReadFile(dir_ / "report.txt");
    EXPECT_NE(report.find("[MVE_LoadSoundFile] has no parameter \"mode\" in Include/MVE.h"), std::string::npos) << report;
    EXPECT_NE(report.find("lacks what the reference needs for 1 name"), std::string::npos) << report;
    EXPECT_NE(report.find("[MVE_GetMaterialUserData]   # Include/MVE.h:" + std::to_string(line) +
                          "\nreturns: <what the result means, and what it is on failure>"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("cmake --build build --target mve-apidoc"), std::string::npos);
    EXPECT_NE(report.find("- `int MVE_LoadSoundFile(int id, const char *file, int mode, const char *name)`\n"
                          "+ `int MVE_LoadSoundFile(int id, const char *file, int flags, const char *name)`"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("+ ### MVE_GetMaterialUserData"), std::string::npos) << report;
    // The reference is still written, for a look at what changed.
    EXPECT_NE(mvetest::ReadFile(dir_ / "generated.md").find("`int MVE_GetMaterialUserData(int material, int slot)`"),
              std::string::npos);
}
