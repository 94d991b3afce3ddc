// Particle emitters: creation, copying, the per-frame spawn/advance step and the
// uploads of the four instance arrays. The emitter list is guarded by the particle lock; GL calls
// are made only while a context is loaded, so emitters can be built and advanced without one.
#include "Particles/Particles.h"
#include "Core/Engine.h"
#include "Log/Log.h"
#include "Material/Material.h"
#include "Render/Render.h"
#include "Shader/Shader.h"
#include "Texture/Texture.h"
#include <vector>
#include <cfenv>
#include <cmath>
#include <string>

namespace {

constexpr const char *kLoadDefinition = "MVE_LoadParticleEmitterDefinition";
constexpr float kPi = 3.14159265358979323846f;
constexpr float kDegrees = kPi / 180.0f;

using Guard = std::lock_guard<std::recursive_mutex>;
std::recursive_mutex &Lock() { return MVE_Engine().Particles.Lock; }

// Nearest integer, ties to even, whatever rounding mode the caller left behind.
double RoundEven(double value) {
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff > 0.5) return floor + 1.0;
    if (diff < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

// Integer millisecond times stay in range even for absurd inputs.
int ClampToInt(double value) {
    if (!(value == value)) return 0;
    if (value > 2147483647.0) return 2147483647;
    if (value < -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(value);
}

inline float FromRange(const float range[2]) { return MVE_RandomFloat(range[1], range[0]); }

inline v4f Transform(const m4f &m, const v4f &v) {
    return {m.m[0] * v.x + m.m[4] * v.y + m.m[8] * v.z + m.m[12] * v.w,
            m.m[1] * v.x + m.m[5] * v.y + m.m[9] * v.z + m.m[13] * v.w,
            m.m[2] * v.x + m.m[6] * v.y + m.m[10] * v.z + m.m[14] * v.w,
            m.m[3] * v.x + m.m[7] * v.y + m.m[11] * v.z + m.m[15] * v.w};
}

MVE_MATERIAL *EmitterMaterial(MVE_PARTICLE_EMITTER *e) {
    e->Material = e->iMaterial ? MVE_GetMaterial(e->iMaterial) : nullptr;
    return e->Material;
}

// World matrix from position and rotation quaternion.
void UpdateTransform(MVE_PARTICLE_EMITTER *e) {
    MVE_m4fFromQuaternion(&e->v4fRotation, &e->mMatrix);
    e->mMatrix.m[12] = e->v4fPosition.x;
    e->mMatrix.m[13] = e->v4fPosition.y;
    e->mMatrix.m[14] = e->v4fPosition.z;
    e->mMatrix.m[15] = 1.0f;
    e->pMatrix = &e->mMatrix;
    e->pRotation = &e->v4fRotation;
}

void DeleteGLObjects(MVE_PARTICLE_EMITTER *e) {
    if (!MVE_TexturesReady()) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    unsigned int buffers[5] = {e->iQuadBuffer, e->iPositionBuffer, e->iSizeBuffer, e->iRotationBuffer, e->iColorBuffer};
    for (unsigned int b : buffers)
        if (b) gl.glDeleteBuffers(1, &b);
    if (e->iVertexArray) gl.glDeleteVertexArrays(1, &e->iVertexArray);
    e->iQuadBuffer = e->iPositionBuffer = e->iSizeBuffer = e->iRotationBuffer = e->iColorBuffer = 0;
    e->iVertexArray = 0;
    e->iBufferCapacity = 0;
}

}  // namespace

unsigned int MVE_CreateQuadBuffer(const float quad[4][10]) {
    const MVE_GL_TABLE &gl = MVE_gl();
    GLuint buffer = 0;
    gl.glGenBuffers(1, &buffer);
    gl.glBindBuffer(GL_ARRAY_BUFFER, buffer);
    gl.glBufferData(GL_ARRAY_BUFFER, sizeof(float) * 40, quad, GL_STATIC_DRAW);
    const GLsizei stride = 10 * sizeof(float);
    static const struct { GLuint attribute; GLint size; size_t offset; } kParts[] = {{0, 4, 0}, {1, 4, 4}, {2, 2, 8}};
    for (const auto &part : kParts) {
        gl.glEnableVertexAttribArray(part.attribute);
        gl.glVertexAttribPointer(part.attribute, part.size, GL_FLOAT, GL_FALSE, stride,
                                 reinterpret_cast<void *>(part.offset * sizeof(float)));
    }
    return buffer;
}

namespace {

// The vertex array: the unit quad (mesh vertex layout) and the four per-instance streams.
void CreateGLObjects(MVE_PARTICLE_EMITTER *e) {
    if (!MVE_TexturesReady() || e->iVertexArray) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    gl.glGenVertexArrays(1, &e->iVertexArray);
    gl.glBindVertexArray(e->iVertexArray);
    // position (4), normal (4), texture coordinates (2): enough for the particle programs.
    const float quad[4][10] = {
        {-0.5f, -0.5f, 0, 1, 0, 0, 1, 0, 0, 0},
        {0.5f, -0.5f, 0, 1, 0, 0, 1, 0, 0, 1},
        {-0.5f, 0.5f, 0, 1, 0, 0, 1, 0, 1, 0},
        {0.5f, 0.5f, 0, 1, 0, 0, 1, 0, 1, 1},
    };
    e->iQuadBuffer = MVE_CreateQuadBuffer(quad);
    struct Stream { unsigned int *buffer; GLuint attribute; GLint size; };
    Stream streams[4] = {{&e->iPositionBuffer, 7, 4}, {&e->iSizeBuffer, 8, 1}, {&e->iRotationBuffer, 9, 1}, {&e->iColorBuffer, 4, 4}};
    for (Stream &s : streams) {
        gl.glGenBuffers(1, s.buffer);
        gl.glBindBuffer(GL_ARRAY_BUFFER, *s.buffer);
        gl.glEnableVertexAttribArray(s.attribute);
        gl.glVertexAttribPointer(s.attribute, s.size, GL_FLOAT, GL_FALSE, 0, nullptr);
        gl.glVertexAttribDivisor(s.attribute, 1);
    }
    gl.glBindVertexArray(0);
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
}

// Stream buffers sized for the capacity; allocated once per capacity.
void SizeGLBuffers(MVE_PARTICLE_EMITTER *e) {
    if (!MVE_TexturesReady()) return;
    CreateGLObjects(e);
    const int entries = e->iMaxParticles + 1;
    if (e->iBufferCapacity == entries) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    struct Stream { unsigned int buffer; size_t bytes; };
    Stream streams[4] = {{e->iPositionBuffer, 16}, {e->iSizeBuffer, 4}, {e->iRotationBuffer, 4}, {e->iColorBuffer, 16}};
    for (Stream &s : streams) {
        gl.glBindBuffer(GL_ARRAY_BUFFER, s.buffer);
        gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.bytes * entries), nullptr, GL_STREAM_DRAW);
    }
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    e->iBufferCapacity = entries;
}

// Rotation of the emission cone: with angle 0 the particle leaves along +Z.
m4f ConeRotation(float angle) {
    const float t = MVE_RandomFloat(angle, 0.0f);
    float c = (90.0f - t) / 90.0f;
    c = c < -1.0f ? -1.0f : (c > 1.0f ? 1.0f : c);
    const float theta = std::acos(c);
    const float phi = MVE_RandomFloat(2.0f * kPi, 0.0f);
    const float cp = std::cos(phi), sp = std::sin(phi), ct = std::cos(theta), st = std::sin(theta);
    return {{cp, sp, 0, 0, -ct * sp, ct * cp, st, 0, st * sp, -st * cp, ct, 0, 0, 0, 0, 1}};
}

void Spawn(MVE_PARTICLE_EMITTER *e, int count, int now) {
    const MVE_MATERIAL *material = EmitterMaterial(e);
    (void)material;
    for (int k = 0; k < count; ++k) {
        e->Particles.emplace_back();
        MVE_PARTICLE &p = e->Particles.back();
        v4f velocity = {0, 0, FromRange(e->fVelocity), 0};
        v4f position = {0, 0, 0, 1};
        if (e->iArea == MVE_PARTICLE_AREA_BOX) {
            position.x = MVE_RandomFloat(1, -1) * e->v4fSize.x * 0.5f;
            position.y = MVE_RandomFloat(1, -1) * e->v4fSize.y * 0.5f;
            position.z = MVE_RandomFloat(1, -1) * e->v4fSize.z * 0.5f;
        } else if (e->iArea == MVE_PARTICLE_AREA_RING) {
            const float a = MVE_RandomFloat(2.0f * kPi, 0.0f);
            const float rmin = e->fRadius[0], rmax = e->fRadius[1];
            // A ring without an outer radius is a point; never divide by it.
            const float inner = rmax != 0.0f ? rmin / rmax : 1.0f;
            const float r = std::sqrt(std::fabs(MVE_RandomFloat(1.0f, inner))) * rmax;
            position.x = std::cos(a) * r * e->v4fSize.x;
            position.y = std::sin(a) * r * e->v4fSize.y;
            position.z = MVE_RandomFloat(1, -1) * e->v4fSize.z * 0.5f;
        }
        if (e->iMode == MVE_PARTICLE_MODE_LOCAL) position = Transform(e->mMatrix, position);
        velocity = Transform(ConeRotation(e->fAngle), velocity);
        velocity = Transform(e->mDirection, velocity);
        if (e->iMode == MVE_PARTICLE_MODE_LOCAL) velocity = Transform(e->mMatrix, velocity);
        velocity.x += e->v4fMovement.x;
        velocity.y += e->v4fMovement.y;
        velocity.z += e->v4fMovement.z;
        p.v4fPosition = position;
        p.v4fVelocity = velocity;
        p.fSize = FromRange(e->fSize);
        p.fRaise = FromRange(e->fRaise);
        p.fFadeIn = FromRange(e->fFadeIn);
        p.fFadeOut = FromRange(e->fFadeOut);
        p.fIntensity = FromRange(e->fIntensity);
        p.fFade = p.fFadeIn == 0.0f ? p.fIntensity : 0.0f;
        p.iDeath = ClampToInt(RoundEven(static_cast<double>(now) + FromRange(e->fLifeTime)));
        p.v4fColor = e->v4fColor;
        p.v4fColor.w = e->v4fColor.w * p.fFade;
        p.fRotation = FromRange(e->fRotation);
        p.fAngle = FromRange(e->fOrientation);
    }
}

void Advance(MVE_PARTICLE_EMITTER *e, int now, float dt) {
    if (e->iLastEmission == 0) e->iLastEmission = now;
    const double gap = static_cast<double>(now) - e->iLastEmission;
    double spawn = RoundEven(gap * e->fFrequency * 0.001);
    if (!(spawn == spawn) || spawn < 0) spawn = 0;
    if (spawn > 0) e->iLastEmission = ClampToInt(RoundEven(e->iLastEmission + spawn * 1000.0 / e->fFrequency));
    // An emitter never holds more live particles than its capacity: the births that find no room
    // are skipped (their time is spent all the same), so a high frequency, a long life or a long
    // stall costs at most the capacity, never memory without bound.
    double room = static_cast<double>(e->iMaxParticles) - static_cast<double>(e->Particles.size());
    if (spawn > room && e->iEmission) {
        // Those that end in this very step leave first, so that a full emitter renews itself in
        // the frame its particles die rather than one frame later. They would be erased below
        // without a trace either way.
        e->Particles.remove_if([&](const MVE_PARTICLE &p) {
            return now > p.iDeath && (p.fFadeOut == 0.0f || p.fFade - p.fFadeOut * dt <= 0.0f);
        });
        room = static_cast<double>(e->iMaxParticles) - static_cast<double>(e->Particles.size());
    }
    if (spawn > room) spawn = room;
    if (e->iEmission && spawn > 0) Spawn(e, static_cast<int>(spawn), now);
    // Alpha follows the emitter's colour: that is what a particle was born with.
    const float alpha = e->v4fColor.w;
    int i = 0;
    for (auto it = e->Particles.begin(); it != e->Particles.end();) {
        MVE_PARTICLE &p = *it;
        if (now > p.iDeath) {
            if (p.fFadeOut == 0.0f) {
                it = e->Particles.erase(it);
                continue;
            }
            p.fFade -= p.fFadeOut * dt;
            p.v4fColor.w = alpha * p.fFade;
            if (p.fFade <= 0.0f) {
                it = e->Particles.erase(it);
                continue;
            }
        } else if (p.fFadeIn != 0.0f && p.fFade < p.fIntensity) {
            p.fFade += p.fFadeIn * dt;
            if (p.fFade > p.fIntensity) p.fFade = p.fIntensity;
            p.v4fColor.w = alpha * p.fFade;
        }
        if (e->fForce != 0.0f) {
            p.v4fVelocity.x += MVE_RandomFloat(1, -1) * e->fForce * dt;
            p.v4fVelocity.y += MVE_RandomFloat(1, -1) * e->fForce * dt;
            p.v4fVelocity.z += MVE_RandomFloat(1, -1) * e->fForce * dt;
        }
        p.v4fPosition.x += p.v4fVelocity.x * dt;
        p.v4fPosition.y += p.v4fVelocity.y * dt;
        p.v4fPosition.z += p.v4fVelocity.z * dt;
        p.fSize += p.fRaise * dt;
        p.fAngle += p.fRotation * dt;
        if (i < e->iMaxParticles) {
            e->Positions[i] = p.v4fPosition;
            e->Sizes[i] = p.fSize;
            e->Rotations[i] = p.fAngle;
            e->Colors[i] = p.v4fColor;
            ++i;
        }
        ++it;
    }
    e->iParticles = i;
}

MVE_PARTICLE_EMITTER *Emitter(int id) { return MVE_GetParticleEmitter(id); }

// The emitter a public procedure was given; a red row when the ID designates none.
MVE_PARTICLE_EMITTER *Emitter(int id, const char *procedure) {
    MVE_PARTICLE_EMITTER *e = MVE_GetParticleEmitter(id);
    if (!e) MVE_LogUnknownID("particle emitter", id, procedure);
    return e;
}

}  // namespace

