/* Morvek Engine: the public interface.
 * One line per procedure, grouped by area. Plain C types at the boundary, so the header
 * compiles as C and as C++. Everything runs on the main thread unless a banner says otherwise. */
#ifndef MVE_H
#define MVE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- Types and constants */

typedef struct v4f { float x, y, z, w; } v4f;           /* point (w 1), direction (w 0), quaternion (w scalar) or colour */
typedef struct m4f { float m[16]; } m4f;                /* column-major, column vectors: element (row r, column c) is m[4c + r] */

#define MVE_ID_AUTO   (-1)                              /* passed to a creator: choose an automatic ID */
/* IDs and handles. A caller picks a static ID 0..65535 or passes MVE_ID_AUTO. Every creator and loader
 * returns an int handle that designates the new entry (0 on failure): it always has a bit set in
 * 0xFFFF0000, is never -1, and goes stale when the entry is freed (a stale handle finds nothing).
 * Every procedure that takes an ID takes the static ID or the handle. Each kind holds at most
 * 1,048,576 live entries, static and automatic together; past that a creator writes the red row
 * "Fail: No automatic ID is left!" and returns 0. */
#define MVE_IGNORE    (-65535)                          /* leave this value unchanged, or use the default */
#define MVE_IGNORE_F  (-65535.0f)

#define MVE_VERSION "0.3.0.g (2014-12-14)"

/* ---------------------------------------------------------------- Engine */

int  MVE_Init(void);                                     /* brings the engine up; called by MVE_OpenScreen with a current GL context */
void MVE_Quit(void);                                     /* stops physics, frees every resource, closes the render window */
int  MVE_HandleCommandLine(int argc, char **argv);       /* before MVE_OpenScreen: --record, --replay, --hashes, --screenshot FILE (or =FILE), --live-reload; others left alone; 0 when one failed (red row) */

/* ---------------------------------------------------------------- Recording and replay (a session runs from MVE_Init to MVE_Quit)
 * A recording holds what the engine takes from outside: input and window events, joystick readings, frame times
 * and rates, random seeds, and the physics thread's passes against the main thread's changes. A replay feeds it
 * back instead of the live values and computes the same frames on the same build; live input is ignored, except
 * that closing the window still ends the program. Where the recording ends, live input takes over. */

int  MVE_StartRecording(const char *file);               /* before MVE_OpenScreen: records the session into file; 1 armed, 0 failed (red row) */
int  MVE_StopRecording(void);                            /* ends the recording at once (the file is complete); 1 when one was running */
int  MVE_IsRecording(void);                              /* 1 while a recording is armed or running */
int  MVE_StartReplay(const char *file);                  /* before MVE_OpenScreen: reads and checks the whole file; 1 armed, 0 refused (red row) */
int  MVE_IsReplaying(void);                              /* 1 while recorded input drives the engine */
int  MVE_WriteFrameHashes(const char *file);             /* one line per frame: number and hash of every object's placement and velocity and of the joint count; 1 opened, 0 failed */
int  MVE_SetQuitScreenshot(const char *file);            /* the last frame drawn is written there as a PNG by MVE_Quit (of a replay: its last frame); returns 1 */

/* ---------------------------------------------------------------- Windows and screen */

#define MVE_WINDOW_TITLEBAR    1                        /* flags of MVE_OpenWindow */
#define MVE_WINDOW_SYSTEMMENU  2
#define MVE_WINDOW_SIZEABLE    4                        /* sizing border */
#define MVE_WINDOW_CENTERED    8
#define MVE_WINDOW_HIDDEN      16                       /* not shown (off-screen work, tests) */
#define MVE_WINDOW_NORMAL      15                       /* title bar, system menu, sizing border, centred */

#define MVE_EVENT_NONE   0                              /* results of MVE_WindowEvent */
#define MVE_EVENT_OTHER  1                              /* nothing the application must act on; keep fetching */
#define MVE_EVENT_INPUT  2                              /* keyboard, mouse or joystick: already in the input state */
#define MVE_EVENT_SIZE   3                              /* a window's inner size changed */
#define MVE_EVENT_CLOSE  16                             /* the user asked to close a window */

int  MVE_OpenWindow(int window, int width, int height, const char *title, int flags); /* window 0..15, inner size in pixels; 1 opened, 0 failed (red row) */
void MVE_CloseWindow(int window);                        /* refused while it holds the screen */
int  MVE_WindowEvent(void);                              /* next pending event of any window, MVE_EVENT_NONE when none is left */
int  MVE_EventWindow(void);                              /* window of the last event, -1 when it concerns the whole application */
int  MVE_GetWindowWidth(int window);                     /* inner size, 0 when not open */
int  MVE_GetWindowHeight(int window);
int  MVE_OpenScreen(int parent, int x, int y, int width, int height, int depth); /* GL 3.3 render area in a window's client area, runs MVE_Init; render window number or 0 (see the log) */
int  MVE_GetScreenWidth(void);                           /* render area size in pixels */
int  MVE_GetScreenHeight(void);
int  MVE_SetVSync(int interval);                         /* swap interval (0 off, 1 every refresh); 1 when the driver accepted it */
void MVE_SetBlendMode(uint32_t source, uint32_t destination); /* GL blend factors, kept in the render state cache */
void MVE_ClearScreen(uint32_t color);                    /* clears the screen's colour (0xAABBGGRR) and depth */
int  MVE_SaveScreenshot(const char *file);               /* the back buffer as a PNG (before MVE_FlipBuffers); 1 written, 0 failed (red row) */

/* ---------------------------------------------------------------- Frame */

int   MVE_FlipBuffers(void);                             /* ends the frame: times it, presents the back buffer; returns 0 */
float MVE_GetFrameTime(void);                            /* seconds between the last two flips (0 after the first) */
float MVE_GetFramesPerSecond(void);                      /* flips per second, measured over at least half a second */
int   MVE_ReadFramePixels(int x, int y, int width, int height, void *rgba); /* the frame drawn so far (before MVE_FlipBuffers), RGBA8 rows from the top; x, y from the top-left; 1 read, 0 (red row) when no part lies on the screen */

/* ---------------------------------------------------------------- Resources (every kind frees the same way; unknown IDs are ignored) */

void MVE_FreeShader(int id);                             /* deletes the GL program */
void MVE_FreeTexture(int id);                            /* deletes the GL texture */
void MVE_FreeMaterial(int id);
void MVE_FreeMesh(int id);                               /* deletes the vertex array and buffers */
void MVE_FreeBody(int id);                               /* frees the bounding tree and its meshes */
void MVE_FreeSound(int id);
void MVE_FreeBillboard(int id);
void MVE_FreeSkeleton(int id);
void MVE_FreeAnimation(int id);
void MVE_FreeParticleEmitter(int id);
void MVE_FreeNode(int id);
void MVE_FreeObject(int id);                             /* leaves the physics and draw lists first */
void MVE_FreeSprite(int id);
void MVE_FreeFont(int id);
void MVE_FreeLight(int id);
void MVE_FreeJoint(int id);                              /* leaves the physics joint list first */

