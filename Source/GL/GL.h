// The engine's OpenGL function table and GL state cache: the only way the engine calls OpenGL.
// Filled once by name at start-up; a missing entry refuses start-up, so no call through an empty
// slot can happen. Main thread only (it owns the context).
#pragma once
#define GL_GLEXT_PROTOTYPES 0
#include <GL/glcorearb.h>

// Legacy start-up calls of the compatibility context (not in the core header).
#ifndef GL_FLAT
#define GL_FLAT 0x1D00
#define GL_LIGHTING 0x0B50
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#endif
typedef void(APIENTRYP MVE_PFNGLSHADEMODELPROC)(GLenum mode);

// Every entry the engine calls: (type of the pointer, GL name).
#define MVE_GL_ENTRIES(X)                                                                          \
    X(PFNGLENABLEPROC, glEnable) X(PFNGLDISABLEPROC, glDisable) X(PFNGLBLENDFUNCPROC, glBlendFunc)  \
    X(PFNGLCULLFACEPROC, glCullFace) X(PFNGLDEPTHFUNCPROC, glDepthFunc)                              \
    X(PFNGLDEPTHMASKPROC, glDepthMask) X(PFNGLHINTPROC, glHint) X(PFNGLPOINTSIZEPROC, glPointSize)  \
    X(PFNGLLINEWIDTHPROC, glLineWidth) X(PFNGLPOLYGONMODEPROC, glPolygonMode)                       \
    X(PFNGLCLEARPROC, glClear) X(PFNGLCLEARCOLORPROC, glClearColor) X(PFNGLVIEWPORTPROC, glViewport) \
    X(PFNGLGETINTEGERVPROC, glGetIntegerv) X(PFNGLGETSTRINGPROC, glGetString)                       \
    X(PFNGLPRIMITIVERESTARTINDEXPROC, glPrimitiveRestartIndex) X(PFNGLGETERRORPROC, glGetError)     \
    X(PFNGLFINISHPROC, glFinish) X(PFNGLREADPIXELSPROC, glReadPixels)                               \
    X(PFNGLPIXELSTOREIPROC, glPixelStorei) X(PFNGLREADBUFFERPROC, glReadBuffer)                     \
    X(PFNGLGENBUFFERSPROC, glGenBuffers) X(PFNGLDELETEBUFFERSPROC, glDeleteBuffers)                 \
    X(PFNGLBINDBUFFERPROC, glBindBuffer) X(PFNGLBUFFERDATAPROC, glBufferData)                       \
    X(PFNGLBUFFERSUBDATAPROC, glBufferSubData) X(PFNGLBINDBUFFERBASEPROC, glBindBufferBase)         \
    X(PFNGLGETBUFFERSUBDATAPROC, glGetBufferSubData)                                                \
    X(PFNGLGENVERTEXARRAYSPROC, glGenVertexArrays) X(PFNGLDELETEVERTEXARRAYSPROC, glDeleteVertexArrays) \
    X(PFNGLBINDVERTEXARRAYPROC, glBindVertexArray) X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer) \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray)                                  \
    X(PFNGLVERTEXATTRIBDIVISORPROC, glVertexAttribDivisor) X(PFNGLTEXBUFFERPROC, glTexBuffer)       \
    X(PFNGLGETVERTEXATTRIBIVPROC, glGetVertexAttribiv) X(PFNGLISVERTEXARRAYPROC, glIsVertexArray)   \
    X(PFNGLISBUFFERPROC, glIsBuffer)                                                                \
    X(PFNGLDRAWARRAYSPROC, glDrawArrays) X(PFNGLDRAWELEMENTSPROC, glDrawElements)                   \
    X(PFNGLDRAWARRAYSINSTANCEDPROC, glDrawArraysInstanced)                                          \
    X(PFNGLDRAWELEMENTSINSTANCEDPROC, glDrawElementsInstanced)                                      \
    X(PFNGLGENTEXTURESPROC, glGenTextures) X(PFNGLDELETETEXTURESPROC, glDeleteTextures)             \
    X(PFNGLBINDTEXTUREPROC, glBindTexture) X(PFNGLACTIVETEXTUREPROC, glActiveTexture)               \
    X(PFNGLTEXIMAGE2DPROC, glTexImage2D) X(PFNGLTEXIMAGE3DPROC, glTexImage3D)                       \
    X(PFNGLTEXSUBIMAGE3DPROC, glTexSubImage3D) X(PFNGLTEXPARAMETERIPROC, glTexParameteri)           \
    X(PFNGLTEXPARAMETERFPROC, glTexParameterf) X(PFNGLGENERATEMIPMAPPROC, glGenerateMipmap)         \
    X(PFNGLGETTEXIMAGEPROC, glGetTexImage)                                                          \
    X(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers) X(PFNGLDELETEFRAMEBUFFERSPROC, glDeleteFramebuffers) \
    X(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)                                                  \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, glFramebufferTexture2D)                                        \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, glFramebufferRenderbuffer)                                  \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, glCheckFramebufferStatus)                                    \
    X(PFNGLGENRENDERBUFFERSPROC, glGenRenderbuffers) X(PFNGLDELETERENDERBUFFERSPROC, glDeleteRenderbuffers) \
    X(PFNGLBINDRENDERBUFFERPROC, glBindRenderbuffer) X(PFNGLRENDERBUFFERSTORAGEPROC, glRenderbufferStorage) \
    X(PFNGLDRAWBUFFERPROC, glDrawBuffer) X(PFNGLDRAWBUFFERSPROC, glDrawBuffers)                     \
    X(PFNGLCREATESHADERPROC, glCreateShader) X(PFNGLSHADERSOURCEPROC, glShaderSource)               \
    X(PFNGLCOMPILESHADERPROC, glCompileShader) X(PFNGLGETSHADERIVPROC, glGetShaderiv)               \
    X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog) X(PFNGLDELETESHADERPROC, glDeleteShader)       \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram) X(PFNGLATTACHSHADERPROC, glAttachShader)             \
    X(PFNGLDETACHSHADERPROC, glDetachShader) X(PFNGLGETATTACHEDSHADERSPROC, glGetAttachedShaders)   \
    X(PFNGLBINDATTRIBLOCATIONPROC, glBindAttribLocation)                                            \
    X(PFNGLBINDFRAGDATALOCATIONPROC, glBindFragDataLocation) X(PFNGLLINKPROGRAMPROC, glLinkProgram) \
    X(PFNGLGETPROGRAMIVPROC, glGetProgramiv) X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)     \
    X(PFNGLUSEPROGRAMPROC, glUseProgram) X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)                 \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)                                            \
    X(PFNGLGETUNIFORMBLOCKINDEXPROC, glGetUniformBlockIndex)                                        \
    X(PFNGLUNIFORMBLOCKBINDINGPROC, glUniformBlockBinding) X(PFNGLUNIFORM1IPROC, glUniform1i)       \
    X(PFNGLUNIFORM1FPROC, glUniform1f) X(PFNGLUNIFORM2FVPROC, glUniform2fv)                         \
    X(PFNGLUNIFORM3FVPROC, glUniform3fv) X(PFNGLUNIFORM4FVPROC, glUniform4fv)                       \
    X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv)                                                \
    /* Beyond the start-up set: what the renderer, textures and tests reach for. All GL 3.3 core. */  \
    X(PFNGLISENABLEDPROC, glIsEnabled) X(PFNGLGETFLOATVPROC, glGetFloatv)                           \
    X(PFNGLGETBOOLEANVPROC, glGetBooleanv) X(PFNGLGETSTRINGIPROC, glGetStringi)                     \
    X(PFNGLSCISSORPROC, glScissor) X(PFNGLCOLORMASKPROC, glColorMask)                               \
    X(PFNGLPOLYGONOFFSETPROC, glPolygonOffset) X(PFNGLBLENDEQUATIONPROC, glBlendEquation)           \
    X(PFNGLBLENDFUNCSEPARATEPROC, glBlendFuncSeparate) X(PFNGLCLEARDEPTHPROC, glClearDepth)         \
    X(PFNGLCLEARBUFFERFVPROC, glClearBufferfv) X(PFNGLCLEARBUFFERFIPROC, glClearBufferfi)           \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, glDisableVertexAttribArray)                                \
    X(PFNGLVERTEXATTRIBIPOINTERPROC, glVertexAttribIPointer)                                        \
    X(PFNGLMAPBUFFERRANGEPROC, glMapBufferRange) X(PFNGLUNMAPBUFFERPROC, glUnmapBuffer)             \
    X(PFNGLISTEXTUREPROC, glIsTexture) X(PFNGLISFRAMEBUFFERPROC, glIsFramebuffer)                   \
    X(PFNGLISRENDERBUFFERPROC, glIsRenderbuffer) X(PFNGLISPROGRAMPROC, glIsProgram)                 \
    X(PFNGLTEXSUBIMAGE2DPROC, glTexSubImage2D) X(PFNGLTEXPARAMETERFVPROC, glTexParameterfv)         \
    X(PFNGLPIXELSTOREFPROC, glPixelStoref) X(PFNGLGETTEXLEVELPARAMETERIVPROC, glGetTexLevelParameteriv) \
    X(PFNGLGETTEXPARAMETERIVPROC, glGetTexParameteriv)                                              \
    X(PFNGLFRAMEBUFFERTEXTUREPROC, glFramebufferTexture)                                            \
    X(PFNGLFRAMEBUFFERTEXTURELAYERPROC, glFramebufferTextureLayer)                                  \
    X(PFNGLBLITFRAMEBUFFERPROC, glBlitFramebuffer)                                                  \
    X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVPROC, glGetFramebufferAttachmentParameteriv)          \
    X(PFNGLGETACTIVEUNIFORMPROC, glGetActiveUniform)                                                \
    X(PFNGLGETACTIVEUNIFORMBLOCKIVPROC, glGetActiveUniformBlockiv)                                  \
    X(PFNGLGETATTRIBLOCATIONPROC, glGetAttribLocation)                                              \
    X(PFNGLGETFRAGDATALOCATIONPROC, glGetFragDataLocation)                                          \
    X(PFNGLUNIFORM1IVPROC, glUniform1iv) X(PFNGLUNIFORM1FVPROC, glUniform1fv)                       \
    X(PFNGLUNIFORM2FPROC, glUniform2f) X(PFNGLUNIFORM3FPROC, glUniform3f)                           \
    X(PFNGLUNIFORM4FPROC, glUniform4f) X(PFNGLUNIFORMMATRIX3FVPROC, glUniformMatrix3fv)             \
    X(PFNGLVERTEXATTRIB4FPROC, glVertexAttrib4f) X(PFNGLVERTEXATTRIB1FPROC, glVertexAttrib1f)       \
    X(PFNGLFENCESYNCPROC, glFenceSync) X(PFNGLCLIENTWAITSYNCPROC, glClientWaitSync)                 \
    X(PFNGLDELETESYNCPROC, glDeleteSync)                                                            \
    X(PFNGLDEPTHRANGEPROC, glDepthRange)                                                            \
    X(PFNGLGENSAMPLERSPROC, glGenSamplers) X(PFNGLDELETESAMPLERSPROC, glDeleteSamplers)             \
    X(PFNGLBINDSAMPLERPROC, glBindSampler) X(PFNGLSAMPLERPARAMETERIPROC, glSamplerParameteri)       \
    X(PFNGLGETINTEGERI_VPROC, glGetIntegeri_v) X(PFNGLGETBUFFERPARAMETERIVPROC, glGetBufferParameteriv) \
    X(PFNGLGETSHADERSOURCEPROC, glGetShaderSource)                                                  \
    /* Legacy: only on a compatibility context; left empty (and never called) on a core one. */    \
    X(MVE_PFNGLSHADEMODELPROC, glShadeModel)