void MVE_UpdateParticleTransform(MVE_PARTICLE_EMITTER *e) { UpdateTransform(e); }

void MVE_BuildParticleDirection(MVE_PARTICLE_EMITTER *e) {
    float dx = e->v4fDirection.x, dy = e->v4fDirection.y, dz = e->v4fDirection.z;
    const float length = std::sqrt(dx * dx + dy * dy + dz * dz);
    // A zero direction has no basis: it emits along +Z instead of producing NaNs.
    if (!(length > 0.0f) || !std::isfinite(length)) {
        dx = 0, dy = 0, dz = 1;
    } else {
        dx /= length, dy /= length, dz /= length;
    }
    float a[3] = {1, 0, 0};
    if (std::fabs(dz) != 1.0f) {
        // d x (0, 0, 1), normalised so the basis stays a rotation for every direction.
        a[0] = dy, a[1] = -dx, a[2] = 0;
        const float l = std::sqrt(a[0] * a[0] + a[1] * a[1]);
        if (l > 0.0f) a[0] /= l, a[1] /= l;
        else a[0] = 1, a[1] = 0;
    }
    const float c[3] = {a[1] * dz - a[2] * dy, a[2] * dx - a[0] * dz, a[0] * dy - a[1] * dx};
    e->mDirection = {{a[0], a[1], a[2], 0, c[0], c[1], c[2], 0, dx, dy, dz, 0, 0, 0, 0, 1}};
}

