// The one GL entry point beyond the show's table that making mode's canvas needs, and the enums
// that go with it. Fetched through the platform on first use, in the current context.
#pragma once

#include "gl/gl_base.h"

inline constexpr GLenum kGlRenderbuffer = 0x8D41;
inline constexpr GLenum kGlReadFramebuffer = 0x8CA8;
inline constexpr GLenum kGlDrawFramebuffer = 0x8CA9;

using GlBlitFramebuffer = void(QV_GL_CALL*)(GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLbitfield,
                                            GLenum);

// glBlitFramebuffer, looked up once; null when the driver lacks it.
GlBlitFramebuffer glBlitFramebufferEntry();
