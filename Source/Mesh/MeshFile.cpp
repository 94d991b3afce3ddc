// The engine's own mesh files (".mvm"): the loader and the text writer. Main thread only. The loader
// takes the lists out of the parser as they are read (a large mesh never exists as nodes), checks
// the file whole before registering anything (non-finite numbers, no triangle, an index outside
// the vertices, a block cut at the nesting limit are refused) and frees the parsed tree on every path; the writer produces the one canonical layout byte for byte
// and never leaves a half-written file in place of a good one.
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Mesh/Mesh.h"
#include "Reload/Reload.h"
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// One number of the canonical layout: 6 decimals, a space in front unless it starts with its minus
// sign. A value that rounds to zero is written as zero: "-0.000000" would claim a sign that is not
// there after rounding.
void AppendNumber(std::string &out, float value) {
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    std::string_view s(text, static_cast<size_t>(result.ptr - text));
    if (s == "-0.000000") s = "0.000000";
    if (s.empty() || s[0] != '-') out += ' ';
    out.append(s);
}

void AppendInt(std::string &out, long long value) {
    char text[24];
    auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

class Writer {
  public:
    explicit Writer(FILE *file) : file_(file) { buffer_.reserve(1 << 16); }
    std::string &Text() { return buffer_; }
    void EndLine() {
        buffer_ += "\r\n";
        if (buffer_.size() >= (1 << 16) - 256) Flush();
    }
    void Flush() {
        if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) failed_ = true;
        buffer_.clear();
    }
    bool Failed() const { return failed_; }

  private:
    FILE *file_;
    std::string buffer_;
    bool failed_ = false;
};

void WriteBlock(Writer &w, const char *title, size_t count, const MVE_MESH &mesh, int what) {
    w.Text() += '\t';
    w.Text() += title;
    AppendInt(w.Text(), static_cast<long long>(count));
    w.Text() += " {";
    w.EndLine();
    for (const MVE_MESH_VERTEX &v : mesh.Vertex) {
        float values[3];
        int n = 3;
        if (what == 0) values[0] = v.v4fVertex.x, values[1] = v.v4fVertex.y, values[2] = v.v4fVertex.z;
        if (what == 1) std::memcpy(values, v.v3fNormal, sizeof values);
        if (what == 2) values[0] = v.v2fTexCoord[0], values[1] = v.v2fTexCoord[1], n = 2;
        w.Text() += "\t\t";
        for (int k = 0; k < n; ++k) {
            if (k) w.Text() += ',';
            AppendNumber(w.Text(), values[k]);
        }
        w.EndLine();
    }
    w.Text() += "\t}";
    w.EndLine();
    w.EndLine();
}

}  // namespace

int MVE_SaveMesh(const MVE_MESH *mesh, const char *file, const char *name) {
    if (!mesh || !MVE_CheckMeshCorners(*mesh, "MVE_SaveMesh")) return 0;
    if (!file || !*file) {
        MVE_LogFail(MVE_FAIL_CANNOT_WRITE, "MVE_SaveMesh");
        return 0;
    }
    // Written beside the target and renamed over it at the end: a full disk keeps the old file.
    const std::string target(file), temporary = target + ".part";
    FILE *out = std::fopen(temporary.c_str(), "wb");
    if (!out) {
        MVE_LogFail(MVE_FAIL_CANNOT_WRITE, "MVE_SaveMesh");
        return 0;
    }
    Writer w(out);
    w.Text() += "Mesh: ";
    w.Text() += name ? name : "";
    w.Text() += " {";
    w.EndLine();
    WriteBlock(w, "Vertices: ", mesh->Vertex.size(), *mesh, 0);
    WriteBlock(w, "Normals: ", mesh->Vertex.size(), *mesh, 1);
    WriteBlock(w, "TextureCoords: ", mesh->Vertex.size(), *mesh, 2);
    const size_t triangles = mesh->Index.size() / 3;
    w.Text() += "\tFaces: ";
    AppendInt(w.Text(), static_cast<long long>(triangles));
    w.Text() += " {";
    w.EndLine();
    for (size_t k = 0; k < triangles; ++k) {
        w.Text() += "\t\t ";
        AppendInt(w.Text(), mesh->Index[3 * k]);
        w.Text() += ',';
        AppendInt(w.Text(), mesh->Index[3 * k + 1]);
        w.Text() += ',';
        AppendInt(w.Text(), mesh->Index[3 * k + 2]);
        w.EndLine();
    }
    w.Text() += "\t}";
    w.EndLine();
    w.EndLine();
    w.Text() += "}";
    w.EndLine();
    w.Flush();
    const bool closed = std::fclose(out) == 0;
    if (w.Failed() || !closed || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        MVE_LogFail(MVE_FAIL_CANNOT_WRITE, "MVE_SaveMesh");
        return 0;
    }
    return 1;
}

