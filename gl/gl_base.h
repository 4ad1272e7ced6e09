// OpenGL 1.1 from the system library, plus the few types and constants of later versions
// that the production uses.
#pragma once

#ifdef _WIN32
#ifndef APIENTRY
#define APIENTRY __stdcall
#endif
#ifndef WINGDIAPI
#define WINGDIAPI __declspec(dllimport)
#endif
#define QV_GL_CALL __stdcall
#else
#define QV_GL_CALL
#endif

#include <GL/gl.h>

#include <cstddef>

using GLchar = char;
using GLintptr = std::ptrdiff_t;

inline constexpr GLenum kGlFragmentShader = 0x8B30;
inline constexpr GLenum kGlInfoLogLength = 0x8B84;
inline constexpr GLenum kGlFramebuffer = 0x8D40;
inline constexpr GLenum kGlColorAttachment0 = 0x8CE0;
inline constexpr GLenum kGlTexture0 = 0x84C0;
inline constexpr GLenum kGlActiveTexture = 0x84E0;
inline constexpr GLenum kGlR32F = 0x822E;
inline constexpr GLenum kGlRGBA32F = 0x8814;
inline constexpr GLenum kGlReadOnly = 0x88B8;
inline constexpr GLenum kGlRGBA8 = 0x8058;
inline constexpr GLenum kGlRed = 0x1903;
inline constexpr GLenum kGlRgba = 0x1908;
inline constexpr GLenum kGlLinkStatus = 0x8B82;
inline constexpr GLenum kGlFramebufferComplete = 0x8CD5;
