// Shared helpers of the test suite: a fresh engine record per test, a private working folder,
// and reading files back.
#pragma once
#include "Core/Engine.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace mvetest {

inline std::string ReadFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteFile(const std::filesystem::path &path, const std::string &text) {
    std::filesystem::create_directories(path.parent_path().empty() ? "." : path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Records behind the handles that creators return, for tests that look inside (null for 0).
inline MVE_MESH *MeshOf(int handle) { return handle ? MVE_GetMesh(handle) : nullptr; }
inline MVE_BODY *BodyOf(int handle) { return handle ? MVE_GetBody(handle) : nullptr; }
inline MVE_OBJECT *ObjectOf(int handle) { return handle ? MVE_GetObject(handle) : nullptr; }
inline MVE_NODE *NodeOf(int handle) { return handle ? MVE_GetNode(handle) : nullptr; }
template <class T> int IdOf(const T *record) { return record ? record->iID : 0; }

// A mesh of two vertices spanning (-1, -1, -1) to (1, 1, 1): enough to create objects on and to
// derive box and sphere bodies from, without GL.
inline void MakeTinyMesh(int id) {
    int requested = id;
    MVE_MESH *mesh = MVE_CreateMeshListEntry(&requested, "");
    mesh->Vertex.resize(2);
    mesh->Vertex[0].v4fVertex = {-1, -1, -1, 1};
    mesh->Vertex[1].v4fVertex = {1, 1, 1, 1};
    mesh->iVertices = 2;
}

// A file of the shared loader corpus (MVE_TEST_CORPUS). Without the corpus folder the test is
// skipped with the reason; a file missing from a corpus that is there fails the test: a check of
// a file that is not there must never pass.
#define MVE_REQUIRE_CORPUS_FILE(path)                                                                \
    do {                                                                                             \
        if (!std::filesystem::is_directory(MVE_TEST_CORPUS)) GTEST_SKIP() << "corpus not found at " MVE_TEST_CORPUS; \
        ASSERT_TRUE(std::filesystem::exists(path)) << "missing from the corpus: " << (path);         \
    } while (0)

// Runs each test in a fresh folder under the system temp folder with a fresh engine record.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("mve-test-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
        MVE_ResetEngine();
        // Tests never start a debugger application behind the suite's back.
        MVE_Engine().Debugger.sProgramPath = "";
    }
    void TearDown() override {
        MVE_ResetEngine();
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    // Opens a log in the test folder with the given columns; returns its path.
    std::filesystem::path OpenLog(int columns = 0) {
        MVE_OpenLogFile("test.html", 1, 1);
        MVE_SetLogColumns(columns);
        return dir_ / "test.html";
    }
    std::string LogText() { return ReadFile(dir_ / "test.html"); }
    std::filesystem::path dir_, old_;
};

}  // namespace mvetest

using mvetest::BodyOf;
using mvetest::IdOf;
using mvetest::MeshOf;
using mvetest::NodeOf;
using mvetest::ObjectOf;