extern "C" int MVE_SaveMesh(int id, const char *file, const char *name) {
    return MVE_SaveMesh(MVE_ResolveMesh(id, "MVE_SaveMesh"), file, name);
}

// ---------------------------------------------------------------- loading

namespace {

// Takes the four lists of the first "Mesh" section (the first of each key) straight out of the
// parser, entry by entry, so a mesh of a million vertices never exists as definition nodes. Each
// entry is read with the same readers as any other node, so every rule of the syntax holds.
class MeshLists : public MVE_DEFINITION_SINK {
  public:
    enum { kVertices, kNormals, kTexCoords, kFaces, kLists };
    std::vector<float> Values[kLists];   // 3, 3, 2 floats per entry; faces as 3 integers in floats' place
    std::vector<int32_t> Faces;
    const MVE_DEFINITION_NODE *pSection = nullptr;

    bool Added(const MVE_DEFINITION_NODE *parent, const MVE_DEFINITION_NODE *node) override {
        if (!pSection) {
            if (MVE_DefinitionKey(node) == "Mesh") pSection = node;
            return false;
        }
        if (parent != pSection) return false;
        static const std::string_view kKeys[kLists] = {"Vertices", "Normals", "TextureCoords", "Faces"};
        for (int k = 0; k < kLists; ++k) {
            if (pList[k] || MVE_DefinitionKey(node) != kKeys[k]) continue;
            pList[k] = node;
            // The count written after the key sizes the arrays once; it is only a hint, and a count
            // larger than the file could hold is not trusted.
            const int hint = MVE_ReadDefinitionInteger(node, 0);
            const size_t most = MVE_DefinitionTreeOf(node)->iText / 8;
            if (hint > 0 && static_cast<size_t>(hint) <= most) {
                if (k == kFaces) Faces.reserve(static_cast<size_t>(hint) * 3);
                else Values[k].reserve(static_cast<size_t>(hint) * (k == kTexCoords ? 2 : 3));
            }
            return true;
        }
        return false;
    }

    void Take(const MVE_DEFINITION_NODE *parent, const MVE_DEFINITION_NODE *entry) override {
        if (parent == pList[kFaces]) {
            for (int c = 0; c < 3; ++c)
                Faces.push_back(MVE_ReadDefinitionInteger(MVE_GetDefinitionNode(const_cast<MVE_DEFINITION_NODE *>(entry), c), 0));
            return;
        }
        for (int k = 0; k < kFaces; ++k) {
            if (parent != pList[k]) continue;
            if (k == kTexCoords) {
                MVE_DEFINITION_NODE *e = const_cast<MVE_DEFINITION_NODE *>(entry);
                Values[k].push_back(MVE_ReadDefinitionFloat(MVE_GetDefinitionNode(e, 0), 0.0f));
                Values[k].push_back(MVE_ReadDefinitionFloat(MVE_GetDefinitionNode(e, 1), 0.0f));
            } else {
                v4f v = {0, 0, 0, 0};
                MVE_ReadDefinitionVector(entry, &v, 0, 0, 0, MVE_IGNORE_F);
                Values[k].insert(Values[k].end(), {v.x, v.y, v.z});
            }
        }
    }

  private:
    const MVE_DEFINITION_NODE *pList[kLists] = {};
};

}  // namespace

