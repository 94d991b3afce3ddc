// What the shader module's files share with each other and nobody else.
#pragma once
#include "Shader/Shader.h"
#include "Platform/Platform.h"
#include <string>
#include <vector>

MVE_SHADER_STATE &MVE_Shaders();

// Compiles one stage and logs `rowPrefix` + the compile result (red when it did not compile).
// Returns the GL shader object; *compiled tells whether it compiled.
GLuint MVE_CompileStage(GLenum type, const char *source, size_t length, const std::string &rowPrefix,
                        const char *procedure, bool *compiled);
std::string MVE_GetShaderCompileLog(GLuint shader, bool compiled);
// Links; on failure logs a red row with the linker's text and returns false.
bool MVE_LinkProgram(GLuint program, const std::string &name, const char *procedure);
void MVE_DeleteProgramAndStages(GLuint program);
void MVE_BindFixedNumbering(GLuint program);
void MVE_BindBlock(GLuint program, const char *block, int buffer);
void MVE_BindKnownBlocks(GLuint program);
bool MVE_ReadShaderFile(const char *file, std::string &text, std::string &failure);  // failure: the red row's text

MVE_SHADER *MVE_RegisterShader(int id, int flag, const char *name, GLuint program, int *handle);
int MVE_AddUniformToEntry(MVE_SHADER *shader, int kind, const char *name, int slot, int a, int b, int c);
void MVE_AddEntryToRenderGroup(MVE_SHADER *shader, int group);

// (location, name) of every attribute (outputs 0) or output (outputs 1) declaration that the
// reflection binds, in source order.
std::vector<std::pair<int, std::string>> MVE_FindShaderLocations(const std::string &source, int outputs);

// Builds a program from two sources by reading them (the reflected path). Registers it under `id`
// only when both stages compiled and it linked; returns the handle or 0.
int MVE_BuildReflectedShader(int id, int type, int flag, int group, const std::string &vertex,
                             const std::string &fragment, const char *name, const char *procedure);

// One uniform of a hand-built program.
struct MVE_UNIFORM_SPEC {
    int iSlot;
    int iKind;
    const char *sName;
};

// Inserts `defines` (lines of "#define ...") right after the #version line.
std::string MVE_WithDefines(const char *source, size_t length, const char *defines);

// Built-in library: builds every program of the start-up set into the log sections.
void MVE_BuildShaderLibrary();