void MVE_ResizeParticleArrays(MVE_PARTICLE_EMITTER *e) {
    // A smaller capacity lets the youngest particles go: the live list never outgrows the arrays.
    if (e->iMaxParticles < 1) e->iMaxParticles = 1;
    while (e->Particles.size() > static_cast<size_t>(e->iMaxParticles)) e->Particles.pop_back();
    const size_t entries = static_cast<size_t>(e->iMaxParticles) + 1;
    e->Positions.assign(entries, v4f{0, 0, 0, 1});
    e->Sizes.assign(entries, 0.0f);
    e->Rotations.assign(entries, 0.0f);
    e->Colors.assign(entries, v4f{0, 0, 0, 0});
    if (e->iParticles > e->iMaxParticles) e->iParticles = e->iMaxParticles;
    SizeGLBuffers(e);
}

void MVE_ReleaseParticleEmitter(MVE_PARTICLE_EMITTER *e) {
    if (!e) return;
    Guard guard(Lock());
    DeleteGLObjects(e);
    e->Particles.clear();
    e->iParticles = 0;
}

void MVE_AdvanceParticles(int now, float dt) {
    Guard guard(Lock());
    MVE_Engine().Registries.ParticleEmitters.ForEach([&](MVE_PARTICLE_EMITTER *e) { Advance(e, now, dt); });
}

