// The engine's own mesh files (".mvm"): the loader and the text writer. Main thread only. The loader
// checks a file whole before registering anything (an index outside the vertices is refused) and
// frees the parsed tree on every path; the writer produces the one canonical layout byte for byte
// and never leaves a half-written file in place of a good one.
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Mesh/Mesh.h"
#include <charconv>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

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

// Calls read(entry, k) for the first limit entries of a direct block of the section.
template <class F> void ReadEntries(MVE_DEFINITION_NODE *section, const char *path, size_t limit, F &&read) {
    MVE_DEFINITION_NODE *block = MVE_FindDefinitionNode(section, path, "", 0);
    size_t k = 0;
    for (MVE_DEFINITION_NODE *entry = MVE_GetDefinitionNode(block, 0); entry && k < limit;
         entry = MVE_NextDefinitionNode(entry), ++k)
        read(entry, k);
}

float Item(MVE_DEFINITION_NODE *entry, int item) {
    return MVE_ReadDefinitionFloat(MVE_GetDefinitionNode(entry, item), 0.0f);
}

}  // namespace

extern "C" int MVE_LoadMesh(int id, const char *file, const char *name, int) {
    static const char *kProcedure = "MVE_LoadMesh";
    const std::string path = file ? file : "";
    MVE_DEFINITION_NODE *root = path.empty() ? nullptr : MVE_ReadDefinitionFile(path.c_str());
    MVE_LogHeading("Load Mesh: " + path, __LINE__, __FILE__, kProcedure);
    MVE_DEFINITION_NODE *section = MVE_FindDefinitionNode(root, "Mesh", "", 0);
    if (!section) {
        if (root) MVE_FreeDefinitionNode(root, 1);
        MVE_LogFail(MVE_FAIL_FILE_NOT_FOUND, kProcedure);
        return 0;
    }

    MVE_MESH data;
    std::string failure;
    try {
        const int vertices = MVE_CountDefinitionNodes(MVE_FindDefinitionNode(section, "\\Vertices", "", 0), "");
        data.Vertex.assign(static_cast<size_t>(vertices), MVE_MESH_VERTEX{});
        ReadEntries(section, "\\Vertices", data.Vertex.size(), [&](MVE_DEFINITION_NODE *entry, size_t k) {
            v4f &p = data.Vertex[k].v4fVertex;
            MVE_ReadDefinitionVector(entry, &p, 0, 0, 0, MVE_IGNORE_F);
            p.w = 1.0f;
        });
        ReadEntries(section, "\\Normals", data.Vertex.size(), [&](MVE_DEFINITION_NODE *entry, size_t k) {
            v4f n = {0, 0, 0, 0};
            MVE_ReadDefinitionVector(entry, &n, 0, 0, 0, MVE_IGNORE_F);
            float *out = data.Vertex[k].v3fNormal;
            out[0] = n.x, out[1] = n.y, out[2] = n.z;
        });
        ReadEntries(section, "\\TextureCoords", data.Vertex.size(), [&](MVE_DEFINITION_NODE *entry, size_t k) {
            data.Vertex[k].v2fTexCoord[0] = Item(entry, 0);
            data.Vertex[k].v2fTexCoord[1] = Item(entry, 1);
        });
        const int triangles = MVE_CountDefinitionNodes(MVE_FindDefinitionNode(section, "\\Faces", "", 0), "");
        data.Index.assign(static_cast<size_t>(triangles) * 3, 0);
        ReadEntries(section, "\\Faces", static_cast<size_t>(triangles), [&](MVE_DEFINITION_NODE *entry, size_t k) {
            for (int c = 0; c < 3; ++c)
                data.Index[3 * k + static_cast<size_t>(c)] = MVE_ReadDefinitionInteger(MVE_GetDefinitionNode(entry, c), 0);
        });
    } catch (const std::bad_alloc &) {
        failure = MVE_FAIL_OUT_OF_MEMORY;
    }
    MVE_FreeDefinitionNode(root, 1);
    // A corner outside the vertices would send the GPU and the physics outside the arrays.
    for (size_t i = 0; failure.empty() && i < data.Index.size(); ++i)
        if (data.Index[i] < 0 || static_cast<size_t>(data.Index[i]) >= data.Vertex.size())
            failure = "Fail: Face " + std::to_string(i / 3) + ": index " + std::to_string(data.Index[i]) +
                      " out of range!";
    return MVE_CompleteMeshLoad(failure, id, name, file, std::move(data), kProcedure);
}
