// Every input the fuzz targets (Tests/Fuzz, run by Tools/fuzz.sh) ever broke the engine with, kept
// under Tests/Fuzz/regressions/<target>/ and replayed here through the same harness in the normal
// suite: a file that crashes, hangs or breaks a loader's promise again fails its test. The seed
// files go through too, so that every harness runs even while there is no regression for it.
#define MVE_FUZZ_NO_ENTRY
#include "GLFixture.h"
#include "TestSupport.h"
#include <algorithm>
#include <vector>

#include "Fuzz/fuzz_body.cpp"
#include "Fuzz/fuzz_definition.cpp"
#include "Fuzz/fuzz_font.cpp"
#include "Fuzz/fuzz_image.cpp"
#include "Fuzz/fuzz_material.cpp"
#include "Fuzz/fuzz_mesh.cpp"
#include "Fuzz/fuzz_obj.cpp"
#include "Fuzz/fuzz_ogg.cpp"
#include "Fuzz/fuzz_particles.cpp"
#include "Fuzz/fuzz_replay.cpp"
#include "Fuzz/fuzz_texture.cpp"

namespace {

namespace fs = std::filesystem;
const fs::path kFuzz = fs::path(MVE_TEST_GOLDEN).parent_path() / "Fuzz";

// The kept findings of a target, then its seeds.
std::vector<fs::path> Inputs(const char *target) {
    std::vector<fs::path> files;
    for (const char *folder : {"regressions", "seeds"}) {
        const fs::path dir = kFuzz / folder / target;
        if (!fs::is_directory(dir)) continue;
        for (const auto &entry : fs::recursive_directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

template <class Run> void Replay(const char *target, Run run) {
    const std::vector<fs::path> files = Inputs(target);
    for (const fs::path &file : files) {
        SCOPED_TRACE(file.string());
        const std::string bytes = mvetest::ReadFile(file);
        EXPECT_EQ(run(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()), 0);
    }
}

using FuzzRegressionTest = mvetest::EngineTest;
using FuzzRegressionGLTest = mvetest::GLTest;

}  // namespace

TEST_F(FuzzRegressionTest, TextResources) {
    ASSERT_FALSE(Inputs("definition").empty()) << "seed files missing under " << kFuzz;
    fuzz_definition::Init();
    Replay("definition", fuzz_definition::Run);
    fuzz_mesh::Init();
    Replay("mesh", fuzz_mesh::Run);
    fuzz_obj::Init();
    Replay("obj", fuzz_obj::Run);
    fuzz_body::Init();
    Replay("body", fuzz_body::Run);
    fuzz_material::Init();
    Replay("material", fuzz_material::Run);
    ASSERT_FALSE(Inputs("particles").empty()) << "particle seeds missing under " << kFuzz;
    fuzz_particles::Init();
    Replay("particles", fuzz_particles::Run);
}

TEST_F(FuzzRegressionTest, BinaryFiles) {
    Replay("font", fuzz_font::Run);
    Replay("image", fuzz_image::Run);
    Replay("ogg", fuzz_ogg::Run);
}

TEST_F(FuzzRegressionTest, SessionRecordings) {
    ASSERT_FALSE(Inputs("replay").empty()) << "recording seeds missing under " << kFuzz;
    fuzz_replay::Init();
    Replay("replay", fuzz_replay::Run);
}

TEST_F(FuzzRegressionGLTest, TextureDefinitionsWithTheirImages) {
    fuzz_texture::Init();
    Replay("texture", fuzz_texture::Run);
}