/* ---------------------------------------------------------------- Files (every reader reads regular files only: a folder, FIFO,
 * device or socket gives "Fail: File cannot be read!", a missing file "Fail: File not found!", a file larger than its kind's
 * limit "Fail: File too large!"; each a red row before anything is read, a 0 result and nothing registered) */

#define MVE_FILE_LIMIT_DEFINITION  (256LL << 20)         /* definition (".mvd") and particle-emitter files, in bytes */
#define MVE_FILE_LIMIT_MESH        (1LL << 30)           /* ".mvm" mesh files */
#define MVE_FILE_LIMIT_BODY        (1LL << 30)           /* ".mvb" body files */
#define MVE_FILE_LIMIT_OBJ         (2LL << 30)           /* Wavefront OBJ files */
#define MVE_FILE_LIMIT_IMAGE       (1LL << 30)           /* PNG and JPEG images (textures, cube-map faces, array layers) */
#define MVE_FILE_LIMIT_RAW_TEXTURE (12LL + (3LL << 26))  /* ".mvt": the header and 64 Mpixel of RGB */
#define MVE_FILE_LIMIT_SOUND       (512LL << 20)         /* Ogg Vorbis files, held compressed while they play */
#define MVE_FILE_LIMIT_FONT        (64LL << 20)          /* font files (".tf") */
#define MVE_FILE_LIMIT_SHADER      (16LL << 20)          /* GLSL source files */
#define MVE_FILE_LIMIT_RECORDING   (1LL << 30)           /* recorded sessions (MVE_StartReplay), read whole and checked before replaying */

/* ---------------------------------------------------------------- Live reload (off by default; main thread)
 * While on, every file the engine read (definitions, images, ".mvt", cube-map faces, array layers, shader sources,
 * meshes, bodies, particle emitters, fonts, sounds) is watched; a save is applied by MVE_FlipBuffers once the file
 * has been quiet for 100 ms, into the same resource: IDs, handles and names stay. A file that no longer loads keeps
 * the old content (one red row, tried again at its next save); a deleted one keeps it until the file is back. Off
 * while a session is recorded or replayed (a blue row says so). */

int  MVE_EnableLiveReload(int on);                       /* 1 on, 0 off (also before MVE_OpenScreen; command line: --live-reload); 0 when it cannot start */
int  MVE_IsLiveReloadEnabled(void);                      /* 1 while files are watched */
int  MVE_GetReloadCount(void);                           /* reloads that took since MVE_Init (failed ones not counted) */

/* ---------------------------------------------------------------- Shader programs (GLSL 330; a shader argument is an ID or a handle)
 * Fixed numbering: inputs vVertex 0, vNormal 1, vTexCoord0 2, vTexCoord1 3, vColor 4, vTangent 6, iGroup/vPosition 7,
 * fSize 8, fRotation 9; outputs vFragColor/vFragPosition 0, vFragNormal 1, vFragDiffuse 2, vFragSpecular 3, vFragMisc 4.
 * Shared std140 blocks: Projection 0, Model 1, Material 2, Light 3, Misc 4. A program that does not compile or link
 * is not registered: the creator returns 0 (red rows) and what was registered under that ID or name stays. */

int  MVE_CreateShader(int id, int flag, const char *name); /* empty program entry (flag: 1 3D, 0 2D); handle or 0 */
int  MVE_CatchVertexShader(int shader, const char *start, const char *end); /* compiles source [start, end) and attaches it; 1, or 0 (red row) */
int  MVE_CatchFragmentShader(int shader, const char *start, const char *end);
int  MVE_LoadVertexShader(int shader, const char *file); /* as MVE_CatchVertexShader with a file's content; 0 when it cannot be read */
int  MVE_LoadFragmentShader(int shader, const char *file);
int  MVE_LinkShader(int shader);                         /* binds the fixed numbering, links, binds the shared blocks; 1, or 0 (red row) */
int  MVE_CatchShader(int type, int flag, int group, const char *vertexStart, const char *vertexEnd, const char *fragmentStart, const char *fragmentEnd, const char *name); /* builds and reflects a program (automatic ID); type 1..25 enters the built-in table; handle or 0 */
int  MVE_LoadShader(int id, int group, const char *vertexFile, const char *fragmentFile, const char *name); /* as MVE_CatchShader from two files under a chosen ID; handle or 0 */
int  MVE_AddShaderUniform(int shader, int kind, const char *name, int slot, int a, int b, int c); /* kind 2 sampler, 3 int, 4 float, 5/6 vec2/vec3, 7 vec4, 8 mat3, 9 mat4; the location (-1 when absent) */
int  MVE_GetShaderUniform(int shader, int slot);         /* location registered under a slot, -1 when none */
int  MVE_GetShaderProgram(int shader);                   /* GL program name, 0 for an unknown shader */
void MVE_SetShaderType(int shader, int type);            /* built-in program number */
void MVE_AddShaderToRenderGroup(int group, int shader);  /* 0 G-Buffer, 1 forward, 2 effects, 7 sprites; -1 none */
int  MVE_GetBuiltinShaderHandle(int number);             /* handle of built-in program 1..25, 0 when it has none */
int  MVE_InitShaderBuffers(void);                        /* start-up: the shared uniform buffers; 1 done, 0 failed */

/* ---------------------------------------------------------------- Log ("MVE LogFile.html") */

int  MVE_OpenLogFile(const char *file, int headFlag, int create);   /* 0 when the file cannot be opened; writes are then discarded */
void MVE_SetLogColumns(int mask);                        /* 1 time, 2 source file, 4 procedure, 8 source line */
void MVE_LogSection(const char *title, uint32_t color);  /* opens a nested section */
void MVE_LogSectionEnd(void);                            /* closes the innermost section */
void MVE_Log(const char *message, uint32_t color, int line, int reserved, const char *file, const char *procedure); /* one row */
void MVE_LogBreak(void);                                 /* writes a line break */
void MVE_CloseLogFile(void);                             /* closes the file; later writes are discarded */

/* ---------------------------------------------------------------- Math: vectors */