void MVE_UploadParticles(void) {
    if (!MVE_TexturesReady()) return;
    Guard guard(Lock());
    const MVE_GL_TABLE &gl = MVE_gl();
    MVE_Engine().Registries.ParticleEmitters.ForEach([&](MVE_PARTICLE_EMITTER *e) {
        SizeGLBuffers(e);
        const GLsizeiptr n = e->iParticles;
        if (n <= 0) return;
        gl.glBindBuffer(GL_ARRAY_BUFFER, e->iPositionBuffer);
        gl.glBufferSubData(GL_ARRAY_BUFFER, 0, n * 16, e->Positions.data());
        gl.glBindBuffer(GL_ARRAY_BUFFER, e->iSizeBuffer);
        gl.glBufferSubData(GL_ARRAY_BUFFER, 0, n * 4, e->Sizes.data());
        gl.glBindBuffer(GL_ARRAY_BUFFER, e->iRotationBuffer);
        gl.glBufferSubData(GL_ARRAY_BUFFER, 0, n * 4, e->Rotations.data());
        gl.glBindBuffer(GL_ARRAY_BUFFER, e->iColorBuffer);
        gl.glBufferSubData(GL_ARRAY_BUFFER, 0, n * 16, e->Colors.data());
    });
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
}

extern "C" {

int MVE_CreateParticleEmitter(int id, int material, const char *name) {
    Guard guard(Lock());
    // -1 is the default particle material (none before the start-up made it); any other number is
    // a material ID or handle, static ID 0 included, and one that names nothing is refused.
    MVE_MATERIAL *m = nullptr;
    if (material == -1) {
        const int builtin = MVE_Engine().Builtin.iParticleMaterial;
        m = builtin ? MVE_GetMaterial(builtin) : nullptr;
    } else if (!(m = MVE_GetMaterial(material))) {
        MVE_LogFail("Fail: Material " + std::to_string(material) + " not found!", "MVE_CreateParticleEmitter");
        return 0;
    }
    int handle = 0;
    MVE_PARTICLE_EMITTER *e = MVE_CreateParticleEmitterListEntry(&id, name, &handle);
    if (!e) return 0;
    e->iMaterial = m ? MVE_HandleOf(m) : 0;
    e->Material = m;
    if (m) e->v4fColor = m->v4fColor;
    e->pMatrix = &e->mMatrix;
    e->pRotation = &e->v4fRotation;
    MVE_BuildParticleDirection(e);
    MVE_ResizeParticleArrays(e);
    UpdateTransform(e);
    return handle;
}

int MVE_CopyParticleEmitter(int id, int source) {
    Guard guard(Lock());
    MVE_PARTICLE_EMITTER *s = Emitter(source);
    if (!s) {
        MVE_LogFail(MVE_FAIL_EMITTER_NOT_FOUND, "MVE_CopyParticleEmitter");
        return 0;
    }
    const int material = EmitterMaterial(s) ? s->iMaterial : 0;
    const std::string name = s->sName.empty() ? "" : s->sName + " copy";
    // Copy the source's parameters first: creating under a name can replace entries.
    const MVE_PARTICLE_EMITTER src = [&] {
        MVE_PARTICLE_EMITTER c;
        c.iEmission = s->iEmission;
        std::copy(s->fVelocity, s->fVelocity + 2, c.fVelocity);
        std::copy(s->fFadeOut, s->fFadeOut + 2, c.fFadeOut);
        std::copy(s->fFadeIn, s->fFadeIn + 2, c.fFadeIn);
        std::copy(s->fLifeTime, s->fLifeTime + 2, c.fLifeTime);
        std::copy(s->fIntensity, s->fIntensity + 2, c.fIntensity);
        std::copy(s->fSize, s->fSize + 2, c.fSize);
        std::copy(s->fRaise, s->fRaise + 2, c.fRaise);
        std::copy(s->fOrientation, s->fOrientation + 2, c.fOrientation);
        std::copy(s->fRotation, s->fRotation + 2, c.fRotation);
        std::copy(s->fRadius, s->fRadius + 2, c.fRadius);
        c.fFrequency = s->fFrequency;
        c.fForce = s->fForce;
        c.fAngle = s->fAngle;
        c.iArea = s->iArea;
        c.iMode = s->iMode;
        c.iMaxParticles = s->iMaxParticles;
        c.v4fMovement = s->v4fMovement;
        c.v4fColor = s->v4fColor;
        c.v4fDirection = s->v4fDirection;
        c.v4fPosition = s->v4fPosition;
        c.v4fRotation = s->v4fRotation;
        c.v4fSize = s->v4fSize;
        return c;
    }();
    const int handle = MVE_CreateParticleEmitter(id, material ? material : -1, name.c_str());
    MVE_PARTICLE_EMITTER *e = handle ? Emitter(handle) : nullptr;
    if (!e) return 0;
    e->iEmission = src.iEmission;
    std::copy(src.fVelocity, src.fVelocity + 2, e->fVelocity);
    std::copy(src.fFadeOut, src.fFadeOut + 2, e->fFadeOut);
    std::copy(src.fFadeIn, src.fFadeIn + 2, e->fFadeIn);
    std::copy(src.fLifeTime, src.fLifeTime + 2, e->fLifeTime);
    std::copy(src.fIntensity, src.fIntensity + 2, e->fIntensity);
    std::copy(src.fSize, src.fSize + 2, e->fSize);
    std::copy(src.fRaise, src.fRaise + 2, e->fRaise);
    std::copy(src.fOrientation, src.fOrientation + 2, e->fOrientation);
    std::copy(src.fRotation, src.fRotation + 2, e->fRotation);
    std::copy(src.fRadius, src.fRadius + 2, e->fRadius);
    e->fFrequency = src.fFrequency;
    e->fForce = src.fForce;
    e->fAngle = src.fAngle;
    e->iArea = src.iArea;
    e->iMode = src.iMode;
    e->iMaxParticles = src.iMaxParticles;
    e->v4fMovement = src.v4fMovement;
    e->v4fColor = src.v4fColor;
    e->v4fDirection = src.v4fDirection;
    e->v4fPosition = src.v4fPosition;
    e->v4fRotation = src.v4fRotation;
    e->v4fSize = src.v4fSize;
    MVE_BuildParticleDirection(e);
    MVE_ResizeParticleArrays(e);
    UpdateTransform(e);
    return handle;
}

int MVE_ParticleEmitterFrequency(int emitter, float frequency) {
    Guard guard(Lock());
    MVE_PARTICLE_EMITTER *e = Emitter(emitter, "MVE_ParticleEmitterFrequency");
    if (!e) return 0;
    e->fFrequency = frequency;
    return 1;
}

int MVE_ParticleEmitterEmission(int emitter, int on) {
    Guard guard(Lock());
    MVE_PARTICLE_EMITTER *e = Emitter(emitter, "MVE_ParticleEmitterEmission");
    if (!e) return 0;
    e->iEmission = on;
    return 1;
}

int MVE_ParticleEmitterMovement(int emitter, const v4f *movement) {
    Guard guard(Lock());
    MVE_PARTICLE_EMITTER *e = Emitter(emitter, "MVE_ParticleEmitterMovement");
    if (!e || !movement) return 0;
    e->v4fMovement = *movement;
    return 1;
}

int MVE_ParticleEmitterPosition(int emitter, float x, float y, float z) {
    Guard guard(Lock());
    MVE_PARTICLE_EMITTER *e = Emitter(emitter, "MVE_ParticleEmitterPosition");
    if (!e) return 0;
    e->v4fPosition = {x, y, z, 1};
    UpdateTransform(e);
    return 1;
}

int MVE_ParticleEmitterBlend(int emitter, float value) {
    Guard guard(Lock());
    MVE_PARTICLE_EMITTER *e = Emitter(emitter, "MVE_ParticleEmitterBlend");
    MVE_MATERIAL *m = e ? EmitterMaterial(e) : nullptr;
    if (!m) return 0;
    m->fHardness = value * 100.0f;
    return 1;
}

float MVE_GetParticleEmitterBlend(int emitter) {
    Guard guard(Lock());
    MVE_PARTICLE_EMITTER *e = Emitter(emitter, "MVE_GetParticleEmitterBlend");
    MVE_MATERIAL *m = e ? EmitterMaterial(e) : nullptr;
    return m ? m->fHardness * 0.01f : 0.0f;
}

int MVE_GetParticleCount(int emitter) {
    Guard guard(Lock());
    MVE_PARTICLE_EMITTER *e = Emitter(emitter, "MVE_GetParticleCount");
    return e ? e->iParticles : 0;
}

void MVE_UpdateParticles(void) {
    const int now = static_cast<int>(MVE_EngineMilliseconds());
    MVE_AdvanceParticles(now, MVE_GetFrameTime());
    MVE_UploadParticles();
}

}  // extern "C"

