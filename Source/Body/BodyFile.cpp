// The ".mvb" body loader: a "Body" section with vertex, edge and face lists in the definition syntax.
// Main thread only. A file is checked whole before anything is registered: an index outside the
// vertices is refused, because the physics thread indexes the arrays without checks.
#include "Body/Body.h"
#include "Core/Engine.h"
#include "Definition/Definition.h"
#include "Log/Log.h"
#include "Object/Object.h"
#include "Physics/Physics.h"
#include "Reload/Reload.h"
#include <cmath>
#include <memory>
#include <new>
#include <string>

namespace {

const char *const kProcedure = "MVE_LoadBody";

// The entries of a direct list key; a missing key is an empty list, never a count without an array.
template <class F> void ReadEntries(MVE_DEFINITION_NODE *section, const char *path, F &&read) {
    MVE_DEFINITION_NODE *list = MVE_FindDefinitionNode(section, path, "", 0);
    if (!list) return;
    const int count = MVE_CountDefinitionNodes(list, "");
    int i = 0;
    for (MVE_DEFINITION_NODE *entry = MVE_GetDefinitionNode(list, 0); entry && i < count;
         entry = MVE_NextDefinitionNode(entry), ++i)
        read(entry);
}

int ReadIndex(MVE_DEFINITION_NODE *entry, int item) {
    return MVE_ReadDefinitionInteger(MVE_GetDefinitionNode(entry, item), 0);
}

bool Inside(int index, size_t vertices) { return index >= 0 && static_cast<size_t>(index) < vertices; }

std::string Outside(size_t vertices) {
    if (vertices == 0) return "names a vertex, but the body has no vertices!";
    return "names a vertex outside 0.." + std::to_string(vertices - 1) + "!";
}

// Names the first problem of the mesh, or returns an empty text when every entry is usable.
std::string Check(const MVE_BODY_MESH &mesh) {
    const size_t n = mesh.Vertex.size();
    for (size_t i = 0; i < n; ++i) {
        const v4f &v = mesh.Vertex[i];
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            return "Fail: Vertex " + std::to_string(i) + " is not a finite point!";
    }
    for (size_t i = 0; i < mesh.Edge.size(); ++i) {
        const MVE_BODY_EDGE &e = mesh.Edge[i];
        if (!Inside(e.a, n) || !Inside(e.b, n))
            return "Fail: Edge " + std::to_string(i) + " (" + std::to_string(e.a) + ", " + std::to_string(e.b) +
                   ") " + Outside(n);
    }
    for (size_t i = 0; i < mesh.Face.size(); ++i) {
        const MVE_BODY_FACE &f = mesh.Face[i];
        if (!Inside(f.a, n) || !Inside(f.b, n) || !Inside(f.c, n))
            return "Fail: Face " + std::to_string(i) + " (" + std::to_string(f.a) + ", " + std::to_string(f.b) +
                   ", " + std::to_string(f.c) + ") " + Outside(n);
    }
    return "";
}

std::string FilePart(const std::string &path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads a ".mvb" file into a checked mesh with its face normals; the failure row's text when it cannot.
std::string ReadBodyFile(const std::string &path, std::unique_ptr<MVE_BODY_MESH> &out) {
    MVE_DEFINITION_NODE *root = nullptr;
    try {
        root = MVE_ReadDefinitionFile(path.c_str(), nullptr, MVE_FILE_BODY);
    } catch (const std::bad_alloc &) {
        MVE_Engine().Definition.sLastFailure = MVE_FAIL_OUT_OF_MEMORY;
    }
    MVE_DEFINITION_NODE *section = MVE_FindDefinitionNode(root, "Body", "", 0);
    // A block skipped at the nesting limit may have held part of the body.
    if (!section || !MVE_IsDefinitionComplete(root)) {
        const std::string why = !root ? MVE_Engine().Definition.sLastFailure
                                : section ? "Fail: File is incomplete (nested too deep)!" : MVE_FAIL_BODY_FILE;
        MVE_FreeDefinitionNode(root, 1);
        return why;
    }

    auto mesh = std::make_unique<MVE_BODY_MESH>();
    ReadEntries(section, "\\Vertices", [&](MVE_DEFINITION_NODE *entry) {
        v4f v = {0, 0, 0, 1};
        MVE_ReadDefinitionVector(entry, &v, 0, 0, 0, MVE_IGNORE_F);
        v.w = 1.0f;
        mesh->Vertex.push_back(v);
    });
    ReadEntries(section, "\\Edges", [&](MVE_DEFINITION_NODE *entry) {
        mesh->Edge.push_back({ReadIndex(entry, 0), ReadIndex(entry, 1)});
    });
    ReadEntries(section, "\\Faces", [&](MVE_DEFINITION_NODE *entry) {
        mesh->Face.push_back({ReadIndex(entry, 0), ReadIndex(entry, 1), ReadIndex(entry, 2), {0, 0, 0, 0}});
    });
    MVE_FreeDefinitionNode(root, 1);

    const std::string problem = Check(*mesh);
    if (!problem.empty()) return problem;
    mesh->iMaxVertex = static_cast<int>(mesh->Vertex.size()) - 1;
    mesh->iMaxEdge = static_cast<int>(mesh->Edge.size()) - 1;
    mesh->iMaxFace = static_cast<int>(mesh->Face.size()) - 1;
    MVE_ComputeFaceNormals(mesh.get());
    out = std::move(mesh);
    return std::string();
}

MVE_BODY_NODE *NodeAround(std::unique_ptr<MVE_BODY_MESH> mesh) {
    MVE_BODY_NODE *node = new MVE_BODY_NODE;
    MVE_BoundBodyMesh(mesh.get(), node);
    node->Mesh = mesh.release();
    return node;
}

int ReloadBodyFile(int handle, const std::string &path);

void BindBodyFile(MVE_ReloadScope &scope, int handle, const std::string &path, const std::string &name) {
    MVE_RELOAD_TARGET target;
    target.iKind = MVE_RELOAD_BODY;
    target.iHandle = handle;
    target.sName = name;
    scope.Bind(target, [handle, path = MVE_ReloadPath(path)] { return ReloadBodyFile(handle, path); });
}

// The file again; only a whole, checked shape takes the old one's place, under the physics lock, and
// the objects using the body get the inertia of the new shape.
int ReloadBodyFile(int handle, const std::string &path) {
    MVE_ReloadScope scope;
    std::unique_ptr<MVE_BODY_MESH> mesh;
    std::string failure;
    try {
        failure = ReadBodyFile(path, mesh);
    } catch (const std::bad_alloc &) {
        failure = MVE_FAIL_OUT_OF_MEMORY;
    }
    if (!failure.empty()) {
        MVE_LogFail(failure, kProcedure);
        return 0;
    }
    MVE_BODY *body = MVE_GetBody(handle);
    if (!body) return 0;
    MVE_BODY_NODE *node = NodeAround(std::move(mesh));
    MVE_BODY_NODE *old = nullptr;
    {
        MVE_PhysicsGuard guard(MVE_Engine().Physics.Lock);
        old = body->Node;
        body->Node = node;
        body->iType = MVE_SHAPE_MESH;
        MVE_RefreshBodyUsers(body);
    }
    // Nothing reaches the old tree any more: the physics thread reads bodies only under the lock.
    MVE_FreeBodyNode(old);
    BindBodyFile(scope, handle, path, body->sName);
    return 1;
}

}  // namespace

extern "C" int MVE_LoadBody(int id, const char *file, const char *name) {
    const std::string path = file ? file : "";
    MVE_LogHeading("Load Body: " + path, __LINE__, __FILE__, kProcedure);
    MVE_ReloadScope scope;
    std::unique_ptr<MVE_BODY_MESH> mesh;
    const std::string failure = ReadBodyFile(path, mesh);
    if (!failure.empty()) {
        MVE_LogFail(failure, kProcedure);
        return 0;
    }
    const int vertices = mesh->iMaxVertex + 1, edges = mesh->iMaxEdge + 1, faces = mesh->iMaxFace + 1;
    const std::string key = (name && *name) ? std::string(name) : FilePart(path);
    int requested = id;
    MVE_BODY *body = MVE_CreateBodyListEntry(&requested, key.c_str());
    if (!body) return 0;
    body->iType = MVE_SHAPE_MESH;
    body->Node = NodeAround(std::move(mesh));
    MVE_LogDetail("Vertices: ", vertices, kProcedure);
    MVE_LogDetail("Edges: ", edges, kProcedure);
    MVE_LogDetail("Faces: ", faces, kProcedure);
    MVE_LogOK(kProcedure);
    const int handle = MVE_HandleOf(body);
    BindBodyFile(scope, handle, path, body->sName);
    return handle;
}