v4f  *MVE_v4fSet(v4f *v, float x, float y, float z, float w); /* v := (x, y, z, w) */
v4f  *MVE_v4fSet3(v4f *v, float x, float y, float z);    /* v.xyz := (x, y, z) */
v4f  *MVE_v4fCopy(v4f *dst, const v4f *src);             /* dst := src */
v4f  *MVE_v4fAdd(v4f *a, const v4f *b);                  /* a.xyz += b.xyz; w as a flag OR */
v4f  *MVE_v4fSub(v4f *a, const v4f *b);                  /* a.xyz -= b.xyz; w as a flag XOR */
v4f  *MVE_v4fSubTo(v4f *out, const v4f *a, const v4f *b); /* out := a - b with the w flag rule */
v4f  *MVE_v4fAdd3(v4f *a, const v4f *b);                 /* a.xyz += b.xyz */
v4f  *MVE_v4fSub3To(v4f *out, const v4f *a, const v4f *b); /* out.xyz := a.xyz - b.xyz */
v4f  *MVE_v4fAddScaled(v4f *a, const v4f *b, float s);   /* a.xyz += b.xyz * s */
v4f  *MVE_v4fScale(v4f *a, float s);                     /* a.xyz *= s */
v4f  *MVE_v4fScaleTo(v4f *out, const v4f *a, float s);   /* out.xyz := a.xyz * s */
v4f  *MVE_v4fMultiply(v4f *out, const v4f *a, const v4f *b); /* out := a * b, all four lanes */
v4f  *MVE_v4fMultiply3(v4f *a, const v4f *b);            /* a.xyz *= b.xyz */
float MVE_v4fDot(const v4f *a, const v4f *b);            /* three-component dot; b null gives |a|^2 */
float MVE_v4fLength(const v4f *a);                       /* three-component length */
v4f  *MVE_v4fNormalize(v4f *a);                          /* w := 0, then unit length; a zero vector stays zero */
v4f  *MVE_v4fCross(v4f *out, const v4f *a, const v4f *b); /* out := a x b, w 0 */
v4f  *MVE_v4fAbs(v4f *a);                                /* every lane's sign cleared */
v4f  *MVE_v4fColor(v4f *out, uint32_t color);            /* unpacks 0xAABBGGRR; alpha byte 0 reads as opaque */
v4f  *MVE_v4fTransform(v4f *v, const m4f *M);            /* v := M v */
v4f  *MVE_v4fTransformTo(v4f *out, const m4f *M, const v4f *v); /* out := M v */
float MVE_v4fDotTransformed(const v4f *a, const m4f *M, const v4f *b); /* a . (M b); b null gives a^T M a */
float MVE_MinF(float a, float b, float c);               /* smallest of three */
float MVE_MaxF(float a, float b, float c);               /* largest of three */
float MVE_ClampF(float x, float lo, float hi);           /* lo when lo > x, else x when x <= hi, else max(lo, hi) */

/* ---------------------------------------------------------------- Math: quaternions and matrices */

v4f  *MVE_QuaternionMultiply(v4f *out, const v4f *p, const v4f *q); /* Hamilton product; out may alias */
v4f  *MVE_QuaternionFromEuler(v4f *out, float ax, float ay, float az, int mode); /* mode 1 radians, else degrees; x first, then y, then z */
m4f  *MVE_m4fMultiply(m4f *out, const m4f *A, const m4f *B); /* out := A B; out may be A or B */
m4f  *MVE_m4fMultiplyInPlace(m4f *A, const m4f *B);      /* A := A B */
m4f  *MVE_m4fInverse(m4f *M);                            /* in place, about 12 bits accurate; a singular matrix gives zeros */
m4f  *MVE_m4fInverseOf(m4f *out, const m4f *M);          /* out := M^-1 */
m4f  *MVE_m4fAbs(m4f *out, const m4f *M);                /* every element's sign cleared */
m4f  *MVE_m4fCopyRotation(const m4f *src, m4f *dst);     /* upper-left 3x3 from src to dst */
m4f  *MVE_m4fFromQuaternion(const v4f *q, m4f *out);     /* rotation matrix of a unit quaternion */
m4f  *MVE_m4fPerspective(m4f *out, float fovY, float aspect, float zNear, float zFar); /* fovY in degrees */
m4f  *MVE_m4fIdentity(m4f *out);                         /* out := identity */

/* ---------------------------------------------------------------- Math: per-thread vector stack (128 slots) */

v4f  *MVE_v4fPush(const v4f *v);                         /* copy onto the stack; null and a debugger message on overflow */
v4f  *MVE_v4fPushSet(float x, float y, float z, float w); /* new slot set to (x, y, z, w) */
v4f  *MVE_v4fPeek(int i);                                /* 0 is the slot pushed last; null outside the stack */
int   MVE_v4fPop(int n);                                 /* drops n slots, never past empty; returns 0 */
void  MVE_v4fResetStack(void);                           /* empties this thread's stack */

/* ---------------------------------------------------------------- Random values */

void  MVE_SeedRandom(uint32_t seed);                     /* makes the engine's random source repeatable */
int   MVE_RandomInt(void);                               /* uniform in 0 .. 2147483647 */
float MVE_RandomFloat(float p, float q);                 /* (p - q) * R / 2147483647 + q: uniform between q and p */

/* ---------------------------------------------------------------- Meshes (a mesh argument is an ID or a handle) */

int   MVE_LoadMesh(int id, const char *file, const char *name, int reserved); /* ".mvm" file; empty name = file part of the path */
int   MVE_LoadOBJMesh(int id, const char *file, const char *name); /* Wavefront OBJ; polygons fan-triangulated, every corner its own vertex */
int   MVE_SaveMesh(int mesh, const char *file, const char *name); /* ".mvm" text, CR LF; 1 written, 0 failed */
int   MVE_FinishMesh(int mesh);                          /* group table, tangents, GL upload (replaces earlier GL objects); 1 done, 0 failed */
int   MVE_CreateMesh(int id, const char *name);          /* empty mesh entry */
int64_t MVE_SetMeshVertexCount(int mesh, int count);     /* count zeroed vertices; returns count * 52, 0 on failure */
int   MVE_SetMeshVertex(int mesh, int vertex, float x, float y, float z, float w); /* position; 1 set, 0 bad mesh or number */
int   MVE_SetMeshTexCoord(int mesh, int vertex, float u, float v); /* texture coordinate; 1 set, 0 bad mesh or number */
int   MVE_SetMeshNormal(int mesh, int vertex, float x, float y, float z); /* normal; 1 set, 0 bad mesh or number */
int   MVE_SetMeshVertexGroup(int mesh, int vertex, int group); /* vertex group; 1 set, 0 bad mesh or number */
int64_t MVE_SetMeshTriangleCount(int mesh, int count);   /* count zeroed triangles; returns indices * 4, 0 on failure */
int   MVE_SetMeshTriangle(int mesh, int triangle, int a, int b, int c); /* corners a, b, c (below the vertex count); 1 set, 0 refused */
int   MVE_AddMeshGroup(int mesh, const char *name);      /* group number of the name, appended when new; -1 without a mesh */
int   MVE_CreateSphereMesh(int id, float radius, int segments, int rings, const char *name); /* UV sphere, 6 vertices per cell */
int   MVE_CreatePlaneMesh(int id, float size, float repeat, const char *name); /* square in y = 0, groups "Static" and "Dynamic" */
int   MVE_AddMeshToMesh(int target, int source, float x, float y, float z, float rx, float ry, float rz, float sx, float sy, float sz, int group); /* appends a transformed copy (degrees; group -1 keeps the source's); first new vertex, -1 on failure */
int   MVE_CreateBoxMesh(int id, float size, float repeat, int group, const char *name); /* six planes, outward normals */
int   MVE_CreateRectangleMesh(int id, float width, float depth, int segmentsX, int segmentsZ, float repeatX, float repeatZ, const char *name); /* grid in y = 0, normal +y, texture upright seen with -z ahead; handle, 0 and a red row for a bad size or count */

