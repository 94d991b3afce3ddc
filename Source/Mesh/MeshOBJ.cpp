// Wavefront OBJ import: positions, texture coordinates, normals, groups and polygon faces (fanned
// into triangles, every corner its own vertex). Main thread only. The file is streamed in chunks
// twice: a quick count sizes every array exactly, the parse then writes vertices straight into
// them, so loading never holds much more than the finished mesh; only regular files are read (a
// pipe could not be read twice). A bad face index, a malformed or non-finite number, binary data
// or an overlong line rejects the whole file with the line number, and so does a file without a
// single triangle; nothing is registered then.
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Mesh/Mesh.h"
#include "Reload/Reload.h"
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
inline bool BlankAt(const char *p, const char *end) { return p == end || IsBlank(*p); }
inline bool EndsField(const char *p, const char *end) { return p == end || IsBlank(*p) || *p == '#'; }
inline const char *SkipBlanks(const char *p, const char *end) {
    while (p < end && IsBlank(*p)) ++p;
    return p;
}

// Streams a file line by line through a buffer of at least one chunk; a longer line grows it, up
// to the longest line a file may hold. Calls visit(begin, end) for every line without its '\n';
// visit returns false to stop. Returns 1 when done, 0 on a read error, -1 at an overlong line.
template <class Visit> int ForEachLine(FILE *file, std::vector<char> &buffer, Visit &&visit) {
    constexpr size_t kChunk = size_t(1) << 20;
    if (buffer.size() < kChunk) buffer.resize(kChunk);
    std::rewind(file);
    size_t held = 0;
    bool first = true;
    for (;;) {
        if (held == buffer.size()) {
            if (held >= static_cast<size_t>(MVE_DEFINITION_MAX_LINE)) return -1;
            buffer.resize(buffer.size() * 2);
        }
        const size_t got = std::fread(buffer.data() + held, 1, buffer.size() - held, file);
        const char *p = buffer.data(), *end = buffer.data() + held + got;
        if (first && got >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;  // UTF-8 byte-order mark
        first = false;
        if (got == 0) {
            if (std::ferror(file)) return 0;
            if (held) visit(p, end);  // last line without a line end
            return 1;
        }
        while (const char *eol = static_cast<const char *>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) {
            if (!visit(p, eol)) return 1;
            p = eol + 1;
        }
        held = static_cast<size_t>(end - p);
        std::memmove(buffer.data(), p, held);
    }
}

struct Counts {
    size_t iPositions = 0, iTexCoords = 0, iNormals = 0, iCorners = 0, iTriangles = 0;
    size_t iBadLine = 0;  // first line holding a NUL byte
    size_t iLines = 0;    // lines seen (the next one is the overlong one when counting stops there)
};

// Reference to an element that is defined further down the file: resolved once all are read.
struct ForwardCorner {
    size_t iVertex;
    int64_t iPosition, iTexCoord, iNormal;  // 0-based, -1 missing
    size_t iLine;
};

class Parser {
  public:
    Parser(MVE_MESH &mesh, const Counts &counts) : mesh_(mesh), counts_(counts) {}

    // Parses one line; false with Error() set when the file must be rejected.
    bool Line(const char *p, const char *end) {
        ++line_;
        p = SkipBlanks(p, end);
        if (p == end) return true;
        switch (*p) {
        case 'v':
            if (BlankAt(p + 1, end)) return Position(p + 1, end);
            if (p + 1 < end && p[1] == 't' && BlankAt(p + 2, end)) return TexCoord(p + 2, end);
            if (p + 1 < end && p[1] == 'n' && BlankAt(p + 2, end)) return Normal(p + 2, end);
            return true;
        case 'f':
            if (BlankAt(p + 1, end)) return Face(p + 1, end);
            return true;
        case 'g':
            if (BlankAt(p + 1, end)) Group(p + 1, end);
            return true;
        default:
            return true;  // comments, o, s, usemtl, mtllib, l, p and anything else
        }
    }

    bool Finish() {
        for (const ForwardCorner &f : forward_) {
            line_ = f.iLine;
            if (!InRange(f.iPosition, positions_.size() / 3, false) || !InRange(f.iTexCoord, texCoords_.size() / 2, true) ||
                !InRange(f.iNormal, normals_.size() / 3, true))
                return Fail("face index out of range");
            Fill(mesh_.Vertex[f.iVertex], f.iPosition, f.iTexCoord, f.iNormal);
        }
        return true;
    }

    bool Reserve() {
        try {
            positions_.reserve(counts_.iPositions * 3);
            texCoords_.reserve(counts_.iTexCoords * 2);
            normals_.reserve(counts_.iNormals * 3);
            mesh_.Vertex.reserve(counts_.iCorners);
            mesh_.Index.reserve(counts_.iTriangles * 3);
        } catch (const std::bad_alloc &) {
            return false;
        } catch (const std::length_error &) {
            return false;
        }
        return true;
    }

    size_t LineNumber() const { return line_; }
    const std::string &Error() const { return error_; }

  private:
    bool Fail(const char *reason) {
        error_ = "Fail: Line " + std::to_string(line_) + ": " + reason + "!";
        return false;
    }

    // A float field: false when missing (*missing set) or malformed.
    bool Number(const char *&p, const char *end, float &out, bool *missing = nullptr) {
        p = SkipBlanks(p, end);
        if (p == end || *p == '#') {
            if (missing) *missing = true;
            return false;
        }
        const char *s = p + (*p == '+' ? 1 : 0);
        auto result = std::from_chars(s, end, out);
        if (result.ec == std::errc::invalid_argument || !EndsField(result.ptr, end)) return false;
        if (result.ec == std::errc::result_out_of_range) {  // very large or tiny: saturate like strtof
            std::string text(s, result.ptr);
            out = std::strtof(text.c_str(), nullptr);
        }
        p = result.ptr;
        return true;
    }

    bool Numbers(const char *p, const char *end, float *out, int required) {
        for (int k = 0; k < required; ++k)
            if (!Number(p, end, out[k])) return Fail("bad number");
        return true;  // further values (w, vertex colours) are not used
    }

    // Infinite or NaN coordinates would reach the GPU and the physics: refused like a bad number.
    bool Finite(const float *v, int n) {
        for (int k = 0; k < n; ++k)
            if (!std::isfinite(v[k])) return Fail("not a finite number");
        return true;
    }

    bool Position(const char *p, const char *end) {
        float v[3];
        if (!Numbers(p, end, v, 3) || !Finite(v, 3)) return false;
        positions_.insert(positions_.end(), v, v + 3);
        return true;
    }

    bool Normal(const char *p, const char *end) {
        float v[3];
        if (!Numbers(p, end, v, 3) || !Finite(v, 3)) return false;
        normals_.insert(normals_.end(), v, v + 3);
        return true;
    }

    bool TexCoord(const char *p, const char *end) {
        float u = 0.0f, v = 0.0f;
        bool missing = false;
        if (!Number(p, end, u)) return Fail("bad number");
        if (!Number(p, end, v, &missing) && !missing) return Fail("bad number");
        const float uv[2] = {u, v};
        if (!Finite(uv, 2)) return false;
        texCoords_.push_back(u);
        texCoords_.push_back(-v);  // OBJ counts v from the bottom, the engine from the top
        return true;
    }

    void Group(const char *p, const char *end) {
        p = SkipBlanks(p, end);
        const char *stop = p;
        while (stop < end && *stop != '#') ++stop;
        while (stop > p && IsBlank(stop[-1])) --stop;
        end = stop;
        group_ = MVE_AddMeshGroup(&mesh_, std::string(p, end).c_str());
    }

    // An index as written: 0 when not a number (0 is never valid in OBJ, so it rejects alike).
    static int64_t Integer(const char *&p, const char *end) {
        bool negative = false;
        if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
        int64_t value = 0;
        const char *digits = p;
        while (p < end && *p >= '0' && *p <= '9' && p - digits < 12) value = value * 10 + (*p++ - '0');
        if (p == digits || (p < end && *p >= '0' && *p <= '9')) return 0;
        return negative ? -value : value;
    }

    // 1-based or relative index to 0-based; -2 when it cannot be valid.
    static int64_t Resolve(int64_t raw, size_t defined) {
        if (raw > 0) return raw - 1;
        if (raw < 0 && static_cast<int64_t>(defined) + raw >= 0) return static_cast<int64_t>(defined) + raw;
        return -2;
    }

    static bool InRange(int64_t index, size_t size, bool optional) {
        return (optional && index == -1) || (index >= 0 && static_cast<size_t>(index) < size);
    }

    void Fill(MVE_MESH_VERTEX &v, int64_t p, int64_t t, int64_t n) const {
        const float *pos = &positions_[static_cast<size_t>(p) * 3];
        v.v4fVertex = {pos[0], pos[1], pos[2], 1.0f};
        if (n >= 0) std::memcpy(v.v3fNormal, &normals_[static_cast<size_t>(n) * 3], sizeof v.v3fNormal);
        if (t >= 0) std::memcpy(v.v2fTexCoord, &texCoords_[static_cast<size_t>(t) * 2], sizeof v.v2fTexCoord);
    }

    bool Face(const char *p, const char *end) {
        const size_t first = mesh_.Vertex.size();
        size_t corners = 0;
        for (;;) {
            p = SkipBlanks(p, end);
            if (p == end || *p == '#') break;
            int64_t raw[3] = {Integer(p, end), 0, 0};
            bool present[3] = {true, false, false};
            for (int part = 1; part < 3 && p < end && *p == '/'; ++part) {
                ++p;
                if (!EndsField(p, end) && *p != '/') {
                    raw[part] = Integer(p, end);
                    present[part] = true;
                }
            }
            if (!EndsField(p, end)) return Fail("bad face index");
            const size_t defined[3] = {positions_.size() / 3, texCoords_.size() / 2, normals_.size() / 3};
            const size_t total[3] = {counts_.iPositions, counts_.iTexCoords, counts_.iNormals};
            int64_t index[3] = {-1, -1, -1};
            bool forward = false;
            for (int part = 0; part < 3; ++part) {
                if (!present[part]) continue;
                if (raw[part] == 0) return Fail("bad face index");
                index[part] = Resolve(raw[part], defined[part]);
                if (index[part] < 0 || static_cast<size_t>(index[part]) >= total[part])
                    return Fail("face index out of range");
                forward |= static_cast<size_t>(index[part]) >= defined[part];
            }
            MVE_MESH_VERTEX v{};
            v.iGroup = group_ < 0 ? 0 : group_;
            if (forward)
                forward_.push_back({mesh_.Vertex.size(), index[0], index[1], index[2], line_});
            else
                Fill(v, index[0], index[1], index[2]);
            if (mesh_.Vertex.size() >= static_cast<size_t>(INT32_MAX)) return Fail("too many vertices");
            mesh_.Vertex.push_back(v);
            if (++corners >= 3) {
                const int32_t a = static_cast<int32_t>(first), c = static_cast<int32_t>(mesh_.Vertex.size() - 1);
                mesh_.Index.insert(mesh_.Index.end(), {a, c - 1, c});
            }
        }
        if (corners < 3) return Fail("face needs three corners");
        return true;
    }

    MVE_MESH &mesh_;
    const Counts &counts_;
    std::vector<float> positions_, texCoords_, normals_;
    std::vector<ForwardCorner> forward_;
    int group_ = -1;
    size_t line_ = 0;
    std::string error_;
};

// First pass: how many elements of each kind, so the parse never reallocates.
int Count(FILE *file, std::vector<char> &buffer, Counts &counts) {
    size_t &line = counts.iLines;
    return ForEachLine(file, buffer, [&](const char *p, const char *end) {
        ++line;
        if (std::memchr(p, 0, static_cast<size_t>(end - p))) {
            counts.iBadLine = line;
            return false;
        }
        p = SkipBlanks(p, end);
        if (p == end) return true;
        if (*p == 'v') {
            if (BlankAt(p + 1, end)) ++counts.iPositions;
            else if (p[1] == 't' && BlankAt(p + 2, end)) ++counts.iTexCoords;
            else if (p[1] == 'n' && BlankAt(p + 2, end)) ++counts.iNormals;
        } else if (*p == 'f' && BlankAt(p + 1, end)) {
            size_t corners = 0;
            for (++p;;) {
                p = SkipBlanks(p, end);
                if (p == end || *p == '#') break;
                ++corners;
                while (p < end && !IsBlank(*p)) ++p;
            }
            counts.iCorners += corners;
            if (corners >= 3) counts.iTriangles += corners - 2;
        }
        return true;
    });
}

}  // namespace