// ---------------------------------------------------------------- drawing

namespace {

void SetSampler(GLuint program, const char *name, int unit) {
    const GLint location = MVE_gl().glGetUniformLocation(program, name);
    if (location >= 0) MVE_gl().glUniform1i(location, unit);
}

MVE_SHADER *MaterialProgram(MVE_MATERIAL *m) {
    if (!m) return nullptr;
    if (m->Shader && m->Shader->uProgram) return m->Shader;
    return MVE_DrawableProgram(m->iProgram);
}

GLuint ColorTexture(MVE_MATERIAL *m) { return m && m->Texture[0] ? m->Texture[0]->iTexture : 0; }

}  // namespace

int MVE_SoftParticlesToDraw() {
    if (!MVE_TexturesReady()) return 0;
    MVE_ENGINE &engine = MVE_Engine();
    if (engine.Registries.ParticleEmitters.Count() == 0) return 0;
    Guard guard(Lock());
    int soft = 0;
    engine.Registries.ParticleEmitters.ForEach([&](MVE_PARTICLE_EMITTER *e) {
        const MVE_SHADER *program = e->iParticles > 0 && e->iVertexArray ? MaterialProgram(EmitterMaterial(e)) : nullptr;
        if (program && program->iType == MVE_PROGRAM_SOFT_PARTICLE) soft = 1;
    });
    return soft;
}