/* ---------------------------------------------------------------- Collision bodies (a body is never changed after creation, except by a live reload of its file) */

#define MVE_SHAPE_POINT  (-1)                            /* body kinds; also the body argument of MVE_SetObjectBody */
#define MVE_SHAPE_BOX    (-3)
#define MVE_SHAPE_SPHERE (-4)
#define MVE_SHAPE_MESH   (-5)
int   MVE_CreateSphereBody(int id, float size, const char *name); /* size is the diameter */
int   MVE_CreateBoxBody(int id, float width, float height, float depth, const char *name); /* height MVE_IGNORE_F = width, depth MVE_IGNORE_F = height */
int   MVE_CreateBodyFromMesh(int id, int mesh, int type, float scale, const char *name); /* -3 box around the vertices and origin, -4 sphere, -5 polyhedron (scale ignored) */
int   MVE_LoadBody(int id, const char *file, const char *name); /* ".mvb" file; indices outside the vertices are refused; empty name = file part */
int   MVE_IsBody(int id);                                /* 1 if a body with this ID exists */

/* ---------------------------------------------------------------- Objects, nodes and joints (mode bits: 1 relative, 2 own frame, 4 camera frame; angles in degrees; unknown IDs do nothing) */

typedef int (*MVE_COLLISION_CALLBACK)(int own, int other); /* runs on the physics thread with the physics lock held */
int   MVE_CreateObject(int id, int mesh, int material, const char *name, int reserved1, int reserved2); /* material -1 = default; 0 and a red row without the mesh */
int   MVE_IsObject(int id);                              /* 1 if an object with this ID exists */
int   MVE_SetObjectMaterial(int id, int material);       /* moves it to the material's draw list; 1 done, 0 unknown object or material */
int   MVE_SetObjectBody(int id, int body, float size);   /* MVE_IGNORE none, -1 point, -3/-4/-5 from its own mesh at size, else a body ID; files it by mass */
int   MVE_SetObjectMass(int id, float mass);             /* 0 static, else dynamic; recomputes the inertia */
int   MVE_SetObjectFriction(int id, float friction);     /* contacts use the sum of both objects' values */
int   MVE_SetObjectRestitution(int id, float restitution); /* contacts use the product of both objects' values */
int   MVE_SetObjectCollision(int id, int on);            /* 0 leaves it out of collision tests */
int   MVE_SetObjectCallback(int id, MVE_COLLISION_CALLBACK callback); /* called on contact with (own ID, other ID); null for none */
int   MVE_MoveObject(int id, float x, float y, float z, int mode); /* sets or moves the position */
int   MVE_SetObjectPosition(int id, const v4f *position, int mode); /* as MVE_MoveObject; absolute with bit 4 takes the point in the camera frame */
int   MVE_RotateObject(int id, float x, float y, float z, int mode); /* sets or turns the orientation (world, own or camera axes) */
int   MVE_ScaleObject(int id, float x, float y, float z, int mode); /* mode 1 multiplies, any other sets */
int   MVE_SetObjectVelocity(int id, const v4f *velocity, float x, float y, float z, int mode); /* the vector, or (x, y, z) when null; bit 2 own frame, bit 1 adds */
v4f  *MVE_GetObjectPosition(int id, v4f *out);           /* out := position (w 1); null for an unknown object */
v4f  *MVE_GetObjectVelocity(int id, v4f *out);           /* out := velocity (w 0); null for an unknown object */
v4f  *MVE_GetObjectOrientation(int id, v4f *out);        /* out := orientation quaternion; null for an unknown object */
int   MVE_SetObjectOrientation(int id, const v4f *orientation); /* quaternion (w scalar), normalised; 1 done, 0 (red row) unknown object, null, zero or not finite */
int   MVE_PointObject(int id, float x, float y, float z, float upX, float upY, float upZ); /* turns its -z axis to the world point, +y towards up (0, 0, 0 = world +y); 1 done, 0 (red row) */
int   MVE_GetObjectCount(int list);                      /* 1 dynamic list, 2 static list, 0 every object */
int   MVE_CreateNode(int id, const char *name);          /* a bare transform at the origin */
int   MVE_CreateJoint(int id, int kind, int objectA, float ax, float ay, float az, int objectB, float bx, float by, float bz, float stiffness, float parameter); /* anchors in each object's own frame; stiffness 0 = rigid; the joint's handle, 0 on failure */
int   MVE_SetJointDamping(int id, float damping);        /* damping against the stretch rate */
int   MVE_GetJointCount(void);                           /* joints acting in the simulation */
float MVE_GetEnergy(int mask);                           /* 1 translation, 2 rotation, 4 position in gravity, 8 joint tension; 15 total */

/* ---------------------------------------------------------------- Physics (a thread of its own from MVE_Init to MVE_Quit; collision callbacks run on it) */

void  MVE_SetGravity(float x, float y, float z);         /* acceleration of every object with mass; zero until set */
float MVE_GetPhysicsRate(void);                          /* passes per second of the physics thread; 0 until half a second has passed */
void  MVE_SetCollisionSound(int sound, int materialA, int materialB); /* sound of contacts between two materials; materialB -1 = any; replaces an equal entry */
int   MVE_CollideObjects(int idA, int idB);              /* 1 when the two objects touch; outside the physics thread it only reports */
int   MVE_StepPhysics(float stepTime);                   /* one deterministic pass (joints, collisions, integration); 0 and a red row while the thread runs */
void  MVE_SetPhysicsThread(int enabled);                 /* 0 keeps MVE_Init from starting the thread (tools, tests); stops or starts a running engine's */
float MVE_GetPhysicsProfile(int phase, int mean);        /* microseconds: phase 0 joints, 1 collisions, 2 integration, 3 whole pass; mean 1 averages ~100 passes */
int   MVE_GetPhysicsCount(int what);                     /* last pass: 0 pairs the lists offer, 1 pairs tested after the broad phase, 2 contacts */

/* ---------------------------------------------------------------- Sounds (Ogg Vorbis, heard from the camera; a sound argument is an ID or a handle) */