namespace {

// Reads an OBJ file into `data` (not registered). The failure row's text, empty when it is usable.
std::string ReadOBJFile(const char *file, MVE_MESH &data) {
    // Regular files only: the counting pass rewinds, and a FIFO or device would block or never end.
    std::string failure;
    FILE *in = MVE_OpenRegularFile(file, MVE_FILE_OBJ, failure);
    if (!in) return failure;
    try {
        std::vector<char> buffer;
        Counts counts;
        Parser parser(data, counts);
        const int counted = Count(in, buffer, counts);
        if (counted == 0)
            failure = "Fail: File cannot be read!";
        else if (counted < 0)
            failure = "Fail: Line " + std::to_string(counts.iLines + 1) + ": longer than 16 MB!";
        else if (counts.iBadLine)
            failure = "Fail: Line " + std::to_string(counts.iBadLine) + ": not an OBJ text file!";
        else if (counts.iCorners > static_cast<size_t>(INT32_MAX) || counts.iTriangles > static_cast<size_t>(INT32_MAX / 3))
            failure = MVE_FAIL_COUNT;
        else if (!parser.Reserve())
            failure = MVE_FAIL_OUT_OF_MEMORY;
        else if (ForEachLine(in, buffer, [&](const char *p, const char *end) { return parser.Line(p, end); }) != 1)
            failure = "Fail: File cannot be read!";   // the file changed between the passes
        else if (!parser.Error().empty() || !parser.Finish())
            failure = parser.Error();
        else if (data.Index.empty())
            failure = "Fail: Mesh without a single triangle!";
    } catch (const std::bad_alloc &) {
        failure = MVE_FAIL_OUT_OF_MEMORY;
    }
    std::fclose(in);
    return failure;
}

int ReloadOBJFile(int handle, const std::string &path);

void BindOBJFile(MVE_ReloadScope &scope, int handle, const std::string &path) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_MESH;
    target.iHandle = handle;
    if (const MVE_MESH *mesh = MVE_GetMesh(handle)) target.sName = mesh->sName;
    scope.Bind(target, [handle, path = MVE_ReloadPath(path)] { return ReloadOBJFile(handle, path); });
}