extern "C" void MVE_DrawParticleEmitters(void) {
    if (!MVE_TexturesReady()) return;
    MVE_ENGINE &engine = MVE_Engine();
    if (engine.Registries.ParticleEmitters.Count() == 0) return;
    const MVE_GL_TABLE &gl = MVE_gl();
    const m4f view = engine.Render.Camera.m4fView;
    gl.glDepthMask(GL_FALSE);
    gl.glEnable(GL_BLEND);
    Guard guard(Lock());
    engine.Registries.ParticleEmitters.ForEach([&](MVE_PARTICLE_EMITTER *e) {
        MVE_MATERIAL *m = EmitterMaterial(e);
        MVE_SHADER *program = MaterialProgram(m);
        if (e->iParticles <= 0 || !program || !e->iVertexArray) return;
        m4f modelView = view;
        if (e->iMode == MVE_PARTICLE_MODE_WORLD) MVE_m4fMultiply(&modelView, &view, &e->mMatrix);
        // The scene's alpha is its coverage, which the screen copy blends by: effects only add to it.
        gl.glBlendFuncSeparate(static_cast<GLenum>(m->iBlendSource), static_cast<GLenum>(m->iBlendDestination), GL_ONE,
                               GL_ONE_MINUS_SRC_ALPHA);
        gl.glUseProgram(program->uProgram);
        MVE_UploadModel(modelView, 0);
        gl.glActiveTexture(GL_TEXTURE0);
        gl.glBindTexture(GL_TEXTURE_2D, ColorTexture(m));
        if (program->iType == MVE_PROGRAM_PARTICLE || program->iType == MVE_PROGRAM_SOFT_PARTICLE) {
            const int soft = program->iType == MVE_PROGRAM_SOFT_PARTICLE;
            gl.glActiveTexture(GL_TEXTURE1);
            gl.glBindTexture(GL_TEXTURE_2D, engine.GBuffer.uTexture[soft ? 4 : 5]);
            SetSampler(program->uProgram, "ColorMap", 0);
            SetSampler(program->uProgram, "DepthMap", 1);
            if (soft) {
                const GLint blend = gl.glGetUniformLocation(program->uProgram, "fBlend");
                if (blend >= 0) gl.glUniform1f(blend, m->fHardness);
            }
            gl.glActiveTexture(GL_TEXTURE0);
        }
        gl.glBindVertexArray(e->iVertexArray);
        gl.glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, e->iParticles);
    });
    gl.glBindVertexArray(0);
    gl.glUseProgram(0);
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.glDepthMask(GL_TRUE);
}