#define MVE_SOUND_PLAY        1                         /* mode flags; definition words "Play", "Loop", "Background", ... */
#define MVE_SOUND_LOOP        2
#define MVE_SOUND_BACKGROUND  4                         /* not placed: no pan, distance, cone or Doppler */
#define MVE_SOUND_CHANNEL     8                         /* every play starts an independent instance, removed when it ends */
#define MVE_SOUND_DOPPLER     16                        /* "Dopplereffect": pitch follows the approach speed */
#define MVE_SOUND_STREAM      32                        /* decoded while it plays */
int   MVE_LoadSoundFile(int id, const char *file, int mode, const char *name); /* handle (of the playing instance with PLAY and CHANNEL), 0 on failure */
int   MVE_CreateSound(int id, const char *name, int platformSound, int mode); /* record for a loaded platform sound; handle or 0 */
int   MVE_PlaySound(int sound, int mode, const v4f *position); /* mode MVE_IGNORE = its own; handle of the instance that plays, 0 when not (beyond its range) */
int   MVE_UpdateSounds(void);                            /* once per frame: volume, pan, pitch of every playing sound; ended instances go; returns 0 */
int   MVE_SetSoundPosition(int sound, float x, float y, float z); /* world position; 1 done, 0 unknown sound */
int   MVE_SetSoundVolume(int sound, float volume);       /* volume factor (1 full); 1 done, 0 unknown sound */
int   MVE_StopSound(int sound);                          /* an instance is removed at the next update; 1 done, 0 unknown sound */
int   MVE_IsSoundPlaying(int sound);                     /* 1 while it is heard (or would be, without a device) */

/* ---------------------------------------------------------------- Debugger application link */

int   MVE_SendDebuggerMessage(int kind, const void *data); /* kinds 1-3 text, 4 v4f, 5 m4f, others empty; returns 0 */
int   MVE_DebugText(int kind, const char *text);         /* sends a text message */
int   MVE_ConnectDebugger(void);                         /* opens the link (the first send does it); 1 connected, 0 unavailable */

/* ---------------------------------------------------------------- Input devices (keys are Windows virtual-key codes 0..255; mouse buttons 1 left, 2 right, 4 middle) */

void  MVE_UpdateKeyboard(void);                          /* freezes the keys seen since the last call into the snapshot the getters read */
void  MVE_UpdateMouse(void);                             /* freezes the mouse; while captured the cursor returns to the centre */
void  MVE_UpdateJoysticks(void);                         /* polls the joysticks found at start-up */
int   MVE_KeyDown(int key);                              /* 1 while held; 0 for a code outside 0..255 */
int   MVE_KeyPushed(int key);                            /* 1 if it went down (or repeated) in the last frame */
int   MVE_KeyReleased(int key);                          /* 1 if it went up in the last frame */
int   MVE_GetKeyChar(void);                              /* last typed character (UTF-16 unit) of the last frame, 0 if none */
int   MVE_MouseButtonDown(int button);                   /* 1 while held; 0 for a button other than 1, 2, 4 */
int   MVE_MouseButtonPushed(int button);                 /* 1 if it went down in the last frame */
int   MVE_MouseButtonReleased(int button);               /* 1 if it went up in the last frame */
int   MVE_GetMouseX(void);                               /* render-area pixels */
int   MVE_GetMouseY(void);
int   MVE_GetMouseDeltaX(void);                          /* movement over the last frame, pixels */
int   MVE_GetMouseDeltaY(void);
int   MVE_GetMouseWheel(void);                           /* wheel notches over the last frame, away from the user positive */
int   MVE_MouseInRect(int x, int y, int width, int height); /* x <= mouse x < x + width and y <= mouse y < y + height */
int   MVE_MouseInCircle(int x, int y, int radius);       /* mouse strictly closer than radius to (x, y) */
void  MVE_CaptureMouse(int show);                        /* holds the cursor at the centre, deltas measured from there; show 0 hides it */
void  MVE_ReleaseMouse(int show);                        /* ends the capture; show 1 shows the cursor */
void  MVE_SetMousePosition(int x, int y);                /* moves the cursor to a render-area position (getters see it at once) */
void  MVE_ResetMouse(void);                              /* drops this frame's clicks, wheel and movement */
void  MVE_InitJoysticks(void);                           /* finds the joysticks attached now (MVE_Init calls it) */
int   MVE_GetJoystickCount(void);                        /* joysticks found */
float MVE_SetJoystickDeadZone(int joystick, int axis, float value); /* axis -1 = all; axis values below it read 0; returns 0.0 */
float MVE_GetJoystickAxis(int joystick, int axis, float step); /* axes 0..5 X, Y, Z, R, U, V in -1..1; step != 0 rounds to a multiple */
int   MVE_GetJoystickButton(int joystick, int button);   /* buttons 0..15: bits 1 down, 2 held > 500 ms, 4 pushed, 8 released */
int   MVE_JoystickButtonDown(int joystick, int button);  /* state bit 1 */
int   MVE_JoystickButtonReleased(int joystick, int button); /* state bit 8 */
float MVE_GetJoystickPOV(int joystick);                  /* hat degrees: 0 centred, 360 ahead, 90 right, 180 back, 270 left */
const char *MVE_GetJoystickName(int joystick);           /* device name, "" when none */

/* ---------------------------------------------------------------- 2D layer (pixels, origin top-left, y down; drawn over the 3D scene in call order) */

#define MVE_ALIGN_LEFT    0                             /* alignment of MVE_DrawText: x is the left end of each line */
#define MVE_ALIGN_CENTER  1                             /* x is the centre of each line */
#define MVE_ALIGN_RIGHT   2                             /* x is the right end of each line */
#define MVE_ALIGN_MIDDLE  4                             /* add: y is the vertical centre of the text block (else its top) */
#define MVE_ALIGN_BOTTOM  8                             /* add: y is the bottom of the text block */

int   MVE_LoadFont(int id, const char *file);            /* chunked font file (".tf"); handle, 0 on failure (red row); font -1 elsewhere = the built-in font */
int   MVE_CreateSprite(int id, int material, float width, float height); /* the material's first texture and colour; width or height 0 = the texture's; handle or 0 */
int   MVE_DrawSprite(int sprite, float x, float y);      /* centred at (x, y); 1 drawn, 0 bad sprite or nothing to draw */
int   MVE_DrawText(int font, float x, float y, const char *text, uint32_t color, float scale, int alignment);
      /* UTF-8 text from (x, y) = the top of the first line; "\n" starts a line, "\t" = 4 spaces; characters
         missing from the font draw nothing. color 0xAABBGGRR or MVE_IGNORE = white; scale multiplies the
         font's pixel size (MVE_IGNORE or <= 0: 1.0); alignment MVE_ALIGN_* (MVE_IGNORE: left, top). 1 drawn, 0 bad font */
float MVE_GetTextWidth(int font, const char *text, float scale); /* widest line in pixels at that scale, 0 for a bad font */
int   MVE_GetFontLineHeight(int font);                   /* pixels from one line to the next at scale 1, 0 for a bad font */
int   MVE_DrawPanel(float x, float y, float width, float height, uint32_t color); /* GUI 9-slice panel; MVE_IGNORE = the style's colour */
void  MVE_ShowLogo(int show);                            /* engine logo in the bottom-right corner at every MVE_FlipBuffers (off at start) */

/* ---------------------------------------------------------------- Textures (loaders return a handle, 0 and a red row on failure; PNG or JPEG by content)
 * filter: 0x2600 GL_NEAREST or 0x2601 GL_LINEAR; MVE_IGNORE (or any other value) = the engine default.
 * mipmaps: highest mipmap level, 0 none; with mipmaps the filter is trilinear whatever is asked. */