namespace {

// Reads a ".mvm" file into `data` (not registered). The failure row's text, empty when it is usable.
std::string ReadMeshFile(const std::string &path, MVE_MESH &data) {
    MeshLists lists;
    MVE_DEFINITION_NODE *root = nullptr;
    std::string failure;
    try {
        root = MVE_ReadDefinitionFile(path.c_str(), &lists, MVE_FILE_MESH);
    } catch (const std::bad_alloc &) {
        failure = MVE_FAIL_OUT_OF_MEMORY;
    }
    if (!root && failure.empty()) failure = MVE_Engine().Definition.sLastFailure;
    if (failure.empty() && !lists.pSection) failure = MVE_FAIL_FILE_NOT_FOUND;
    // A block skipped at the nesting limit may have held part of the mesh.
    if (failure.empty() && !MVE_IsDefinitionComplete(root)) failure = "Fail: File is incomplete (nested too deep)!";
    MVE_FreeDefinitionNode(root, 1);
    if (!failure.empty()) return failure;

    try {
        const std::vector<float> &p = lists.Values[MeshLists::kVertices], &n = lists.Values[MeshLists::kNormals],
                                 &t = lists.Values[MeshLists::kTexCoords];
        data.Vertex.assign(p.size() / 3, MVE_MESH_VERTEX{});
        for (size_t k = 0; k < data.Vertex.size(); ++k) {
            MVE_MESH_VERTEX &v = data.Vertex[k];
            v.v4fVertex = {p[3 * k], p[3 * k + 1], p[3 * k + 2], 1.0f};
            if (3 * k + 2 < n.size()) std::memcpy(v.v3fNormal, &n[3 * k], sizeof v.v3fNormal);
            if (2 * k + 1 < t.size()) std::memcpy(v.v2fTexCoord, &t[2 * k], sizeof v.v2fTexCoord);
            const float values[8] = {v.v4fVertex.x, v.v4fVertex.y, v.v4fVertex.z, v.v3fNormal[0],
                                     v.v3fNormal[1], v.v3fNormal[2], v.v2fTexCoord[0], v.v2fTexCoord[1]};
            for (float f : values)
                if (failure.empty() && !std::isfinite(f)) failure = "Fail: Vertex " + std::to_string(k) + " is not finite!";
        }
        for (auto &list : lists.Values) std::vector<float>().swap(list);
        data.Index = std::move(lists.Faces);
    } catch (const std::bad_alloc &) {
        failure = MVE_FAIL_OUT_OF_MEMORY;
    }
    if (failure.empty() && data.Index.empty()) failure = "Fail: Mesh without a single triangle!";
    // A corner outside the vertices would send the GPU and the physics outside the arrays.
    for (size_t i = 0; failure.empty() && i < data.Index.size(); ++i)
        if (data.Index[i] < 0 || static_cast<size_t>(data.Index[i]) >= data.Vertex.size())
            failure = "Fail: Face " + std::to_string(i / 3) + ": index " + std::to_string(data.Index[i]) +
                      " out of range!";
    return failure;
}

int ReloadMeshFile(int handle, const std::string &path);

void BindMeshFile(MVE_ReloadScope &scope, int handle, const std::string &path) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_MESH;
    target.iHandle = handle;
    if (const MVE_MESH *mesh = MVE_GetMesh(handle)) target.sName = mesh->sName;
    scope.Bind(target, [handle, path = MVE_ReloadPath(path)] { return ReloadMeshFile(handle, path); });
}

int ReloadMeshFile(int handle, const std::string &path) {
    MVE_ReloadScope scope;
    MVE_MESH data;
    const std::string failure = ReadMeshFile(path, data);
    if (!failure.empty()) {
        MVE_LogFail(failure, "MVE_LoadMesh");
        return 0;
    }
    if (!MVE_ReplaceMeshData(handle, std::move(data), "MVE_LoadMesh")) return 0;
    BindMeshFile(scope, handle, path);
    return 1;
}

}  // namespace

extern "C" int MVE_LoadMesh(int id, const char *file, const char *name, int) {
    static const char *kProcedure = "MVE_LoadMesh";
    const std::string path = file ? file : "";
    MVE_ReloadScope scope;
    MVE_MESH data;
    const std::string failure = ReadMeshFile(path, data);
    MVE_LogHeading("Load Mesh: " + path, __LINE__, __FILE__, kProcedure);
    const int handle = MVE_CompleteMeshLoad(failure, id, name, file, std::move(data), kProcedure);
    if (handle) BindMeshFile(scope, handle, path);
    return handle;
}
