// The engine's own mesh files (".mvm"): the text writer. Main thread only. The writer produces the
// one canonical layout byte for byte; it never leaves a half-written file in place of a good one.
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Mesh/Mesh.h"
#include <charconv>
#include <cstdio>
#include <cstring>
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
    if (!mesh) return 0;
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