int   MVE_LoadTextureFile(int id, const char *file, int filter, int mipmaps, const char *name); /* empty name = file part of the path */
int   MVE_CatchTexture(int id, const void *data, int64_t size, int filter, const char *name); /* image in memory, stored as RGBA; no mipmaps */
int   MVE_LoadCubeMapTexture(int id, const char *folder, const char *px, const char *nx, const char *py, const char *ny, const char *pz, const char *nz, int filter, int mipmaps, const char *name); /* six square faces of one size; empty name = first face's file */
int   MVE_CatchCubeMapTexture(int id, const void *const faces[6], const int64_t sizes[6], int filter, int mipmaps, const char *name); /* faces +X, -X, +Y, -Y, +Z, -Z in memory */
int   MVE_CreateTextureArray(int id, int width, int height, int layers, int filter, int reserved, const char *name); /* empty 2D array texture */
int   MVE_AddTextureToTextureArray(int texture, const char *file, int layer); /* image of the array's size into a layer; 1 done, 0 refused */
int   MVE_SetTextureFilter(int filter);                  /* engine default filter (GL_NEAREST or GL_LINEAR); returns 0 */

#define MVE_TEXTURE_R8       1                          /* pixel formats of MVE_CreateTexture: one byte, read as grey (r, r, r, 1) */
#define MVE_TEXTURE_RG8      2                          /* grey and alpha (r, r, r, g) */
#define MVE_TEXTURE_RGB8     3
#define MVE_TEXTURE_RGBA8    4
#define MVE_TEXTURE_RGBA16F  5                          /* four floats per pixel in memory, kept as half floats */
#define MVE_TEXTURE_RGBA32F  6                          /* four floats per pixel, kept as they are */
int   MVE_CreateTexture(int id, int width, int height, int format, const void *pixels, int filter, int mipmaps, const char *name); /* packed rows from the top; pixels null = all 0 */
int   MVE_UpdateTexture(int texture, int x, int y, int width, int height, int format, const void *pixels); /* replaces a rectangle of a 2D texture (top-left origin); 1 done, 0 (red row) refused */
int   MVE_GetTextureWidth(int texture);                  /* pixels; 0 (red row) for an unknown texture */
int   MVE_GetTextureHeight(int texture);

/* ---------------------------------------------------------------- Materials (creators return a handle, 0 on failure) */

int   MVE_CreateMaterial(int id, int texture, int program, const char *name); /* built-in program number; texture -1 = the three default textures, else slot 0 */
int   MVE_CopyMaterial(int id, int source, const char *name); /* every field of the source; 0 and a red row without it */
int   MVE_GetMaterialID(const char *name);                /* handle of the material with this name; 0 and a red row when none has it */
/* Setters change what the next frame draws exactly as the definition key named in their comment does;
 * they return 1, or 0 with a red row (unknown material, number not finite, value out of range) and
 * change nothing. Getters return 0 (or null) with a red row for an unknown material. */
int   MVE_SetMaterialColor(int material, uint32_t color);    /* "Color", 0xAABBGGRR (alpha byte 0 = opaque) */
int   MVE_SetMaterialShineColor(int material, uint32_t color); /* "ShineColor": specular colour */
int   MVE_SetMaterialShine(int material, float shine);     /* "Shine": specular intensity */
int   MVE_SetMaterialHardness(int material, float hardness); /* "Hardness" (soft particles: "Blend", the fade distance) */
int   MVE_SetMaterialSurfaceScattering(int material, float scattering); /* "SurfaceScattering": light reaching round the shadow side */
int   MVE_SetMaterialReflection(int material, float reflection); /* "Reflection" */
int   MVE_SetMaterialRefraction(int material, float percent); /* "Refraction", in percent as the key (stored / 100) */
int   MVE_SetMaterialWireframe(int material, int on);      /* "Wireframe": lines in the forward groups */
int   MVE_SetMaterialBackFaceCulling(int material, int on); /* "BackFaceCulling": 0 draws both faces */
int   MVE_SetMaterialBlendMode(int material, int source, int destination); /* "BlendingMode": GL factors 0, 1, 0x300..0x308 */
int   MVE_SetMaterialShader(int material, int program);    /* "Shader": built-in program 1..25 (14 draws with 15); moves it to that program's draw list */
int   MVE_SetMaterialTexture(int material, int slot, int texture); /* "Texture[slot]", slot 0..3; -1 the default texture of slots 0..2, MVE_IGNORE empty */
v4f  *MVE_GetMaterialColor(int material, v4f *out);        /* out := colour as floats */
v4f  *MVE_GetMaterialShineColor(int material, v4f *out);
float MVE_GetMaterialShine(int material);
float MVE_GetMaterialHardness(int material);
float MVE_GetMaterialSurfaceScattering(int material);
float MVE_GetMaterialReflection(int material);
float MVE_GetMaterialRefraction(int material);             /* percent, as set */
float MVE_GetMaterialEmission(int material);
int   MVE_GetMaterialWireframe(int material);
int   MVE_GetMaterialBackFaceCulling(int material);
int   MVE_GetMaterialBlendMode(int material, int *source, int *destination); /* 1 and the two factors */
int   MVE_GetMaterialShader(int material);                 /* built-in program number it draws with */
int   MVE_GetMaterialTexture(int material, int slot);      /* handle of the texture in the slot, 0 when empty */

/* ---------------------------------------------------------------- Camera (a node: its matrix places the eye; mode bits as for objects)
 * The demonstration's turns: mode 5 (relative, bit 4) turns about the world axes (heading), mode 3
 * (relative, own frame) about the camera's own axes (tilt). */

int   MVE_MoveCamera(float x, float y, float z, int mode);  /* sets or moves the eye; bits 2 or 4 with bit 1 move along the camera's own axes */
int   MVE_RotateCamera(float x, float y, float z, int mode); /* degrees; 0 sets the orientation, 1 or 5 turns about world axes, 3 about its own */
v4f  *MVE_GetCameraPosition(v4f *out, int reserved);      /* eye position, w 1; out null: a per-thread vector kept until the next call */
v4f  *MVE_GetCameraRay(int x, int y);                     /* unit world direction (w 0) through a screen pixel (top-left origin); MVE_IGNORE = centre; per-thread vector */
int   MVE_PointCamera(float x, float y, float z, float upX, float upY, float upZ); /* looks at a world point, screen up towards up (0, 0, 0 = world +y); 1 done, 0 (red row) */
int   MVE_SetFieldOfView(float degrees);                  /* vertical, 0..180 exclusive (default 45); 0 and a red row otherwise */
int   MVE_SetNearPlane(float distance);                   /* default 0.1; must lie between 0 and the far plane */
int   MVE_SetFarPlane(float distance);                    /* default 128; must lie beyond the near plane */
int   MVE_SetAspectRatio(float aspect);                   /* width / height of the projection (default: the screen's) */
void  MVE_SetCameraProjection(int perspective);           /* 1 perspective (default), 0 orthographic (100 units across the height) */

/* ---------------------------------------------------------------- Lights (point and spot lights are nodes of kind 3; unknown IDs: red row, 0) */

