#include "gl/framebuffer_blit.h"

#include "platform/platform.h"

GlBlitFramebuffer glBlitFramebufferEntry() {
    static const auto entry = reinterpret_cast<GlBlitFramebuffer>(platform::getGlProcAddress("glBlitFramebuffer"));
    return entry;
}
