// The OpenGL entry points beyond version 1.1, fetched by name once the context is current.
#pragma once

#include <string_view>
#include <vector>

#include "gl/gl_base.h"

// X(result type, entry point name, parameter list, whether the production calls it)
// The order is the order in which loadGlApi fetches them.
#define QV_GL_ENTRY_POINTS(X)                                                                   \
    X(GLuint, glCreateShaderProgramv, (GLenum, GLsizei, const GLchar* const*), true) \
    X(void, glUseProgram, (GLuint), true)                                            \
    X(void, glUniform4fv, (GLint, GLsizei, const GLfloat*), true)                    \
    X(void, glUniform4iv, (GLint, GLsizei, const GLint*), true)                      \
    X(void, glUniformMatrix4fv, (GLint, GLsizei, GLboolean, const GLfloat*), true)   \
    X(void, glUniform1i, (GLint, GLint), true)                                       \
    X(void, glGetProgramiv, (GLuint, GLenum, GLint*), true)                          \
    X(void, glGetProgramInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*), true)         \
    X(void, glGenerateMipmap, (GLenum), true)                                        \
    X(void, glActiveTexture, (GLenum), true)                                         \
    X(GLint, glGetUniformLocation, (GLuint, const GLchar*), true)                    \
    X(void, glGetUniformfv, (GLuint, GLint, GLfloat*), true)                         \
    X(void, glGenRenderbuffers, (GLsizei, GLuint*), false)                           \
    X(void, glBindRenderbuffer, (GLenum, GLuint), false)                             \
    X(void, glRenderbufferStorage, (GLenum, GLenum, GLsizei, GLsizei), false)        \
    X(void, glFramebufferRenderbuffer, (GLenum, GLenum, GLenum, GLuint), false)      \
    X(void, glGenFramebuffers, (GLsizei, GLuint*), true)                             \
    X(void, glBindFramebuffer, (GLenum, GLuint), true)                               \
    X(void, glFramebufferTexture2D, (GLenum, GLenum, GLenum, GLuint, GLint), true)   \
    X(GLenum, glCheckFramebufferStatus, (GLenum), false)                             \
    X(void, glDeleteProgram, (GLuint), true)                                         \
    X(void, glBindImageTexture, (GLuint, GLuint, GLint, GLboolean, GLint, GLenum, GLenum), true)

struct GlApi {
#define QV_GL_DECLARE_FIELD(result, name, parameters, hasCaller) result(QV_GL_CALL* name) parameters = nullptr;
    QV_GL_ENTRY_POINTS(QV_GL_DECLARE_FIELD)
#undef QV_GL_DECLARE_FIELD
};

inline constexpr int kGlApiEntryCount = 22;

// The process-wide table; empty until loadGlApi runs.
extern GlApi glApi;

using GlProcLookup = void* (*)(const char* name);

// Fills `api` by looking every entry point up in table order. Returns the names of those the
// lookup lacks that the production calls, in table order.
std::vector<std::string_view> fillGlApi(GlApi& api, GlProcLookup lookup);

// Fills glApi from the current context, then turns depth testing off. Returns the names of the
// entry points the driver lacks that the production calls; the production must not draw when
// this is not empty.
std::vector<std::string_view> loadGlApi();