#define MVE_LIGHT_TYPE_POINT 1
#define MVE_LIGHT_TYPE_SPOT  2
int   MVE_CreateLight(int id, float x, float y, float z, int type); /* white, intensity 1, range 10, no shadow; handle, 0 on failure */
int   MVE_MoveLight(int id, float x, float y, float z, int mode);   /* mode bits as for objects */
int   MVE_SetLightColor(int id, uint32_t color);          /* 0xAABBGGRR */
int   MVE_SetLightIntensity(int id, float intensity);
int   MVE_SetLightRange(int id, float range);             /* lit sphere radius; light fades linearly to nothing at 0.982 x range */
int   MVE_SetLightShadow(int id, int shadow, int isStatic); /* casts shadows (cube redrawn every frame); static: drawn once and kept until the light moves */
int   MVE_SetLightDirection(int id, float x, float y, float z); /* spot axis in the world (default straight down) */
int   MVE_SetLightConeAngle(int id, float degrees);       /* spot half angle (default 45): light fades to nothing at the edge */
int   MVE_EnableLight(int id, int enabled);               /* a disabled light draws nothing */

/* ---------------------------------------------------------------- Sun, ambient, background, sky, shadows, glow (setters only store) */

void  MVE_EnableSun(int enabled);                         /* the directional light (default off) */
int   MVE_SetSunDirection(float x, float y, float z);     /* direction the sunlight travels (default (0, -1, 0)); 0 for a zero vector */
void  MVE_SetSunColor(uint32_t color);                    /* default white */
void  MVE_SetSunIntensity(float intensity);               /* default 1.0 */
void  MVE_SetAmbientColor(uint32_t color);                /* added to every lit surface as ambient x diffuse (default black) */
void  MVE_SetShadowCenter(float x, float y, float z);     /* the sun's 20 x 20 shadow square follows this point */
void  MVE_EnableShadows(int enabled);                     /* sun shadows (default off); point lights cast by their own flag */
void  MVE_SetBackgroundColor(uint32_t color);             /* shows where nothing was drawn (default opaque black) */
int   MVE_SetSky(int texture, uint32_t color);            /* cube map drawn behind everything, tinted by color (white = as is); texture 0 = no sky (default) */
/* Backdrops: meshes drawn behind the scene, by handle (a released mesh or material drops out). Sky
   meshes are drawn over the sky cube while a sky is set, with the sky's program: each vertex shows the
   cube map in its own direction, tinted by the mesh's color (clouds, a horizon band). Strip meshes are
   drawn first of all in world coordinates with their material, as triangle strips, and write no depth,
   so every object covers them (a far ground, a backdrop wall). Adding a mesh again replaces its color or
   material. Both need a finished mesh; 0 with a red row otherwise. */
int   MVE_AddSkyMesh(int mesh, uint32_t color);
int   MVE_AddStripMesh(int mesh, int material);
int   MVE_RemoveBackdropMesh(int mesh);                   /* from both lists; 1 when it was in one */
void  MVE_SetGlow(int enabled);                           /* glow of emitting surfaces (default on) */
int   MVE_GetGlow(void);
void  MVE_SetGlowSpread(float spread);                    /* blur reach in pixels (default 2.5) */
float MVE_GetGlowSpread(void);
int   MVE_SetMaterialEmission(int material, float emission); /* light a surface gives off itself, added once whatever lights it, and its glow (default 0; definition key "Emission"; "Normal Mapping" materials) */

/* ---------------------------------------------------------------- Frame rendering */

#define MVE_RENDER_PASS_SUN_SHADOW    0                   /* passes of MVE_GetRenderPassTime */
#define MVE_RENDER_PASS_GBUFFER       1
#define MVE_RENDER_PASS_SUN_LIGHT     2                   /* sky, sun and ambient */
#define MVE_RENDER_PASS_POINT_SHADOW  3
#define MVE_RENDER_PASS_LIGHT_VOLUMES 4                   /* point and spot lights */
#define MVE_RENDER_PASS_FORWARD       5                   /* forward group 1 and the debug lines */
#define MVE_RENDER_PASS_DEPTH         6
#define MVE_RENDER_PASS_GLOW          7
#define MVE_RENDER_PASS_COPY          8
#define MVE_RENDER_PASS_COMPOSITE     9                   /* forward effects and the glow on top */
void  MVE_RenderWorld(int framebuffer);                   /* the frame through the camera; -1 = the screen, else a GL framebuffer name */
int   MVE_SetObjectVisible(int id, int visible);          /* 0 skips the object in every pass (it stays in its draw list) */
void  MVE_SetRenderProfiling(int enabled);                /* 1: every pass waits for the GL and is timed (slower) */
float MVE_GetRenderPassTime(int pass);                    /* seconds of a pass in the last profiled frame */

/* ---------------------------------------------------------------- Debug lines (world space, drawn once by the next frame; colours 0xAABBGGRR) */

void  MVE_DrawLine(float x1, float y1, float z1, float x2, float y2, float z2, uint32_t color);
void  MVE_DrawLineV(const v4f *from, const v4f *to, uint32_t color);
void  MVE_DrawTriangle(float x1, float y1, float z1, float x2, float y2, float z2, float x3, float y3, float z3, uint32_t color); /* edges 1-2, 2-3, 3-1 */
void  MVE_DrawTriangleV(const v4f *p1, const v4f *p2, const v4f *p3, uint32_t color);
void  MVE_DrawTriangleColors(const v4f *p1, const v4f *p2, const v4f *p3, uint32_t color1, uint32_t color2, uint32_t color3); /* each corner its colour */
void  MVE_DrawCross(float x, float y, float z, float size, uint32_t color); /* segments along x, y, z through the centre */
void  MVE_DrawCrossV(const v4f *centre, float size, uint32_t color);
void  MVE_DrawAxisCross(float x, float y, float z, float size);   /* x red, y green, z blue */
void  MVE_DrawAxisCrossV(const v4f *centre, float size);
void  MVE_DrawBox(float x1, float y1, float z1, float x2, float y2, float z2, uint32_t color); /* the 12 edges of an axis-aligned box */
void  MVE_DrawBoxV(const v4f *corner1, const v4f *corner2, uint32_t color);
void  MVE_DrawSphere(float x, float y, float z, float radius, uint32_t color); /* 15 circles of 12 segments */
void  MVE_SetLineMatrix(const m4f *matrix);               /* later primitives are placed by the matrix; null ends it */
void  MVE_SetLineWidth(float width);                      /* pixels (default 1) */
int   MVE_GetLineVertexCount(void);                       /* vertices waiting for the next frame */
void  MVE_DrawBodies(int enabled);                        /* 1: this frame shows every collision body (cyan), joint (yellow) and the physics bounds (red) */

/* ---------------------------------------------------------------- Definition files (".mvd": textures, materials, sounds) */

#define MVE_DEFINITION_TEXTURE  1                       /* section mask bits of MVE_ParseDefinitionFiles */
#define MVE_DEFINITION_MATERIAL 2
#define MVE_DEFINITION_SOUND    8