struct MVE_GL_TABLE {
#define MVE_GL_SLOT(type, name) type name = nullptr;
    MVE_GL_ENTRIES(MVE_GL_SLOT)
#undef MVE_GL_SLOT
};

#include <string>
#include <vector>

struct MVE_GL_STATE {
    MVE_GL_TABLE Table;
    int iLoaded = 0;                     // 1 once every entry was found
    // Where entry points come from; null means the platform. Tests swap it to take entries away.
    void *(*pfnGetProcAddress)(const char *name) = nullptr;
    // Cached render state, kept in step with GL by the render code.
    int iWireframe = 0, iCullBack = 1, iRenderFlag3 = 1;
    unsigned int uBlendSource = GL_SRC_ALPHA, uBlendDestination = GL_ONE_MINUS_SRC_ALPHA;
    unsigned int uSpareFramebuffer = 0, uSpareRenderbuffer = 0;
};

// The table, for calls such as MVE_gl().glBindBuffer(...).
MVE_GL_TABLE &MVE_gl();

// Fills the table by name from the current context. Returns the names the driver does not supply;
// when any is missing the whole table is left empty, so a half-filled table can never be called.
// `compatibility` 0 leaves the legacy entries empty (a core context has none to offer).
std::vector<std::string> MVE_LoadGLFunctions(int compatibility);
// Empties the table (the context is gone).
void MVE_ClearGLFunctions();
// Number of slots in the table and the name of slot i (tests check every slot).
int MVE_GLEntryCount();
const char *MVE_GLEntryName(int i);
// The slot of entry i as a raw pointer, null when empty.
void *MVE_GLEntry(int i);