int ReloadOBJFile(int handle, const std::string &path) {
    MVE_ReloadScope scope;
    MVE_MESH data;
    const std::string failure = ReadOBJFile(path.c_str(), data);
    if (!failure.empty()) {
        MVE_LogFail(failure, "MVE_LoadOBJMesh");
        return 0;
    }
    if (!MVE_ReplaceMeshData(handle, std::move(data), "MVE_LoadOBJMesh")) return 0;
    BindOBJFile(scope, handle, path);
    return 1;
}

}  // namespace

extern "C" int MVE_LoadOBJMesh(int id, const char *file, const char *name) {
    static const char *kProcedure = "MVE_LoadOBJMesh";
    MVE_LogHeading(std::string("Load OBJ Mesh: ") + (file ? file : ""), __LINE__, __FILE__, kProcedure);
    // Refuse a forbidden ID before reading: the registry writes its own row.
    if (id != MVE_ID_AUTO && MVE_IsAutomaticID(id)) {
        std::string failure;
        if (FILE *in = MVE_OpenRegularFile(file, MVE_FILE_OBJ, failure)) {
            std::fclose(in);
            int probe = id;
            MVE_CreateMeshListEntry(&probe, nullptr);
        } else {
            MVE_LogFail(failure, kProcedure);
        }
        return 0;
    }
    MVE_ReloadScope scope;
    MVE_MESH data;
    const std::string failure = ReadOBJFile(file, data);
    const int handle = MVE_CompleteMeshLoad(failure, id, name, file, std::move(data), kProcedure);
    if (handle) BindOBJFile(scope, handle, file ? file : "");
    return handle;
}