int   MVE_ParseDefinitionFiles(const char *path, int mask); /* a file, a folder tree, or "Folder\\*.mvd"; loads the masked sections; returns 0 */

/* Reading the syntax for a game's own data (levels, settings). Entries are "Key: value;" or one per
 * line, "Key: Name { ... }" opens a block, "a, b, c" makes a list, comments are // and slash-star.
 * A tree lives until MVE_FreeDefinitionNode; texts returned live as long as their tree. */
typedef struct MVE_DEFINITION_NODE MVE_DEFINITION_NODE;   /* one node of a parsed tree (opaque) */
MVE_DEFINITION_NODE *MVE_ReadDefinitionFile(const char *file); /* root of the parsed file; null when it is missing, no regular file or not text */
MVE_DEFINITION_NODE *MVE_ParseDefinitionText(const char *text, const char *folder); /* root of a tree parsed from a text; folder is what MVE_GetDefinitionFolder reports */
MVE_DEFINITION_NODE *MVE_FindDefinitionNode(MVE_DEFINITION_NODE *node, const char *path, const char *value, int fallBack); /* "\\A\\B" children by key, "A\\B" A anywhere below; value "" or the value wanted; null (or node when fallBack) if none */
int   MVE_CountDefinitionNodes(const MVE_DEFINITION_NODE *node, const char *key); /* children with this key; all children for "" */
MVE_DEFINITION_NODE *MVE_GetDefinitionNode(MVE_DEFINITION_NODE *node, int index); /* child number index from 0; -1 is the last; null when out of range */
MVE_DEFINITION_NODE *MVE_NextDefinitionNode(MVE_DEFINITION_NODE *node); /* the next sibling, null after the last */
const char *MVE_GetDefinitionKey(const MVE_DEFINITION_NODE *node); /* the text before the colon, "" when none */
const char *MVE_GetDefinitionValue(const MVE_DEFINITION_NODE *node); /* the value; a list's whole text; a block's name */
int   MVE_IsDefinitionBlock(const MVE_DEFINITION_NODE *node); /* 1 when its children came from braces or a list */
const char *MVE_ReadDefinitionString(const MVE_DEFINITION_NODE *node, const char *defaultValue); /* the value, or the default for a null node */
int   MVE_ReadDefinitionInteger(const MVE_DEFINITION_NODE *node, int defaultValue); /* true/enable 1, false/disable/none 0, default -1, $hex, %binary, decimal */
float MVE_ReadDefinitionFloat(const MVE_DEFINITION_NODE *node, float defaultValue); /* decimal; 0 for text that is no number */
v4f  *MVE_ReadDefinitionVector(const MVE_DEFINITION_NODE *node, v4f *out, float x, float y, float z, float w); /* a list x, y, z(, w); one number v gives (0, 0, -v); w MVE_IGNORE_F keeps out->w */
uint32_t MVE_ReadDefinitionColor(const MVE_DEFINITION_NODE *node, v4f *out, uint32_t defaultColor); /* a list of 0..255 or 0.0..1.0 values, or one packed 0xAABBGGRR; out may be null */
float *MVE_ReadDefinitionRange(const MVE_DEFINITION_NODE *node, float out[2], float minimum, float maximum); /* a list min, max or one value for both; maximum MVE_IGNORE_F means minimum */
MVE_DEFINITION_NODE *MVE_FreeDefinitionNode(MVE_DEFINITION_NODE *node, int wholeTree); /* removes the node and its subtree (the whole tree when wholeTree); returns the former parent */
void  MVE_FreeDefinition(void);                          /* frees the tree of the file read last */
int   MVE_LoadDefinitionText(const char *text, const char *folder, int mask); /* as MVE_ParseDefinitionFiles on a text in memory; files named in it are relative to folder; sections loaded */
int   MVE_LoadTextureDefinition(int id, MVE_DEFINITION_NODE *node, const char *name); /* the Texture section of that name below node ("" any; node itself when none is); handle or 0 */
int   MVE_LoadMaterialDefinition(int id, MVE_DEFINITION_NODE *node, const char *name); /* the Material section of that name below node ("" any); handle or 0 */
int   MVE_LoadSoundDefinition(int id, MVE_DEFINITION_NODE *node, const char *folder); /* the first Sound section below node; folder "" = the tree's; handle or 0 */

/* ---------------------------------------------------------------- Particle emitters (creators and loaders return a handle, 0 and a red row on failure) */

int   MVE_CreateParticleEmitter(int id, int material, const char *name); /* material -1 = the default particle material (0 names static ID 0); capacity 1; 0 and a red row for a material that does not exist */
int   MVE_LoadParticleEmitter(int id, const char *file);  /* first ParticleEmitter section of a definition file */
int   MVE_LoadParticleEmitterDefinition(int id, MVE_DEFINITION_NODE *node, const char *folder); /* from the first ParticleEmitter section below node */
int   MVE_CopyParticleEmitter(int id, int source);        /* same material and every parameter; no particles */
int   MVE_ParticleEmitterFrequency(int emitter, float frequency); /* particles per second; 1 done, 0 unknown emitter */
int   MVE_ParticleEmitterEmission(int emitter, int on);   /* 0 stops spawning (live particles go on); 1 done, 0 unknown emitter */
int   MVE_ParticleEmitterMovement(int emitter, const v4f *movement); /* velocity added to every new particle; 1 done, 0 unknown */
int   MVE_ParticleEmitterPosition(int emitter, float x, float y, float z); /* places the emitter; 1 done, 0 unknown emitter */
int   MVE_ParticleEmitterBlend(int emitter, float value); /* soft-particle blend of the emitter's material; 1 done, 0 unknown */
float MVE_GetParticleEmitterBlend(int emitter);           /* the value set with MVE_ParticleEmitterBlend; 0 for an unknown emitter */
int   MVE_GetParticleCount(int emitter);                  /* particles drawn by the last update (at most the capacity) */
void  MVE_UpdateParticles(void);                          /* once per frame before rendering: spawns, moves, fades and uploads */
void  MVE_DrawParticleEmitters(void);                     /* called by the frame renderer after the opaque scene */

/* ---------------------------------------------------------------- Billboards (quads placed by their own matrices; projection 0 plain, 1 facing the camera, 2 screen-aligned at the instance) */

int   MVE_CreateBillboard(int id, int material, int projectionMode, int capacity, const char *name); /* handle, 0 and a red row for a capacity below 1 or a material that does not exist */
m4f  *MVE_AddBillboard(int billboard, float x, float y, float z, float rx, float ry, float rz, float sx, float sy, float sz); /* translation Rx Ry Rz scale (degrees); null when full */
int   MVE_RemoveBillboard(int billboard, const m4f *instance); /* 1 removed, 0 not in the set */
void  MVE_DrawBillboards(void);                           /* called by the frame renderer after the opaque scene */

#ifdef __cplusplus
}
#endif

#endif /* MVE_H */
